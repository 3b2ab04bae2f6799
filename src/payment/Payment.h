#pragma once
// The request's command sections, the request handler of the commands and the device base class.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"
#include "payment/DeviceHandler.h"
#include "payment/PaymentDefs.h"
#include "platform/Cancel.h"

class kIOHandler;
class XmlElement;

enum class ZrPaymentChannel : std::uint8_t { pc_Standard = 0, pc_MealVoucherProvider, pc_NationalHealthService };
enum class zrPaymentAction : std::uint8_t { pa_Pay = 0, pa_Refund, pa_Void };
enum class zrPaymentPhase : std::uint8_t { pp_None = 0, pp_Begin, pp_Do, pp_Commit, pp_Rollback };
enum class zrPaymentDocumentType : std::uint8_t { dt_receipt = 0, dt_invoice, dt_taxfree };
enum class ZrPrintLocation : std::uint8_t { pl_ECR = 0, pl_EFT };
enum class zrPaymentHandlerDocumentType : std::uint8_t {
    dt_Open = 0, dt_Pay, dt_PayReprint, dt_DayClose, dt_GetTotals, dt_VerifyTran
};

// A set of document types, one bit per ordinal.
class zrPaymentHandlerDocumentTypes {
public:
    constexpr zrPaymentHandlerDocumentTypes() = default;
    constexpr zrPaymentHandlerDocumentTypes(std::initializer_list<zrPaymentHandlerDocumentType> aValues) {
        for (auto v : aValues) {
            fBits = static_cast<std::uint8_t>(fBits | (1u << static_cast<unsigned>(v)));
        }
    }
    constexpr bool Contains(zrPaymentHandlerDocumentType aValue) const {
        return (fBits >> static_cast<unsigned>(aValue)) & 1u;
    }
    constexpr std::uint8_t Bits() const { return fBits; }

private:
    std::uint8_t fBits = 0;
};

struct zrPaymentRefundReference {
    TDateTime PaymentDateTime = 0;
    Text PaymentNumber;
};

class kPaymentReceipt {
public:
    // Reads the root's Payment (or Reprint, or VerifyTran) section; raises ZrError when none exists or a
    // value is invalid.
    void LoadFromDocument(const XmlElement& aRoot);

    ZrPaymentChannel fPaymentChannel = ZrPaymentChannel::pc_Standard;
    zrPaymentAction fAction = zrPaymentAction::pa_Pay;
    zrPaymentPhase fPhase = zrPaymentPhase::pp_None;
    Text fMerchantCode;
    Text fStoreCode;
    Text fTillCode;
    Text fReference;
    Text fReceiptSubType;
    Currency fAmount;
    Text fCurrency;
    Currency fTipAmount;
    bool fRequestTipAmount = false;
    Text fAttributes;
    Currency fMaxAmount;
    std::int32_t fMaxItems = 0;
    bool fTokenizeCard = false;
    Text fTokenReference;
    ZrPrintLocation fPrintLocation = ZrPrintLocation::pl_ECR;
    std::int32_t fReceiptColCount = 32;
    zrPaymentRefundReference fRefundReference;
    Text fOperatorId;
    zrPaymentDocumentType fDocumentType = zrPaymentDocumentType::dt_receipt;
    Currency fDocumentNetAmount;
    Currency fDocumentAmount;
    Currency fDocumentVatAmount;
    Text fReceiptId;
};

// The day-close section; kPaymentTotals has the same fields under GetTotals.
class kPaymentDayClose {
public:
    void LoadFromDocument(const XmlElement& aRoot);

    Text fStoreCode;
    Text fTillCode;
    ZrPrintLocation fPrintLocation = ZrPrintLocation::pl_ECR;
    Text fReference;
};

class kPaymentTotals {
public:
    void LoadFromDocument(const XmlElement& aRoot);

    Text fStoreCode;
    Text fTillCode;
    ZrPrintLocation fPrintLocation = ZrPrintLocation::pl_ECR;
    Text fReference;
};

class kPaymentHandler : public kDeviceHandler {
public:
    kPaymentHandler();
    ~kPaymentHandler() override;

    // Reads the envelope, then the one command section that aDocumentTypes asks for.
    void Deserialize(const Text& aXml, zrPaymentHandlerDocumentTypes aDocumentTypes);

    std::unique_ptr<kPaymentReceipt> fPaymentReceipt;
    std::unique_ptr<kPaymentDayClose> fDayClose;
    std::unique_ptr<kPaymentTotals> fTotals;
    // The cancel signal of the command this request belongs to; null: it cannot be cancelled. The
    // command object sets it before the device runs, and the device's channel waits on it.
    std::shared_ptr<tZR_CancelSignal> fCancel;
};

// A terminal as the library sees it: owns its channel and runs one command at a time.
class kPaymentDevice {
public:
    // Builds the channel from the request (log folder LogFiles/Payment beside the host executable) and
    // gives it the version text. Does not connect.
    explicit kPaymentDevice(const kPaymentHandler& aHandler);
    virtual ~kPaymentDevice();
    kPaymentDevice(const kPaymentDevice&) = delete;
    kPaymentDevice& operator=(const kPaymentDevice&) = delete;

    // --- implemented by the driver, in slot order; each returns success and sets Error to its negation
    virtual bool DoPay(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) = 0;
    virtual bool DoRefund(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) = 0;
    virtual bool DoVoid(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) = 0;
    virtual bool DoReprint(const kPaymentReceipt& aPayment, _int_REPRINT_result& aResult) = 0;
    virtual bool DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult) = 0;
    virtual bool DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult) = 0;
    virtual bool DoReserved() = 0;
    virtual bool DoVerifyTran(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) = 0;

    // "Version " + version + " - " + release date in the system's short date format.
    static Text GetDriverVersion();

    // The public operations: banner, preset fields, the driver's operation, the channel's error text.
    // They run one at a time per device (concurrent calls on one handle wait for each other). The
    // request's cancel signal (aHandler.fCancel) ends the wait for the device's turn and every wait of
    // the channel: a command cancelled before its turn, or before it began, fails with "Not performed:".
    void Pub_Pay(const kPaymentHandler& aHandler, _int_PAY_result& aResult);
    void Pub_Reprint(const kPaymentHandler& aHandler, _int_REPRINT_result& aResult);
    void Pub_DayClose(const kPaymentHandler& aHandler, _int_DAYCLOSE_result& aResult);
    void Pub_GetTotals(const kPaymentHandler& aHandler, _int_GETTOTALS_result& aResult);
    void Pub_VerifyTran(const kPaymentHandler& aHandler, _int_PAY_result& aResult);

    std::int32_t Handle() const { return fHandle; }
    void SetHandle(std::int32_t aHandle) { fHandle = aHandle; }
    kIOHandler& IOHandler() const { return *fIOHandler; }

protected:
    std::int32_t fHandle = 0;
    std::unique_ptr<kIOHandler> fIOHandler;

private:
    // One public operation: waits for the device's turn unless cancelled, puts the command's signal on
    // the channel and runs aBody between the banner and the result line.
    template <typename TResult, typename TBody>
    void RunTurn(const kPaymentHandler& aHandler, TResult& aResult, TBody&& aBody);
    // Waits for the device's turn; false (not taken) once aSignal (may be null) is raised meanwhile.
    bool TakeTurn(const tZR_CancelSignal* aSignal);
    void GiveTurn();
    // Gives the turn back when it goes.
    class tTurnHeld {
    public:
        explicit tTurnHeld(kPaymentDevice& aDevice) : fDevice(aDevice) {}
        ~tTurnHeld() { fDevice.GiveTurn(); }
        tTurnHeld(const tTurnHeld&) = delete;
        tTurnHeld& operator=(const tTurnHeld&) = delete;

    private:
        kPaymentDevice& fDevice;
    };

    // The device's turn: one public operation at a time. Taken and given back under fTurnLock; a command
    // waiting for it looks at its cancel signal at every wake-up of fTurnFree (at least every 50 ms).
    tZR_Lock fTurnLock;
    tZR_Condition fTurnFree;
    bool fTurnTaken = false;

public:
    // What the driver adds to the result line of the running operation (e.g. a receipt cut short);
    // cleared at the start of each public operation.
    std::u16string fOperationNote;
    // The amount the terminal moved, for the result line, when the record's amount is another (a void:
    // the amount its refund reference names, while the record keeps the request's); cleared at the
    // start of each public operation.
    std::optional<Currency> fOperationAmount;
};

// A factory standing for a driver class in the registry.
using kPaymentClass = std::unique_ptr<kPaymentDevice> (*)(const kPaymentHandler& aHandler);
