// kPaymentDevice: the part of every driver class that the library supplies. The public operations
// write the banner, preset the record and call the driver; they run one at a time per device, so two
// calls on one handle never interleave on its channel.
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>

#include "base/ZrError.h"
#include "io/IOHandler.h"
#include "payment/CommandOutcome.h"
#include "payment/OperationLog.h"
#include "payment/Payment.h"
#include "platform/Clock.h"
#include "platform/Process.h"
#include "runtime/Application.h"
#include "runtime/LogRetention.h"

namespace {
const Text kPayBanner = Text(60, u'-') + u" Pay";
const Text kReprintBanner = Text(60, u'-') + u" Reprint";
const Text kVerifyTranBanner = Text(60, u'-') + u" VerifyTran";
const Text kDayCloseBanner = Text(55, u'-') + u" DayClose";
const Text kGetTotalsBanner = Text(55, u'-') + u" GetTotals";

// The Payment folder inside the log folder the application context chose at load.
Text PaymentLogDirectory() {
    const char16_t sep = PathSeparator();
    if (gApplication != nullptr) {
        return gApplication->LogFolder() + sep + u"Payment";
    }
    return ExecutableDirectory() + sep + u"LogFiles" + sep + u"Payment";
}

// The command section the operation needs; the request reader fills it for the command's document type.
template <typename TSection>
const TSection& Section(const std::unique_ptr<TSection>& aSection, const char16_t* aName) {
    if (!aSection) {
        throw ZrError(Text(u"The request has no ") + aName + u" section");
    }
    return *aSection;
}

// The channel's own error message replaces the driver's text; the Error flag stays as the driver set it.
template <typename TResult> void TakeChannelError(const kIOHandler& aChannel, TResult& aResult) {
    if (aChannel.ErrorFound()) {
        aResult.ErrorText = aChannel.ErrorMessage();
    }
}
// The result line; a PAY's shows the amount the terminal moved when the driver named another.
Text LineOf(const _int_PAY_result& aResult, std::int64_t aElapsedMs, const Text& aNote,
            const std::optional<Currency>& aMoved) {
    return ResultLine(aResult, aElapsedMs, aNote, aMoved);
}
template <typename TResult>
Text LineOf(const TResult& aResult, std::int64_t aElapsedMs, const Text& aNote,
            const std::optional<Currency>&) {
    return ResultLine(aResult, aElapsedMs, aNote);
}

// Runs one operation (banner, request line, the driver) and ends it with the result line: what the host
// is told, also when an error is raised on the way (the host then gets only the error text).
template <typename TResult, typename TBody>
void RunLogged(kIOHandler& aChannel, const Text& aNote, const std::optional<Currency>& aMoved,
               TResult& aResult, TBody&& aBody) {
    const auto started = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return static_cast<std::int64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
                .count());
    };
    TResult told;
    told.Error = true;
    // A log folder that vanished since the last operation is replaced before the operation names its log.
    aChannel.ConfirmLogFolder();
    try {
        aBody();
    } catch (const std::exception& e) {
        told.ErrorText = ExceptionMessage(e);
        aChannel.Debug(tZR_MessageType::let_info, ResultLine(told, elapsed(), aNote));
        throw;
    } catch (...) {
        told.ErrorText = u"Unexpected error";
        aChannel.Debug(tZR_MessageType::let_info, ResultLine(told, elapsed(), aNote));
        throw;
    }
    aChannel.Debug(tZR_MessageType::let_info, LineOf(aResult, elapsed(), aNote, aMoved));
    // The log may have moved while the operation ran (its folder failed): the host is told where it went.
    if (!aResult.LogFileName.empty()) {
        aResult.LogFileName = aChannel.GetLogFileName();
    }
}

// The cancel signal of the running command on the channel, for the length of one operation.
class tChannelSignal {
public:
    tChannelSignal(kIOHandler& aChannel, const tZR_CancelSignal* aSignal) : fChannel(aChannel) {
        fChannel.SetCancelSignal(aSignal);
    }
    ~tChannelSignal() { fChannel.SetCancelSignal(nullptr); }
    tChannelSignal(const tChannelSignal&) = delete;
    tChannelSignal& operator=(const tChannelSignal&) = delete;

private:
    kIOHandler& fChannel;
};
} // namespace

kPaymentDevice::kPaymentDevice(const kPaymentHandler& aHandler) {
    fIOHandler = aHandler.CreateIOHandler(PaymentLogDirectory());
    if (!fIOHandler) {
        throw ZrError(u"No channel could be built for the request's connection");
    }
    fIOHandler->SetVersion(GetDriverVersion());
    // Device logs older than the kept days go, once a day, when a device is built.
    DeleteExpiredDeviceLogsDaily(PaymentLogDirectory(), kDeviceHandler::SafeFileName(aHandler.fDriver),
                                 gApplication->LogKeepDays());
}

kPaymentDevice::~kPaymentDevice() = default;

bool kPaymentDevice::TakeTurn(const tZR_CancelSignal* aSignal) {
    const std::lock_guard<tZR_Lock> guard(fTurnLock);
    while (fTurnTaken) {
        if (IsCancelled(aSignal)) {
            return false;
        }
        fTurnFree.WaitFor(fTurnLock, static_cast<std::uint32_t>(kCancelSliceMs));
    }
    fTurnTaken = true;
    return true;
}

void kPaymentDevice::GiveTurn() {
    const std::lock_guard<tZR_Lock> guard(fTurnLock);
    fTurnTaken = false;
    fTurnFree.NotifyAll();
}

template <typename TResult, typename TBody>
void kPaymentDevice::RunTurn(const kPaymentHandler& aHandler, TResult& aResult, TBody&& aBody) {
    const tZR_CancelSignal* signal = aHandler.fCancel.get();
    std::optional<tTurnHeld> held;
    if (TakeTurn(signal)) {
        held.emplace(*this);
    }
    // Cancelled before it began (also while it waited for its turn): nothing was sent.
    if (!held || IsCancelled(signal)) {
        aResult.Error = true;
        aResult.ErrorText = NotPerformedText(signal->Reason());
        aResult.LogFileName = fIOHandler->GetLogFileName();
        fIOHandler->Debug(tZR_MessageType::let_error, aResult.ErrorText);
        return;
    }
    fOperationNote.clear();
    fOperationAmount.reset();
    const tChannelSignal onChannel(*fIOHandler, signal);
    RunLogged(*fIOHandler, fOperationNote, fOperationAmount, aResult, aBody);
}

Text kPaymentDevice::GetDriverVersion() {
    if (gApplication == nullptr) {
        throw ZrError(u"The application context is not initialised");
    }
    return u"Version " + gApplication->Version() + u" - " + FormatShortDate(gApplication->ReleaseDate());
}

void kPaymentDevice::Pub_Pay(const kPaymentHandler& aHandler, _int_PAY_result& aResult) {
    RunTurn(aHandler, aResult, [&] {
        fIOHandler->Debug(tZR_MessageType::let_info, kPayBanner);
        const kPaymentReceipt& payment = Section(aHandler.fPaymentReceipt, u"Payment");
        fIOHandler->Debug(tZR_MessageType::let_info, PaymentRequestLine(payment));
        aResult.LogFileName = fIOHandler->GetLogFileName();
        aResult.PaymentDateTime = Now();
        aResult.TransactionType = zrPaymentTransactionType::ptt_Other;
        aResult.PaymentNetwork = zrPaymentNetwork::Other;
        switch (payment.fAction) {
        case zrPaymentAction::pa_Refund:
            DoRefund(payment, aResult);
            break;
        case zrPaymentAction::pa_Void:
            DoVoid(payment, aResult);
            break;
        default:
            DoPay(payment, aResult);
            break;
        }
        TakeChannelError(*fIOHandler, aResult);
    });
}

void kPaymentDevice::Pub_Reprint(const kPaymentHandler& aHandler, _int_REPRINT_result& aResult) {
    RunTurn(aHandler, aResult, [&] {
        fIOHandler->Debug(tZR_MessageType::let_info, kReprintBanner);
        const kPaymentReceipt& payment = Section(aHandler.fPaymentReceipt, u"Reprint");
        fIOHandler->Debug(tZR_MessageType::let_info, ReprintRequestLine(payment, u"REPRINT"));
        DoReprint(payment, aResult);
        TakeChannelError(*fIOHandler, aResult);
    });
}

void kPaymentDevice::Pub_DayClose(const kPaymentHandler& aHandler, _int_DAYCLOSE_result& aResult) {
    RunTurn(aHandler, aResult, [&] {
        fIOHandler->Debug(tZR_MessageType::let_info, kDayCloseBanner);
        const kPaymentDayClose& dayClose = Section(aHandler.fDayClose, u"DayClose");
        fIOHandler->Debug(tZR_MessageType::let_info,
                          ClosingRequestLine(u"DAY CLOSE", dayClose.fPrintLocation, dayClose.fTillCode));
        aResult.LogFileName = fIOHandler->GetLogFileName();
        aResult.ClosureDateTime = Now();
        DoDayClose(dayClose, aResult);
        TakeChannelError(*fIOHandler, aResult);
    });
}

void kPaymentDevice::Pub_GetTotals(const kPaymentHandler& aHandler, _int_GETTOTALS_result& aResult) {
    RunTurn(aHandler, aResult, [&] {
        fIOHandler->Debug(tZR_MessageType::let_info, kGetTotalsBanner);
        const kPaymentTotals& totals = Section(aHandler.fTotals, u"GetTotals");
        fIOHandler->Debug(tZR_MessageType::let_info,
                          ClosingRequestLine(u"TOTALS", totals.fPrintLocation, totals.fTillCode));
        aResult.LogFileName = fIOHandler->GetLogFileName();
        aResult.DateTime = Now();
        DoGetTotals(totals, aResult);
        TakeChannelError(*fIOHandler, aResult);
    });
}

void kPaymentDevice::Pub_VerifyTran(const kPaymentHandler& aHandler, _int_PAY_result& aResult) {
    RunTurn(aHandler, aResult, [&] {
        fIOHandler->Debug(tZR_MessageType::let_info, kVerifyTranBanner);
        const kPaymentReceipt& payment = Section(aHandler.fPaymentReceipt, u"VerifyTran");
        fIOHandler->Debug(tZR_MessageType::let_info, ReprintRequestLine(payment, u"VERIFY"));
        aResult.LogFileName = fIOHandler->GetLogFileName();
        aResult.PaymentDateTime = Now();
        aResult.TransactionType = zrPaymentTransactionType::ptt_Other;
        aResult.PaymentNetwork = zrPaymentNetwork::Other;
        DoVerifyTran(payment, aResult);
        TakeChannelError(*fIOHandler, aResult);
    });
}
