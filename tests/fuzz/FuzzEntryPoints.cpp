// The fuzzed entry points. Each checks what the library promises for any input: the call returns, a
// command reports 0 or -1, a failure carries an error text, every result document is well-formed XML,
// and the driver leaves the terminal's line closed.
#include "FuzzEntryPoints.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "base/Formatting.h"
#include "base/ZrError.h"
#include "drivers/P17Protocol.h"
#include "drivers/Payment_RIVEVEDEV17.h"
#include "drivers/RefundReference.h"
#include "interface/PaymentRegistry.h"
#include "io/Connection.h"
#include "payment/Xml.h"
#include "support/InterfaceTestSupport.h"
#include "support/ScriptedDriver.h"

namespace {
constexpr char16_t kDriverName[] = u"ZRPA_RIVEVEDEV17_10";
const TDateTime kNow = EncodeDateTime(2025, 3, 7, 14, 30);

Text Fit(const Text& aText, std::size_t aWidth) {
    Text t = aText.substr(0, aWidth);
    t.resize(aWidth, u' ');
    return t;
}

// An approved answer as a terminal lays it out, for the request code aCode.
Text ApprovedAnswer(char16_t aCode) {
    return Text(u"100000010") + aCode + u"00" + Fit(u"***************1234", 19) + u"CLI" + u"123456" +
           u"0661405" + u"0" + u"00000080006" + u"000123" + u"000045" + u"000" + u"00001234" + u"0";
}

// A terminal that acknowledges every data frame at once and answers it as approved, followed by one
// receipt frame ending in ESC.
class PromptTerminal : public FakeChannel {
public:
    bool Write(const Text& aMessage) override {
        FakeChannel::Write(aMessage);
        if (aMessage.size() > 11 && aMessage[0] == P17::STX) {
            const char16_t code = aMessage[10];
            Input += TerminalAck();
            if (code != u'E') {
                Input += TerminalFrame(ApprovedAnswer(code)) +
                         TerminalFrame(u"100000010S" + Fit(u"RICEVUTA", 24) + Text(1, P17::ESC));
            }
        }
        return true;
    }
};

// The product's driver over a prompt terminal: the request builds (and logs through) the channel it
// names, which is then replaced before anything connects.
class FuzzDevice : public kPaymentDevice {
public:
    explicit FuzzDevice(const kPaymentHandler& aHandler)
        : kPaymentDevice(aHandler),
          fProtocol(
              ReplaceChannel(), fAcquirers, u"fuzz", [] { return kNow; }, [](std::int32_t) {}) {}
    bool DoPay(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return fProtocol.DoPay(aPayment, aResult);
    }
    bool DoRefund(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return fProtocol.DoRefund(aPayment, aResult);
    }
    bool DoVoid(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return fProtocol.DoVoid(aPayment, aResult);
    }
    bool DoReprint(const kPaymentReceipt& aPayment, _int_REPRINT_result& aResult) override {
        return fProtocol.DoReprint(aPayment, aResult);
    }
    bool DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult) override {
        return fProtocol.DoDayClose(aDayClose, aResult);
    }
    bool DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult) override {
        return fProtocol.DoGetTotals(aTotals, aResult);
    }
    bool DoReserved() override { return false; }
    bool DoVerifyTran(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return fProtocol.DoVerifyTran(aPayment, aResult);
    }

private:
    kIOHandler& ReplaceChannel() {
        fIOHandler = std::make_unique<PromptTerminal>();
        return *fIOHandler;
    }
    TextList fAcquirers;
    kP17Protocol fProtocol;
};

std::unique_ptr<kPaymentDevice> CreateFuzzDevice(const kPaymentHandler& aHandler) {
    // Only the TCP channel is built: its constructor opens the device log and nothing else, where the
    // library channel would load whatever library the request names.
    if (aHandler.fConnection) {
        aHandler.fConnection->ConnectionType = zrConnectionType::TCP;
    }
    return std::make_unique<FuzzDevice>(aHandler);
}

struct ExportChoice {
    CommandExport Export;
    const char* Name;
};
constexpr ExportChoice kExports[] = {{PAY, "PAY"},
                                     {REPRINT, "REPRINT"},
                                     {OPEN, "OPEN"},
                                     {CLOSE, "CLOSE"},
                                     {GETSTATUS, "GETSTATUS"},
                                     {DAYCLOSE, "DAYCLOSE"},
                                     {GETTOTALS, "GETTOTALS"},
                                     {VERIFYTRAN, "VERIFYTRAN"}};
// K (CANCEL) came last: the other bytes keep picking what they picked before.
constexpr char kExportLetters[] = "PROCSDTVNK";

Text RequestText(const std::uint8_t* aData, std::size_t aSize, bool aUtf16) {
    if (!aUtf16) {
        return Utf8ToText(std::string_view(reinterpret_cast<const char*>(aData), aSize));
    }
    Text text;
    for (std::size_t i = 0; i + 1 < aSize; i += 2) {
        text += static_cast<char16_t>(aData[i] | (aData[i + 1] << 8));
    }
    return text;
}

void CheckOutcome(const char* aExport, const ExportOutcome& aOutcome) {
    if (aOutcome.Result != 0 && aOutcome.Result != -1) {
        FuzzFailure(std::string(aExport) + " returned " + std::to_string(aOutcome.Result));
    }
    if (aOutcome.Result == -1 && aOutcome.ErrorMessage.empty()) {
        FuzzFailure(std::string(aExport) + " failed without an error text");
    }
    if (!aOutcome.Output.empty() && std::string(aExport) != "VERSION") {
        try {
            // A result document is a sequence of elements without a root of its own.
            const Text wrapped = u"<Result>" + aOutcome.Output + u"</Result>";
            XmlCheckRequestText(wrapped);
            XmlDocument::Parse(wrapped);
        } catch (const ZrError& e) {
            FuzzFailure(std::string(aExport) + " wrote a result document that is not XML (" +
                        TextToUtf8(e.Message()) + "): " + TextToUtf8(aOutcome.Output));
        }
    }
}

// Devices opened by one input are closed before the next, so no input depends on an earlier one.
void CloseEveryDevice() {
    // Freed here, outside the registry's lock.
    const auto devices = tZR_PaymentRegistry::CloseAll();
}

kPaymentReceipt Receipt(ZrPrintLocation aWhere) {
    kPaymentReceipt r = TillRequest(aWhere);
    r.fRefundReference.PaymentNumber =
        CalcRefundReference(123, 1234, 80006, Currency::FromRaw(123400), u"A1B2C3", kNow);
    return r;
}

template <typename TResult> void CheckResult(const char* aOperation, bool aOk, const TResult& aResult) {
    if (aOk == aResult.Error) {
        FuzzFailure(std::string(aOperation) + " returned " + (aOk ? "true" : "false") + " with Error " +
                    (aResult.Error ? "set" : "clear"));
    }
    if (aResult.Error && aResult.ErrorText.empty()) {
        FuzzFailure(std::string(aOperation) + " failed without an error text");
    }
}
void RunOperation(kP17Protocol& protocol, int aOperation, const kPaymentReceipt& receipt,
                  ZrPrintLocation where) {
    switch (aOperation) {
    case 0: {
        _int_PAY_result r;
        CheckResult("DoPay", protocol.DoPay(receipt, r), r);
        break;
    }
    case 1: {
        _int_PAY_result r;
        CheckResult("DoRefund", protocol.DoRefund(receipt, r), r);
        break;
    }
    case 2: {
        _int_PAY_result r;
        CheckResult("DoVoid", protocol.DoVoid(receipt, r), r);
        break;
    }
    case 3: {
        _int_REPRINT_result r;
        CheckResult("DoReprint", protocol.DoReprint(receipt, r), r);
        break;
    }
    case 4: {
        kPaymentDayClose d;
        d.fTillCode = u"5";
        d.fPrintLocation = where;
        _int_DAYCLOSE_result r;
        CheckResult("DoDayClose", protocol.DoDayClose(d, r), r);
        break;
    }
    case 5: {
        kPaymentTotals t;
        t.fTillCode = u"5";
        t.fPrintLocation = where;
        _int_GETTOTALS_result r;
        CheckResult("DoGetTotals", protocol.DoGetTotals(t, r), r);
        break;
    }
    default: {
        _int_PAY_result r;
        CheckResult("DoVerifyTran", protocol.DoVerifyTran(receipt, r), r);
        break;
    }
    }
}

} // namespace

void FuzzFailure(const std::string& aWhat) {
    std::fprintf(stderr, "fuzz finding: %s\n", aWhat.c_str());
    std::fflush(stderr);
    std::abort();
}

void InstallFuzzDriver() {
    RegisterPaymentDriver(kDriverName, &CreateFuzzDevice);
}

void RemoveFuzzDriver() {
    RegisterPaymentDriver(kDriverName, &CreatePayment_RIVEVEDEV17);
}

void FuzzRequest(const std::uint8_t* aData, std::size_t aSize) {
    if (aSize == 0) {
        return;
    }
    const char letter = static_cast<char>(aData[0]);
    const bool utf16 = letter >= 'a' && letter <= 'z';
    const char upper = utf16 ? static_cast<char>(letter - 'a' + 'A') : letter;
    const char* found = upper != '\0' ? std::strchr(kExportLetters, upper) : nullptr;
    const std::size_t index =
        found != nullptr ? static_cast<std::size_t>(found - kExportLetters) : aData[0] % 9;
    const Text request = RequestText(aData + 1, aSize - 1, utf16);
    if (index == 8) {
        CheckOutcome("VERSION", CallVersion(request));
    } else if (index == 9) {
        CheckOutcome("CANCEL", CallExport(CANCEL, request));
    } else {
        CheckOutcome(kExports[index].Name, CallExport(kExports[index].Export, request));
    }
    CloseEveryDevice();
}

void FuzzTerminal(const std::uint8_t* aData, std::size_t aSize) {
    if (aSize == 0) {
        return;
    }
    ScriptedDriver driver(u"kIOHandler_TCP", [] { return kNow; });
    FakeChannel& channel = driver.Channel;
    std::size_t start = 1;
    for (std::size_t i = 1; i <= aSize; ++i) {
        if (i == aSize || aData[i] == 0xFF) {
            Text reply;
            for (std::size_t j = start; j < i; ++j) {
                reply += static_cast<char16_t>(aData[j]);
            }
            channel.Replies.push_back(std::move(reply));
            start = i + 1;
        }
    }
    driver.Custom = {u"00000080006=Bancomat"};
    kP17Protocol& protocol = driver.P17;
    const auto where = (aData[0] & 0x80) != 0 ? ZrPrintLocation::pl_EFT : ZrPrintLocation::pl_ECR;
    const kPaymentReceipt receipt = Receipt(where);
    // A raised ZrError is an outcome the command object turns into the error text; any other exception
    // is a fault of the driver (an index out of range, ...).
    try {
        RunOperation(protocol, aData[0] % 8, receipt, where);
    } catch (const ZrError& e) {
        if (e.Message().empty()) {
            FuzzFailure("an operation raised an error without a text");
        }
    } catch (const std::exception& e) {
        FuzzFailure(std::string("an operation raised ") + e.what());
    }
    if (channel.GetConnected()) {
        FuzzFailure("the operation left the line to the terminal connected");
    }
}

void FuzzRefundReference(const std::uint8_t* aData, std::size_t aSize) {
    Text reference;
    if (aSize > 0 && aData[0] == 'W') {
        reference = RequestText(aData + 1, aSize - 1, true);
    } else {
        for (std::size_t i = 0; i < aSize; ++i) {
            reference += static_cast<char16_t>(aData[i]);
        }
    }
    const bool wellFormed = IsWellFormedRefundReference(reference);
    Text stan, pan, acquirer, amount, authCode, dateTime;
    DecodeRefundReference(reference, stan, pan, acquirer, amount, authCode, dateTime);
    if (!wellFormed) {
        return;
    }
    // A reference the driver accepts must unpack into the very values that were packed, each within the
    // digits of its field in the void message; otherwise the void would name another payment.
    struct Field {
        std::size_t Pos, Len, Digits;
        const Text& Decoded;
    };
    const Field fields[] = {
        {0, 4, 6, stan}, {4, 3, 4, pan}, {7, 8, 11, acquirer}, {15, 6, 8, amount}, {27, 7, 10, dateTime}};
    for (const Field& f : fields) {
        const Text digits =
            f.Decoded.size() > f.Digits ? f.Decoded.substr(f.Decoded.size() - f.Digits) : f.Decoded;
        std::uint64_t value = 0;
        for (const char16_t c : digits) {
            value = value * 10 + static_cast<std::uint64_t>(c - u'0');
        }
        if (digits.size() != f.Digits ||
            value != static_cast<std::uint64_t>(Base36ToInt(reference.substr(f.Pos, f.Len)))) {
            FuzzFailure("the well-formed reference '" + TextToUtf8(reference) + "' unpacks '" +
                        TextToUtf8(reference.substr(f.Pos, f.Len)) + "' into '" + TextToUtf8(f.Decoded) +
                        "'");
        }
    }
}
