#pragma once
// tZR_OposFiscalPrinter: the OPOS FiscalPrinter control as the OPOS channel drives it. Methods and
// properties carry their standard names and argument order; methods return the control's result code.
// On Windows the platform's control is the registered "OPOS.FiscalPrinter" reached through OLE automation;
// elsewhere no OPOS service exists and Open answers OPOS_E_NOSERVICE.
#include <cstdint>
#include <memory>

#include "base/Currency.h"
#include "base/Text.h"

namespace opos {
constexpr std::int32_t OPOS_SUCCESS = 0;
constexpr std::int32_t OPOS_E_CLOSED = 101;
constexpr std::int32_t OPOS_E_NOSERVICE = 104;
constexpr std::int32_t OPOS_E_FAILURE = 111;
constexpr std::int32_t OPOS_E_EXTENDED = 114;
constexpr std::int32_t FPTR_S_RECEIPT = 2; // the receipt station
} // namespace opos

class tZR_OposFiscalPrinter {
public:
    // The platform's control; creating it never fails (a missing control shows at Open).
    static std::unique_ptr<tZR_OposFiscalPrinter> Create();
    virtual ~tZR_OposFiscalPrinter() = default;

    // --- common methods and properties ---------------------------------------------------------------
    virtual std::int32_t Open(const Text& aDeviceName) = 0;
    virtual std::int32_t ClaimDevice(std::int32_t aTimeout) = 0;
    virtual std::int32_t ReleaseDevice() = 0;
    virtual std::int32_t Close() = 0;
    virtual bool GetDeviceEnabled() = 0;
    virtual void SetDeviceEnabled(bool aValue) = 0;
    virtual std::int32_t GetResultCodeExtended() = 0;
    virtual Text GetErrorString() = 0;

    // --- fiscal methods ------------------------------------------------------------------------------
    virtual std::int32_t BeginFiscalReceipt(bool aPrintHeader) = 0;
    virtual std::int32_t EndFiscalReceipt(bool aPrintHeader) = 0;
    virtual std::int32_t BeginNonFiscal() = 0;
    virtual std::int32_t EndNonFiscal() = 0;
    virtual std::int32_t BeginTraining() = 0;
    virtual std::int32_t EndTraining() = 0;
    virtual std::int32_t ResetPrinter() = 0;
    virtual std::int32_t PrintZReport() = 0;
    virtual std::int32_t PrintXReport() = 0;
    virtual std::int32_t PrintNormal(std::int32_t aStation, const Text& aData) = 0;
    virtual std::int32_t PrintRecMessage(const Text& aMessage) = 0;
    virtual std::int32_t PrintRecTaxID(const Text& aTaxID) = 0;
    virtual std::int32_t PrintRecItem(const Text& aDescription, Currency aPrice, std::int32_t aQuantity,
                                      std::int32_t aVatInfo, Currency aUnitPrice, const Text& aUnitName) = 0;
    virtual std::int32_t PrintRecItemVoid(const Text& aDescription, Currency aPrice, std::int32_t aQuantity,
                                          std::int32_t aVatInfo, Currency aUnitPrice,
                                          const Text& aUnitName) = 0;
    virtual std::int32_t PrintRecRefund(const Text& aDescription, Currency aAmount,
                                        std::int32_t aVatInfo) = 0;
    virtual std::int32_t PrintRecItemAdjustment(std::int32_t aAdjustmentType, const Text& aDescription,
                                                Currency aAmount, std::int32_t aVatInfo) = 0;
    virtual std::int32_t PrintRecSubtotal(Currency aAmount) = 0;
    virtual std::int32_t PrintRecSubtotalAdjustment(std::int32_t aAdjustmentType, const Text& aDescription,
                                                    Currency aAmount) = 0;
    virtual std::int32_t PrintRecTotal(Currency aTotal, Currency aPayment, const Text& aDescription) = 0;
    virtual std::int32_t PrintRecNotPaid(const Text& aDescription, Currency aAmount) = 0;
    virtual std::int32_t SetDate(const Text& aDate) = 0;
    virtual std::int32_t GetDate(Text& aDate) = 0;
    virtual std::int32_t GetData(std::int32_t aDataItem, std::int32_t& aOptArgs, Text& aData) = 0;
    virtual std::int32_t DirectIO(std::int32_t aCommand, std::int32_t& aData, Text& aString) = 0;

    // --- fiscal properties ---------------------------------------------------------------------------
    virtual bool GetCoverOpen() = 0;
    virtual bool GetDayOpened() = 0;
    virtual bool GetRecEmpty() = 0;
    virtual bool GetRecNearEnd() = 0;
    virtual bool GetTrainingModeActive() = 0;
    virtual std::int32_t GetPrinterState() = 0;
    virtual std::int32_t GetRemainingFiscalMemory() = 0;
    virtual void SetPreLine(const Text& aValue) = 0;
    virtual void SetFiscalReceiptType(std::int32_t aValue) = 0;
    virtual Text GetAdditionalTrailer() = 0;
    virtual void SetAdditionalTrailer(const Text& aValue) = 0;
};
