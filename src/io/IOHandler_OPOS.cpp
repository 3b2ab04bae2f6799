#include "io/IOHandler_OPOS.h"

#include <cmath>
#include <limits>
#include <string>

#include "base/ZrError.h"
#include "platform/Clock.h"

namespace {
// Texts as the log lines show them: in single quotes, each quote inside doubled.
Text Quoted(const Text& aText) {
    Text out = u"'";
    for (const char16_t c : aText) {
        out += c;
        if (c == u'\'') {
            out += u'\'';
        }
    }
    return out + u"'";
}

Text BoolText(bool aValue) {
    return aValue ? u"True" : u"False";
}

Text Amount(Currency aValue) {
    return kIOHandler::CurrencyToText(aValue);
}

const char16_t* const kResultNames[] = {
    u"OPOS_E_CLOSED",  u"OPOS_E_CLAIMED",    u"OPOS_E_NOTCLAIMED", u"OPOS_E_NOSERVICE", u"OPOS_E_DISABLED",
    u"OPOS_E_ILLEGAL", u"OPOS_E_NOHARDWARE", u"OPOS_E_OFFLINE",    u"OPOS_E_NOEXIST",   u"OPOS_E_EXISTS",
    u"OPOS_E_FAILURE", u"OPOS_E_TIMEOUT",    u"OPOS_E_BUSY",       u"OPOS_E_EXTENDED",  u"OPOS_E_DEPRECATED",
}; // 101 to 115

const char16_t* const kExtendedNames[] = {
    u"OPOS_EFPTR_COVER_OPEN",
    u"OPOS_EFPTR_JRN_EMPTY",
    u"OPOS_EFPTR_REC_EMPTY",
    u"OPOS_EFPTR_SLP_EMPTY",
    u"OPOS_EFPTR_SLP_FORM",
    u"OPOS_EFPTR_MISSING_DEVICES",
    u"OPOS_EFPTR_WRONG_STATE",
    u"OPOS_EFPTR_TECHNICAL_ASSISTANCE",
    u"OPOS_EFPTR_CLOCK_ERROR",
    u"OPOS_EFPTR_FISCAL_MEMORY_FULL",
    u"OPOS_EFPTR_FISCAL_MEMORY_DISCONNECTED",
    u"OPOS_EFPTR_FISCAL_TOTALS_ERROR",
    u"OPOS_EFPTR_BAD_ITEM_QUANTITY",
    u"OPOS_EFPTR_BAD_ITEM_AMOUNT",
    u"OPOS_EFPTR_BAD_ITEM_DESCRIPTION",
    u"OPOS_EFPTR_RECEIPT_TOTAL_OVERFLOW",
    u"OPOS_EFPTR_BAD_VAT",
    u"OPOS_EFPTR_BAD_PRICE",
    u"OPOS_EFPTR_BAD_DATE",
    u"OPOS_EFPTR_NEGATIVE_TOTAL",
    u"OPOS_EFPTR_WORD_NOT_ALLOWED",
    u"OPOS_EFPTR_BAD_LENGTH",
    u"OPOS_EFPTR_MISSING_SET_CURRENCY",
    u"OPOS_EFPTR_DAY_END_REQUIRED",
}; // 201 to 224

template <std::size_t N>
Text NameOf(const char16_t* const (&aNames)[N], std::int32_t aFirst, std::int32_t aCode) {
    if (aCode >= aFirst && aCode < aFirst + static_cast<std::int32_t>(N)) {
        return Text(u" ") + aNames[aCode - aFirst];
    }
    return u" UNKNOWN";
}

Text TwoDigits(int aValue) {
    Text t = IntToText(aValue);
    return t.size() < 2 ? u"0" + t : t;
}

// The first and last instants the date texts can carry: 0001-01-01 and the end of 9999-12-31.
constexpr double kFirstDay = -693593.0;
constexpr double kPastLastDay = 2958466.0;

Text DateText(TDateTime aValue) {
    const DateTimeParts p = DecodeDateTime(aValue);
    Text year = IntToText(p.Year);
    while (year.size() < 4) {
        year.insert(year.begin(), u'0');
    }
    return TwoDigits(p.Day) + TwoDigits(p.Month) + year + TwoDigits(p.Hour) + TwoDigits(p.Minute);
}

bool ParseDateText(const Text& aText, TDateTime& aOut) {
    if (aText.size() < 12) {
        return false;
    }
    int digits[12];
    for (int i = 0; i < 12; ++i) {
        if (aText[i] < u'0' || aText[i] > u'9') {
            return false;
        }
        digits[i] = aText[i] - u'0';
    }
    DateTimeParts p;
    p.Day = digits[0] * 10 + digits[1];
    p.Month = digits[2] * 10 + digits[3];
    p.Year = digits[4] * 1000 + digits[5] * 100 + digits[6] * 10 + digits[7];
    p.Hour = digits[8] * 10 + digits[9];
    p.Minute = digits[10] * 10 + digits[11];
    return TryEncodeDateTime(p, aOut);
}

Text ExceptionText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return ExceptionMessage(e);
    } catch (...) {
        return u"unknown exception";
    }
}
} // namespace

kIOHandler_OPOS::kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory,
                                 const Text& aFileName)
    : kIOHandler_OPOS(aConnection, aDirectory, aFileName, tZR_OposFiscalPrinter::Create()) {}

kIOHandler_OPOS::kIOHandler_OPOS(const kConnection* aConnection, const Text& aDirectory,
                                 const Text& aFileName, std::unique_ptr<tZR_OposFiscalPrinter> aControl)
    : kIOHandler(aConnection, aDirectory, aFileName), fOPOS(std::move(aControl)) {
    if (!fOPOS) {
        throw ZrError(u"kIOHandler_OPOS needs an OPOS FiscalPrinter control");
    }
    if (aConnection != nullptr) {
        fDeviceName = aConnection->DeviceName;
    }
}

kIOHandler_OPOS::~kIOHandler_OPOS() {
    if (fConnected) {
        Disconnect();
    }
    fOPOS.reset();
}

bool kIOHandler_OPOS::Connect() {
    kIOHandler::Connect();
    Info(u"DeviceName=" + fDeviceName);
    bool result = false;
    try {
        if (fConnected) {
            Disconnect();
        }
        Info(u"[Connect]->Open(" + fDeviceName + u")");
        result = CheckResult(fOPOS->Open(fDeviceName));
        if (result) {
            Info(u"[Connect]->ClaimDevice(" + IntToText(ConnectTimeout()) + u")");
            result = CheckResult(fOPOS->ClaimDevice(ConnectTimeout()));
        }
        if (result) {
            Info(u"[Connect]->DeviceEnabled:=true");
            fOPOS->SetDeviceEnabled(true);
            result = fOPOS->GetDeviceEnabled();
        }
        // Also after a failed result code: the device may be open and is then closed by Disconnect.
        fConnected = true;
    } catch (...) {
        Debug(tZR_MessageType::let_error, u"[Connect]:" + ExceptionText());
        result = false;
    }
    return result;
}

bool kIOHandler_OPOS::Disconnect() {
    bool result = false;
    try {
        Info(u"[Disconnect]->DeviceEnabled:=false");
        fOPOS->SetDeviceEnabled(false);
        if (!fOPOS->GetDeviceEnabled()) {
            Info(u"[Disconnect]->ReleaseDevice");
            result = CheckResult(fOPOS->ReleaseDevice());
            if (result) {
                Info(u"[Disconnect]->Close");
                result = CheckResult(fOPOS->Close());
            }
        }
        fConnected = false;
    } catch (...) {
        Debug(tZR_MessageType::let_error, u"[Disconnect]:" + ExceptionText());
        result = false;
    }
    return result;
}

bool kIOHandler_OPOS::Write(const Text&) {
    throw ZrError(u"Write Unsupported");
}

// --- fiscal operations ---------------------------------------------------------------------------------

bool kIOHandler_OPOS::BeginFiscalReceipt() {
    Info(u"[BeginFiscalReceipt]->BeginFiscalReceipt(true)");
    return CheckResult(fOPOS->BeginFiscalReceipt(true));
}

bool kIOHandler_OPOS::EndFiscalReceipt() {
    Info(u"[EndFiscalReceipt]->EndFiscalReceipt(false)");
    return CheckResult(fOPOS->EndFiscalReceipt(false));
}

bool kIOHandler_OPOS::BeginNonFiscal() {
    Info(u"[BeginNonFiscal]->BeginNonFiscal");
    return CheckResult(fOPOS->BeginNonFiscal());
}

bool kIOHandler_OPOS::EndNonFiscal() {
    Info(u"[EndNonFiscal]->EndNonFiscal");
    return CheckResult(fOPOS->EndNonFiscal());
}

bool kIOHandler_OPOS::BeginTraining() {
    Info(u"[BeginTraining]->BeginTraining");
    return CheckResult(fOPOS->BeginTraining());
}

bool kIOHandler_OPOS::EndTraining() {
    Info(u"[EndTraining]->EndTraining");
    return CheckResult(fOPOS->EndTraining());
}

bool kIOHandler_OPOS::ResetPrinter() {
    Info(u"[ResetPrinter]->ResetPrinter");
    return CheckResult(fOPOS->ResetPrinter());
}

bool kIOHandler_OPOS::PrintZReport() {
    Info(u"[PrintZReport]->PrintZReport");
    return CheckResult(fOPOS->PrintZReport());
}

bool kIOHandler_OPOS::PrintXReport() {
    Info(u"[PrintXReport]->PrintXReport");
    return CheckResult(fOPOS->PrintXReport());
}

bool kIOHandler_OPOS::PrintNormal(const Text& aText) {
    Info(u"[PrintNormal]->PrintNormal(" + IntToText(opos::FPTR_S_RECEIPT) + u"," + Quoted(aText) + u")");
    return CheckResult(fOPOS->PrintNormal(opos::FPTR_S_RECEIPT, aText));
}

bool kIOHandler_OPOS::PrintRecMessage(const Text& aText) {
    Info(u"[PrintRecMessage]->PrintRecMessage(" + Quoted(aText) + u")");
    return CheckResult(fOPOS->PrintRecMessage(aText));
}

bool kIOHandler_OPOS::PrintRecTaxid(const Text& aTaxId) {
    Info(u"[PrintRecTaxid]->PrintRecTaxid(" + Quoted(aTaxId) + u")");
    return CheckResult(fOPOS->PrintRecTaxID(aTaxId));
}

std::int32_t kIOHandler_OPOS::QuantityThousandths(Currency aQuantity) const {
    const std::int64_t thousandths = aQuantity.Raw() / 10; // truncated toward zero
    if (thousandths < std::numeric_limits<std::int32_t>::min() ||
        thousandths > std::numeric_limits<std::int32_t>::max()) {
        throw ZrError(u"Quantity " + Amount(aQuantity) + u" is out of range for the fiscal printer");
    }
    return static_cast<std::int32_t>(thousandths);
}

bool kIOHandler_OPOS::PrintRecItem(const Text&, const Text& aDescription, Currency aQuantity,
                                   const Text& aUOM, std::int32_t aVatCode, Currency aPrice,
                                   Currency aAmount) {
    const std::int32_t quantity = QuantityThousandths(aQuantity);
    Info(u"[PrintRecItem]->PrintRecItem(" + Quoted(aDescription) + u"," + Amount(aAmount) + u"," +
         IntToText(aQuantity.Raw() / Currency::kScale) + u"," + IntToText(aVatCode) + u"," + Amount(aPrice) +
         u"," + Quoted(aUOM) + u")");
    return CheckResult(fOPOS->PrintRecItem(aDescription, aAmount, quantity, aVatCode, aPrice, aUOM));
}

bool kIOHandler_OPOS::PrintRecItemVoid(const Text&, const Text& aDescription, Currency aQuantity,
                                       const Text& aUOM, std::int32_t aVatCode, Currency aPrice,
                                       Currency aAmount) {
    const std::int32_t quantity = QuantityThousandths(aQuantity);
    Info(u"[PrintRecItemVoid]->PrintRecItemVoid(" + Quoted(aDescription) + u"," + Amount(aAmount) + u"," +
         IntToText(aVatCode) + u"," + Amount(aPrice) + u"," + Quoted(aUOM) + u")");
    return CheckResult(fOPOS->PrintRecItemVoid(aDescription, aAmount, quantity, aVatCode, aPrice, aUOM));
}

bool kIOHandler_OPOS::PrintRecRefund(const Text&, const Text& aDescription, Currency, const Text&,
                                     std::int32_t aVatCode, Currency, Currency aAmount) {
    Info(u"[PrintRecRefund]->PrintRecRefund(" + Quoted(aDescription) + u"," + Amount(aAmount) + u"," +
         IntToText(aVatCode) + u")");
    return CheckResult(fOPOS->PrintRecRefund(aDescription, aAmount, aVatCode));
}

bool kIOHandler_OPOS::PrintRecItemAdjustment(std::int32_t aAdjType, const Text& aDescription,
                                             Currency aAmount, std::int32_t aVatCode) {
    Info(u"[PrintRecItemAdjustment]->PrintRecItemAdjustment(" + IntToText(aAdjType) + u"," +
         Quoted(aDescription) + u"," + Amount(aAmount) + u"," + IntToText(aVatCode) + u")");
    return CheckResult(fOPOS->PrintRecItemAdjustment(aAdjType, aDescription, aAmount, aVatCode));
}

bool kIOHandler_OPOS::PrintRecSubtotal(Currency aAmount) {
    Info(u"[PrintRecSubtotal]->PrintRecSubTotal(" + Amount(aAmount) + u")");
    return CheckResult(fOPOS->PrintRecSubtotal(aAmount));
}

bool kIOHandler_OPOS::PrintRecSubtotalAdjustment(std::int32_t aAdjType, const Text& aDescription,
                                                 Currency aAmount) {
    Info(u"[PrintRecSubtotalAdjustment]->PrintRecSubtotalAdjustment(" + IntToText(aAdjType) + u"," +
         Quoted(aDescription) + u"," + Amount(aAmount) + u")");
    return CheckResult(fOPOS->PrintRecSubtotalAdjustment(aAdjType, aDescription, aAmount));
}

bool kIOHandler_OPOS::PrintRecTotal(Currency aTotalAmount, Currency aPaymentAmount,
                                    const Text& aDescription) {
    Info(u"[PrintRecTotal]->PrintRecTotal(" + Amount(aTotalAmount) + u"," + Amount(aPaymentAmount) + u"," +
         Quoted(aDescription) + u")");
    return CheckResult(fOPOS->PrintRecTotal(aTotalAmount, aPaymentAmount, aDescription));
}

bool kIOHandler_OPOS::PrintRecNotPaid(Currency aAmount, const Text& aDescription) {
    Info(u"[PrintRecNotPaid]->PrintRecNotPaid(" + Quoted(aDescription) + u"," + Amount(aAmount) + u")");
    return CheckResult(fOPOS->PrintRecNotPaid(aDescription, aAmount));
}

bool kIOHandler_OPOS::SetDate(TDateTime aDateTime) {
    if (!std::isfinite(aDateTime) || aDateTime < kFirstDay || aDateTime >= kPastLastDay) {
        throw ZrError(u"SetDate: date-time " + Utf8ToText(std::to_string(aDateTime)) +
                      u" is outside the years 1 to 9999");
    }
    const Text date = DateText(aDateTime);
    Info(u"[SetDate]->SetDate(" + Quoted(date) + u")");
    return CheckResult(fOPOS->SetDate(date));
}

bool kIOHandler_OPOS::GetDate(TDateTime& aDate) {
    Info(u"[GetDate]->GetDate");
    Text date;
    const bool ok = CheckResult(fOPOS->GetDate(date));
    if (!ok) {
        aDate = Now();
        return false;
    }
    Info(u"[GetDate]->aDate=" + date);
    if (!ParseDateText(date, aDate)) {
        throw ZrError(u"GetDate: the fiscal printer's date " + Quoted(date) +
                      u" is not of the form ddmmyyyyhhnn");
    }
    return true;
}

bool kIOHandler_OPOS::GetData(std::int32_t aDataItem, std::int32_t aOptArgs, Text& aOutput) {
    Info(u"[GetData]->GetData(" + IntToText(aDataItem) + u"," + IntToText(aOptArgs) + u",aOutput)");
    Text data;
    std::int32_t options = aOptArgs;
    const bool ok = CheckResult(fOPOS->GetData(aDataItem, options, data));
    if (ok) {
        aOutput = data;
        Info(u"[GetData]->aOutput=" + aOutput);
    } else {
        aOutput.clear();
    }
    return ok;
}

bool kIOHandler_OPOS::DirectIO(std::int32_t aCommand, std::int32_t& aData, Text& aString) {
    Info(u"[DirectIO]->DirectIO(" + IntToText(aCommand) + u"," + IntToText(aData) + u"," + Quoted(aString) +
         u")");
    const std::int32_t code = fOPOS->DirectIO(aCommand, aData, aString);
    Info(u"[DirectIO]->Output(Data:=" + IntToText(aData) + u", Obj:=" + Quoted(aString) + u")");
    return CheckResult(code);
}

// --- property operations -------------------------------------------------------------------------------

bool kIOHandler_OPOS::GetCoverOpen(bool& aResult) {
    Info(u"[GetCoverOpen]->CoverOpen(aResult)");
    aResult = fOPOS->GetCoverOpen();
    Info(u"[GetCoverOpen]->CoverOpen=" + BoolText(aResult));
    return true;
}

bool kIOHandler_OPOS::GetDayOpened(bool& aResult) {
    Info(u"[GetDayOpened]->DayOpened(aResult)");
    aResult = fOPOS->GetDayOpened();
    Info(u"[GetDayOpened]->aResult=" + BoolText(aResult));
    return true;
}

bool kIOHandler_OPOS::GetRecEmpty(bool& aResult) {
    Info(u"[GetRecEmpty]->RecEmpty(aResult)");
    aResult = fOPOS->GetRecEmpty();
    Info(u"[GetRecEmpty]->aResult=" + BoolText(aResult));
    return true;
}

bool kIOHandler_OPOS::GetRecNearEnd(bool& aResult) {
    Info(u"[GetRecNearEmpty]->RecNearEmpty(aResult)");
    aResult = fOPOS->GetRecNearEnd();
    Info(u"[GetRecNearEmpty]->aResult=" + BoolText(aResult));
    return true;
}

bool kIOHandler_OPOS::GetTrainingModeActive(bool& aResult) {
    Info(u"[GetTrainingModeActive]->TrainingModeActive(aResult)");
    aResult = fOPOS->GetTrainingModeActive();
    Info(u"[GetTrainingModeActive]->aResult=" + BoolText(aResult));
    return true;
}

bool kIOHandler_OPOS::PrinterState(std::int32_t& aPrinterState) {
    Info(u"[PrinterState]->PrinterState(aPrinterState)");
    aPrinterState = fOPOS->GetPrinterState();
    Info(u"[PrinterState]->aPrinterState=" + IntToText(aPrinterState));
    return true;
}

bool kIOHandler_OPOS::RemainingFiscalMemory(std::int32_t& aRemainingFiscalMemory) {
    Info(u"[RemainingFiscalMemory]->RemainingFiscalMemory(aRemainingFiscalMemory)");
    aRemainingFiscalMemory = fOPOS->GetRemainingFiscalMemory();
    Info(u"[RemainingFiscalMemory]->aRemainingFiscalMemory=" + IntToText(aRemainingFiscalMemory));
    return true;
}

bool kIOHandler_OPOS::SetPreLine(const Text& aDescription) {
    Info(u"[SetPreLine]->PreLine=" + Quoted(aDescription));
    fOPOS->SetPreLine(aDescription);
    return true;
}

bool kIOHandler_OPOS::SetFiscalReceiptType(std::int32_t aReceiptType) {
    Info(u"[SetFiscalReceiptType]->FiscalReceiptType=" + IntToText(aReceiptType));
    fOPOS->SetFiscalReceiptType(aReceiptType);
    return true;
}

bool kIOHandler_OPOS::SetAdditionalTrailerLine(const Text& aDescription, bool aClear) {
    if (aClear) {
        Info(u"[SetAdditionalTrailerLine]->AdditionalTrailer=" + Quoted(aDescription));
        fOPOS->SetAdditionalTrailer(aDescription);
    } else {
        Info(u"[SetAdditionalTrailerLine]->AdditionalTrailer=+" + Quoted(aDescription));
        fOPOS->SetAdditionalTrailer(fOPOS->GetAdditionalTrailer() + aDescription + u"\r\n");
    }
    return true;
}

// --- result codes --------------------------------------------------------------------------------------

bool kIOHandler_OPOS::CheckResult(std::int32_t aCode) {
    ResetCustomError();
    if (aCode == opos::OPOS_SUCCESS) {
        return true;
    }
    const std::int32_t extended = aCode == opos::OPOS_E_EXTENDED ? fOPOS->GetResultCodeExtended() : 0;
    const Text text = ResultCodeToText(aCode, extended);
    Debug(tZR_MessageType::let_error, text);
    SetCustomError(aCode, text);
    return false;
}

Text kIOHandler_OPOS::ResultCodeToText(std::int32_t aCode, std::int32_t aExtended) {
    if (aCode == opos::OPOS_SUCCESS) {
        return Text();
    }
    Text text = u"[" + IntToText(aCode) + u"]" + NameOf(kResultNames, 101, aCode);
    if (aExtended != 0) {
        text += u" [" + IntToText(aExtended) + u"]" + NameOf(kExtendedNames, 201, aExtended);
    }
    return text + u" - " + fOPOS->GetErrorString();
}
