#include "interface/PaymentWrapper.h"

#include <exception>

#include "base/ZrError.h"
#include "interface/PaymentRegistry.h"
#include "interface/ResultDocument.h"
#include "interface/RunningCommands.h"
#include "io/IOHandler.h"
#include "payment/CommandOutcome.h"
#include "runtime/Application.h"

namespace {
using DocType = zrPaymentHandlerDocumentType;

// Runs aBody; an error raised on the way becomes aResult's Error and ErrorText, and every other field
// keeps what it held before.
template <typename TResult, typename TBody> void RunGuarded(TResult& aResult, TBody&& aBody) {
    try {
        aBody();
    } catch (const std::exception& e) {
        aResult.Error = true;
        aResult.ErrorText = ExceptionMessage(e);
    } catch (...) {
        aResult.Error = true;
        aResult.ErrorText = u"Unexpected error";
    }
}

// The device of one device command. A device that the command opened itself (the request named no
// handle) can never be reached by the host again, so it is closed when the command ends instead of
// piling up with its log thread until unload. Its handle number stays used.
class tDeviceUse {
public:
    explicit tDeviceUse(kPaymentWrapper& aWrapper) : fDevice(aWrapper.GetDevice(true, &fCreated)) {}
    ~tDeviceUse() {
        if (fCreated) {
            tZR_PaymentRegistry::Forget(fDevice);
        }
        // fDevice goes after the lock is released: freeing a device stops its channel's log writer.
    }
    tDeviceUse(const tDeviceUse&) = delete;
    tDeviceUse& operator=(const tDeviceUse&) = delete;

    kPaymentDevice& Device() const { return *fDevice; }

private:
    bool fCreated = false;
    std::shared_ptr<kPaymentDevice> fDevice;
};

// An error of a command that never reached a device operation (which logs its own result) leaves a
// trace: in the log of the open device the request names by its handle, otherwise in the application log.
void LogCommandError(kPaymentWrapper& aWrapper, const char16_t* aCommand, const Text& aErrorText) {
    const Text line = Text(aCommand) + u" failed: " + aErrorText;
    try {
        std::shared_ptr<kPaymentDevice> device;
        if (aWrapper.Handler().fDeviceHandle >= 1) {
            try {
                device = aWrapper.GetDevice(false);
            } catch (const ZrError&) {
                // No such device: the application log takes the line.
            }
        }
        if (device) {
            device->IOHandler().Debug(tZR_MessageType::let_error, line);
        } else if (gApplication != nullptr) {
            gApplication->Log(tZR_MessageType::let_error, line);
        }
    } catch (...) {
        // The host still gets the error; only the trace is missing.
    }
}

// Process of the five device commands: parse, find or open the device, run its operation on a fresh
// record and keep the record whole. After a raised error the record is dropped.
template <typename TResult>
void RunDeviceCommand(kPaymentWrapper& aWrapper, TResult& aResult, const Text& aXml, DocType aDocumentType,
                      void (kPaymentDevice::*aOperation)(const kPaymentHandler&, TResult&),
                      const char16_t* aCommand) {
    bool reached = false;
    // In the list of running commands before the request is read: a CANCEL from now on reaches it.
    tZR_RunningCommand running;
    aWrapper.Handler().fCancel = running.Signal();
    RunGuarded(aResult, [&] {
        aWrapper.Handler().Deserialize(aXml, {aDocumentType});
        if (aWrapper.Handler().fCommandTimeout > 0) {
            running.Signal()->SetTimeLimit(aWrapper.Handler().fCommandTimeout);
        }
        running.SetHandle(aWrapper.Handler().fDeviceHandle);
        const tDeviceUse use(aWrapper);
        running.SetHandle(use.Device().Handle());
        reached = true;
        TResult result;
        (use.Device().*aOperation)(aWrapper.Handler(), result);
        aResult = std::move(result);
    });
    if (aResult.Error && !reached) {
        LogCommandError(aWrapper, aCommand, aResult.ErrorText);
    }
}

void AddTail(tZR_ResultDocument& aDocument, bool aError, const Text& aErrorText, const Text& aLogFileName) {
    aDocument.AddFlag(u"Error", aError);
    aDocument.AddText(u"ErrorText", aErrorText);
    aDocument.AddText(u"LogFileName", aLogFileName);
}
} // namespace

// --- documents -----------------------------------------------------------------------------------------

Text PayResultDocument(const _int_PAY_result& r) {
    tZR_ResultDocument d;
    d.AddText(u"DeviceId", r.DeviceId);
    d.AddDateTime(u"PaymentDateTime", r.PaymentDateTime);
    d.AddText(u"PaymentNumber", r.PaymentNumber);
    d.AddAmount(u"PaymentAmount", r.PaymentAmount);
    d.AddText(u"PaymentCurrency", r.PaymentCurrency);
    d.AddAmount(u"ExchangeRate", r.ExchangeRate);
    d.AddAmount(u"PaymentAmountCurrency", r.PaymentAmountCurrency);
    d.AddText(u"PaymentCurrencyCurrency", r.PaymentCurrencyCurrency);
    d.AddAmount(u"TippedAmount", r.TippedAmount);
    d.AddAmount(u"RemainingBalance", r.RemainingBalance);
    d.AddInteger(u"InstalmentCount", r.InstalmentCount);
    d.AddText(u"MaskedPAN", r.MaskedPAN);
    d.AddText(u"SerialNumber", r.SerialNumber);
    d.AddText(u"PaymentNetwork", _int_PAY_result::DecodeNetwork(r.PaymentNetwork));
    d.AddText(u"TransactionType", _int_PAY_result::DecodeTransactionType(r.TransactionType));
    d.AddText(u"AuthCode", r.AuthCode);
    d.AddText(u"TraceAuditId", r.TraceAuditId);
    d.AddInteger(u"NumberOfItems", r.NumberOfItems);
    d.AddAmount(u"SingleItemAmount", r.SingleItemAmount);
    d.AddFlag(u"SignatureRequested", r.SignatureRequested);
    d.AddText(u"CustomerCountryCode", r.CustomerCountryCode);
    d.AddText(u"CardToken", r.CardToken);
    d.AddText(u"RefundReference", r.RefundReference);
    d.AddText(u"ReceiptText", r.ReceiptText);
    d.AddText(u"CashierReceiptText", r.CashierReceiptText);
    d.AddText(u"DigitalSignature", r.DigitalSignature);
    d.AddText(u"DigitalSignatureInput", r.DigitalSignatureInput);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text ReprintResultDocument(const _int_REPRINT_result& r) {
    tZR_ResultDocument d;
    d.AddText(u"ReceiptText", r.ReceiptText);
    d.AddText(u"CashierReceiptText", r.CashierReceiptText);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text OpenResultDocument(const _int_OPEN_result& r) {
    tZR_ResultDocument d;
    d.AddInteger(u"Handle", r.Handle);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text CloseResultDocument(const _int_CLOSE_result& r) {
    tZR_ResultDocument d;
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text CancelResultDocument(const _int_CANCEL_result& r) {
    tZR_ResultDocument d;
    d.AddInteger(u"Cancelled", r.Cancelled);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text GetStatusResultDocument(const _int_GETSTATUS_result& r) {
    tZR_ResultDocument d;
    d.AddFlag(u"DayOpened", r.DayOpened);
    d.AddDateTime(u"DateTime", r.DateTime);
    d.AddFlag(u"PaperEnd", r.PaperEnd);
    d.AddFlag(u"PaperNearEnd", r.PaperNearEnd);
    d.AddFlag(u"CoverOpen", r.CoverOpen);
    d.AddFlag(u"FiscalReceiptOpen", r.FiscalReceiptOpen);
    d.AddFlag(u"ReceiptOpen", r.ReceiptOpen);
    d.AddFlag(u"TrainingMode", r.TrainingMode);
    d.AddText(u"FirmwareVersion", r.FirmwareVersion);
    d.AddText(u"SerialNumber", r.SerialNumber);
    d.AddText(u"FiscalMode", r.FiscalMode);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text DayCloseResultDocument(const _int_DAYCLOSE_result& r) {
    tZR_ResultDocument d;
    d.AddText(u"DeviceId", r.DeviceId);
    d.AddDateTime(u"ClosureDateTime", r.ClosureDateTime);
    d.AddText(u"ClosureNumber", r.ClosureNumber);
    d.AddInteger(u"TransactionsCount", r.TransactionsCount);
    d.AddAmount(u"TotalAmount", r.TotalAmount);
    d.AddText(u"Currency", r.Currency);
    d.AddText(u"ReceiptText", r.ReceiptText);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

Text GetTotalsResultDocument(const _int_GETTOTALS_result& r) {
    tZR_ResultDocument d;
    d.AddText(u"DeviceId", r.DeviceId);
    d.AddDateTime(u"DateTime", r.DateTime);
    d.AddInteger(u"TransactionsCount", r.TransactionsCount);
    d.AddAmount(u"TotalAmount", r.TotalAmount);
    d.AddText(u"Currency", r.Currency);
    d.AddText(u"ReceiptText", r.ReceiptText);
    AddTail(d, r.Error, r.ErrorText, r.LogFileName);
    return d.Document();
}

void WriteCommandOutputs(const Text& aDocument, bool aError, const Text& aErrorText, BSTR& aOutput,
                         BSTR& aErrorMessage, std::int16_t& aResult) {
    BSTR output = TextToBstr(aDocument);
    BSTR error = nullptr;
    try {
        error = TextToBstr(XmlCharactersOnly(aErrorText));
    } catch (...) {
        SysFreeString(output);
        throw;
    }
    aOutput = output;
    aErrorMessage = error;
    aResult = aError ? -1 : 0;
}

// --- kPaymentWrapper -----------------------------------------------------------------------------------

kPaymentWrapper::kPaymentWrapper() : fHandler(std::make_unique<kPaymentHandler>()) {}

kPaymentWrapper::~kPaymentWrapper() = default;

Text kPaymentWrapper::EscapeXml(const Text& aText) {
    return tZR_ResultDocument::EscapeXml(aText);
}

std::shared_ptr<kPaymentDevice> kPaymentWrapper::GetDevice(bool aAllowCreate, bool* aCreated) {
    if (aCreated != nullptr) {
        *aCreated = false;
    }
    CheckPaymentState();
    const std::int32_t handle = fHandler->fDeviceHandle;
    if (handle >= 1) {
        return tZR_PaymentRegistry::Find(handle);
    }
    if (!aAllowCreate) {
        throw ZrError(u"Payment Device has not previously opened");
    }
    std::shared_ptr<kPaymentDevice> device = tZR_PaymentRegistry::Open(*fHandler);
    if (aCreated != nullptr) {
        *aCreated = true;
    }
    return device;
}

// --- PAY -----------------------------------------------------------------------------------------------

void kPaymentWrapper_PAY::ClearResult() {
    fResult = _int_PAY_result();
    fResult.Error = true;
    fResult.TransactionType = zrPaymentTransactionType::ptt_Other;
    fResult.PaymentNetwork = zrPaymentNetwork::Other;
}

void kPaymentWrapper_PAY::Process(const Text& aXml) {
    ClearResult();
    RunDeviceCommand(*this, fResult, aXml, DocType::dt_Pay, &kPaymentDevice::Pub_Pay, u"PAY");
}

// --- REPRINT -------------------------------------------------------------------------------------------

void kPaymentWrapper_REPRINT::Process(const Text& aXml) {
    ClearResult();
    RunDeviceCommand(*this, fResult, aXml, DocType::dt_PayReprint, &kPaymentDevice::Pub_Reprint, u"REPRINT");
}

// --- OPEN ----------------------------------------------------------------------------------------------

void kPaymentWrapper_OPEN::Process(const Text& aXml) {
    ClearResult();
    RunGuarded(fResult, [&] {
        fHandler->Deserialize(aXml, {DocType::dt_Open});
        const std::shared_ptr<kPaymentDevice> device = GetDevice(true);
        fResult.Handle = device->Handle();
        fResult.Error = false;
    });
    if (fResult.Error) {
        LogCommandError(*this, u"OPEN", fResult.ErrorText);
    }
}

// --- CLOSE ---------------------------------------------------------------------------------------------

void kPaymentWrapper_CLOSE::Process(const Text& aXml) {
    ClearResult();
    RunGuarded(fResult, [&] {
        fHandler->Deserialize(aXml, {});
        std::shared_ptr<kPaymentDevice> device = tZR_PaymentRegistry::Close(GetDevice(false)->Handle());
        // The last reference frees the device here, outside the lock; a command of another thread that
        // still uses it holds its own reference, and the device goes when that command returns.
        device.reset();
        fResult.Error = false;
    });
    if (fResult.Error) {
        LogCommandError(*this, u"CLOSE", fResult.ErrorText);
    }
}

// --- CANCEL --------------------------------------------------------------------------------------------

void kPaymentWrapper_CANCEL::Process(const Text& aXml) {
    ClearResult();
    RunGuarded(fResult, [&] {
        fHandler->Deserialize(aXml, {});
        const std::int32_t handle = fHandler->fDeviceHandle;
        fResult.Cancelled = CancelRunningCommands(handle, Text(kCancelledByHost));
        fResult.Error = false;
        if (gApplication != nullptr) {
            gApplication->Log(tZR_MessageType::let_info,
                              u"CANCEL " +
                                  (handle >= 1 ? u"of handle " + IntToText(handle) : Text(u"of all")) +
                                  u": " + IntToText(fResult.Cancelled) + u" running command(s) cancelled");
        }
    });
    if (fResult.Error) {
        LogCommandError(*this, u"CANCEL", fResult.ErrorText);
    }
}

// --- GETSTATUS -----------------------------------------------------------------------------------------

void kPaymentWrapper_GETSTATUS::Process(const Text&) {
    // Answered without reading the request or touching a device.
    ClearResult();
    fResult.Error = false;
}

// --- DAYCLOSE ------------------------------------------------------------------------------------------

void kPaymentWrapper_DAYCLOSE::Process(const Text& aXml) {
    ClearResult();
    RunDeviceCommand(*this, fResult, aXml, DocType::dt_DayClose, &kPaymentDevice::Pub_DayClose, u"DAYCLOSE");
}

// --- GETTOTALS -----------------------------------------------------------------------------------------

void kPaymentWrapper_GETTOTALS::Process(const Text& aXml) {
    ClearResult();
    RunDeviceCommand(*this, fResult, aXml, DocType::dt_GetTotals, &kPaymentDevice::Pub_GetTotals,
                     u"GETTOTALS");
}

// --- VERIFYTRAN ----------------------------------------------------------------------------------------

void kPaymentWrapper_VERIFYTRAN::Process(const Text& aXml) {
    ClearResult();
    RunDeviceCommand(*this, fResult, aXml, DocType::dt_VerifyTran, &kPaymentDevice::Pub_VerifyTran,
                     u"VERIFYTRAN");
}

// --- VERSION -------------------------------------------------------------------------------------------

std::int32_t DriverVersion(const Text& aDriverName, Text& aVersion, Text& aErrorMessage) {
    aVersion.clear();
    aErrorMessage.clear();
    try {
        if (!tZR_PaymentRegistry::HasDriver(aDriverName)) {
            aErrorMessage = u"Driver [" + CutValue(aDriverName) + u"] not found";
            return -1;
        }
        aVersion = kPaymentDevice::GetDriverVersion();
        return 0;
    } catch (const std::exception& e) {
        aVersion.clear();
        aErrorMessage = ExceptionMessage(e);
    } catch (...) {
        aVersion.clear();
        aErrorMessage = u"Unexpected error";
    }
    return -1;
}
