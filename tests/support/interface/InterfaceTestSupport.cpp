#include "support/InterfaceTestSupport.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/ZrError.h"
#include "interface/PaymentRegistry.h"
#include "io/IOHandler.h"
#include "payment/Payment.h"
#include "platform/Process.h"

namespace {
constexpr auto kGateLimit = std::chrono::seconds(30);

ExportOutcome Collect(std::int32_t aResult, BSTR aOutput, BSTR aError) {
    ExportOutcome o;
    o.Result = aResult;
    o.OutputWasNull = aOutput == nullptr;
    o.ErrorWasNull = aError == nullptr;
    o.Output = BstrToText(aOutput);
    o.ErrorMessage = BstrToText(aError);
    SysFreeString(aOutput);
    SysFreeString(aError);
    return o;
}

BSTR AllocRequest(const Text& aText) {
    // SysAllocStringLen keeps an empty text as a real (non-null) empty string.
#ifdef _WIN32
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(aText.data()), static_cast<UINT>(aText.size()));
#else
    return SysAllocStringLen(aText.data(), static_cast<uint32_t>(aText.size()));
#endif
}

class FakeDevice : public kPaymentDevice {
public:
    explicit FakeDevice(const kPaymentHandler& aHandler) : kPaymentDevice(aHandler) {}
    ~FakeDevice() override { FakeControl().Destroyed.fetch_add(1); }

    bool DoPay(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return Run(u"DoPay", aPayment, aResult);
    }
    bool DoRefund(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return Run(u"DoRefund", aPayment, aResult);
    }
    bool DoVoid(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override {
        return Run(u"DoVoid", aPayment, aResult);
    }
    bool DoReprint(const kPaymentReceipt&, _int_REPRINT_result& aResult) override {
        Enter(u"DoReprint");
        aResult.ReceiptText = u"COPY\r\nLINE 2";
        aResult.Error = false;
        return Leave(aResult);
    }
    bool DoDayClose(const kPaymentDayClose&, _int_DAYCLOSE_result& aResult) override {
        Enter(u"DoDayClose");
        aResult.ClosureNumber = u"0042";
        aResult.TransactionsCount = 3;
        aResult.TotalAmount = Currency::FromRaw(125000);
        aResult.Error = false;
        return Leave(aResult);
    }
    bool DoGetTotals(const kPaymentTotals&, _int_GETTOTALS_result& aResult) override {
        Enter(u"DoGetTotals");
        aResult.TransactionsCount = 2;
        aResult.TotalAmount = Currency::FromRaw(-25000);
        aResult.Error = false;
        return Leave(aResult);
    }
    bool DoReserved() override { return false; }
    bool DoVerifyTran(const kPaymentReceipt&, _int_PAY_result& aResult) override {
        Enter(u"DoVerifyTran");
        aResult.Error = true;
        aResult.ErrorText = u"unsupported";
        return false;
    }

private:
    bool Run(const char16_t* aName, const kPaymentReceipt& aPayment, _int_PAY_result& aResult) {
        Enter(aName);
        aResult.DeviceId = u"FAKE" + IntToText(Handle());
        aResult.PaymentAmount = aPayment.fAmount;
        aResult.PaymentNetwork = zrPaymentNetwork::Visa;
        aResult.TransactionType = zrPaymentTransactionType::ptt_ClessChip;
        aResult.ErrorText = u"driver text";
        aResult.Error = false;
        return Leave(aResult);
    }

    // Logs the operation, counts it and holds it while the gate is closed.
    void Enter(const char16_t* aName) {
        IOHandler().Debug(tZR_MessageType::let_info, Text(u"FakeDriver:") + aName);
        auto& c = FakeControl();
        std::unique_lock<std::mutex> lock(c.Lock);
        ++c.Entered;
        ++c.Inside;
        ++fInside;
        if (fInside > c.MaxInsideOneDevice) {
            c.MaxInsideOneDevice = fInside;
        }
        c.Changed.notify_all();
        c.Changed.wait_for(lock, kGateLimit, [&] { return !c.GateClosed; });
        --fInside;
        --c.Inside;
        c.Changed.notify_all();
        if (c.RaiseInOperation) {
            throw ZrError(u"fake driver failure <&>");
        }
        if (c.SetChannelError) {
            IOHandler().SetCustomError(7, u"channel says no");
        }
    }
    template <typename TResult> bool Leave(const TResult& aResult) { return !aResult.Error; }

    int fInside = 0; // guarded by FakeControl().Lock
};

std::unique_ptr<kPaymentDevice> CreateFake(const kPaymentHandler& aHandler) {
    return std::make_unique<FakeDevice>(aHandler);
}

std::unique_ptr<kPaymentDevice> CreateBroken(const kPaymentHandler&) {
    throw ZrError(u"fake channel cannot be built");
}
} // namespace

ExportOutcome CallExport(CommandExport aExport, const Text& aRequest) {
    BSTR request = AllocRequest(aRequest);
    BSTR output = nullptr;
    BSTR error = nullptr;
    const std::int32_t result = aExport(request, &output, &error);
    SysFreeString(request);
    return Collect(result, output, error);
}

ExportOutcome CallVersion(const Text& aDriverName) {
    BSTR name = AllocRequest(aDriverName);
    BSTR version = nullptr;
    BSTR error = nullptr;
    const std::int32_t result = VERSION(name, &version, &error);
    SysFreeString(name);
    return Collect(result, version, error);
}

Text MakeRequest(const RequestSpec& aSpec) {
    Text xml = u"<ReceiptPrinterManager Version=\"1.0\"><Driver>" + aSpec.Driver + u"</Driver>";
    if (!aSpec.Handle.empty()) {
        xml += u"<Handle>" + aSpec.Handle + u"</Handle>";
    }
    xml += u"<LogId>" + aSpec.LogId + u"</LogId>";
    xml += u"<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>1</Port></Connection>";
    xml += aSpec.Section;
    xml += u"</ReceiptPrinterManager>";
    return xml;
}

Text ElementOf(const Text& aDocument, const Text& aName) {
    const Text open = u"<" + aName + u">";
    const auto start = aDocument.find(open);
    if (start == Text::npos) {
        return Text();
    }
    const auto from = start + open.size();
    const auto end = aDocument.find(u"</" + aName + u">", from);
    return end == Text::npos ? Text() : aDocument.substr(from, end - from);
}

bool HasElement(const Text& aDocument, const Text& aName) {
    return aDocument.find(u"<" + aName + u">") != Text::npos;
}

std::string ReadFileBytes(const Text& aPath) {
    std::ifstream in(std::filesystem::path(aPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void RemoveFile(const Text& aPath) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(aPath), ec);
}

Text UniqueLogId(const char* aPrefix) {
    static std::atomic<int> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return Utf8ToText(aPrefix) + u"_" + IntToText(now % 1000000007) + u"_" + IntToText(counter.fetch_add(1));
}

void FakeDriverControl::Reset() {
    std::lock_guard<std::mutex> lock(Lock);
    GateClosed = false;
    Inside = 0;
    MaxInsideOneDevice = 0;
    Entered = 0;
    RaiseInOperation = false;
    SetChannelError = false;
    Destroyed = 0;
}

void FakeDriverControl::CloseGate() {
    std::lock_guard<std::mutex> lock(Lock);
    GateClosed = true;
}

void FakeDriverControl::OpenGate() {
    std::lock_guard<std::mutex> lock(Lock);
    GateClosed = false;
    Changed.notify_all();
}

bool FakeDriverControl::WaitInside(int aCount) {
    std::unique_lock<std::mutex> lock(Lock);
    return Changed.wait_for(lock, kGateLimit, [&] { return Inside >= aCount; });
}

bool FakeDriverControl::WaitEntered(int aCount) {
    std::unique_lock<std::mutex> lock(Lock);
    return Changed.wait_for(lock, kGateLimit, [&] { return Entered >= aCount; });
}

FakeDriverControl& FakeControl() {
    static FakeDriverControl control;
    return control;
}

void RegisterFakeDrivers() {
    RegisterPaymentDriver(kFakeDriverName, &CreateFake);
    RegisterPaymentDriver(kBrokenDriverName, &CreateBroken);
}

std::int32_t LastHandle() {
    return tZR_PaymentRegistry::LastHandle();
}

std::size_t OpenDeviceCount() {
    return tZR_PaymentRegistry::OpenDevices();
}
