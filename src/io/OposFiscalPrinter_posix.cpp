// No OPOS service exists outside Windows: the control answers Open with OPOS_E_NOSERVICE and, never being
// open, every other method with OPOS_E_CLOSED, so a channel of this type fails cleanly at connect.
#include "io/OposFiscalPrinter.h"

namespace {
class NoServiceFiscalPrinter final : public tZR_OposFiscalPrinter {
public:
    std::int32_t Open(const Text&) override { return opos::OPOS_E_NOSERVICE; }
    std::int32_t ClaimDevice(std::int32_t) override { return kClosed; }
    std::int32_t ReleaseDevice() override { return kClosed; }
    std::int32_t Close() override { return kClosed; }
    bool GetDeviceEnabled() override { return false; }
    void SetDeviceEnabled(bool) override {}
    std::int32_t GetResultCodeExtended() override { return 0; }
    Text GetErrorString() override { return u"OPOS FiscalPrinter controls are available on Windows only"; }

    std::int32_t BeginFiscalReceipt(bool) override { return kClosed; }
    std::int32_t EndFiscalReceipt(bool) override { return kClosed; }
    std::int32_t BeginNonFiscal() override { return kClosed; }
    std::int32_t EndNonFiscal() override { return kClosed; }
    std::int32_t BeginTraining() override { return kClosed; }
    std::int32_t EndTraining() override { return kClosed; }
    std::int32_t ResetPrinter() override { return kClosed; }
    std::int32_t PrintZReport() override { return kClosed; }
    std::int32_t PrintXReport() override { return kClosed; }
    std::int32_t PrintNormal(std::int32_t, const Text&) override { return kClosed; }
    std::int32_t PrintRecMessage(const Text&) override { return kClosed; }
    std::int32_t PrintRecTaxID(const Text&) override { return kClosed; }
    std::int32_t PrintRecItem(const Text&, Currency, std::int32_t, std::int32_t, Currency,
                              const Text&) override {
        return kClosed;
    }
    std::int32_t PrintRecItemVoid(const Text&, Currency, std::int32_t, std::int32_t, Currency,
                                  const Text&) override {
        return kClosed;
    }
    std::int32_t PrintRecRefund(const Text&, Currency, std::int32_t) override { return kClosed; }
    std::int32_t PrintRecItemAdjustment(std::int32_t, const Text&, Currency, std::int32_t) override {
        return kClosed;
    }
    std::int32_t PrintRecSubtotal(Currency) override { return kClosed; }
    std::int32_t PrintRecSubtotalAdjustment(std::int32_t, const Text&, Currency) override { return kClosed; }
    std::int32_t PrintRecTotal(Currency, Currency, const Text&) override { return kClosed; }
    std::int32_t PrintRecNotPaid(const Text&, Currency) override { return kClosed; }
    std::int32_t SetDate(const Text&) override { return kClosed; }
    std::int32_t GetDate(Text&) override { return kClosed; }
    std::int32_t GetData(std::int32_t, std::int32_t&, Text&) override { return kClosed; }
    std::int32_t DirectIO(std::int32_t, std::int32_t&, Text&) override { return kClosed; }

    bool GetCoverOpen() override { return false; }
    bool GetDayOpened() override { return false; }
    bool GetRecEmpty() override { return false; }
    bool GetRecNearEnd() override { return false; }
    bool GetTrainingModeActive() override { return false; }
    std::int32_t GetPrinterState() override { return 0; }
    std::int32_t GetRemainingFiscalMemory() override { return 0; }
    void SetPreLine(const Text&) override {}
    void SetFiscalReceiptType(std::int32_t) override {}
    Text GetAdditionalTrailer() override { return Text(); }
    void SetAdditionalTrailer(const Text&) override {}

private:
    static constexpr std::int32_t kClosed = opos::OPOS_E_CLOSED;
};
} // namespace

std::unique_ptr<tZR_OposFiscalPrinter> tZR_OposFiscalPrinter::Create() {
    return std::make_unique<NoServiceFiscalPrinter>();
}
