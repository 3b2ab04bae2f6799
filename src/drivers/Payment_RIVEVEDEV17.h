#pragma once
// The Protocol 17 terminal driver, registered under "ZRPA_RIVEVEDEV17_10".
#include <memory>

#include "base/Text.h"
#include "payment/Payment.h"

class kP17Protocol;
class kPaymentJournal;

class kPayment_RIVEVEDEV17 : public kPaymentDevice {
public:
    // Builds the channel (base class) and loads the custom acquirer list from the settings file.
    explicit kPayment_RIVEVEDEV17(const kPaymentHandler& aHandler);
    ~kPayment_RIVEVEDEV17() override;

    bool DoPay(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override;
    bool DoRefund(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override;
    bool DoVoid(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override;
    bool DoReprint(const kPaymentReceipt& aPayment, _int_REPRINT_result& aResult) override;
    bool DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult) override;
    bool DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult) override;
    bool DoReserved() override;
    bool DoVerifyTran(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) override;

    // Replaces the list with the lines of "ZRPA_RIVEVEDEV17_10.ini" beside the host executable, when
    // that file exists.
    void LoadCustomAcquirers();
    const TextList& CustomAcquirerList() const { return fCustomAcquirerList; }

    // What the connection-failure text names: host:port for TCP, the port name for a serial line.
    static Text DeviceDesignation(const kConnection* aConnection, const Text& aChannelClass);

private:
    // Copies the protocol's note of the operation that just ended into fOperationNote.
    bool TakeNote(bool aSuccess);

    TextList fCustomAcquirerList;
    std::unique_ptr<kP17Protocol> fProtocol;
    std::unique_ptr<kPaymentJournal> fJournal;
};

// The registry's factory for the driver class (a kPaymentClass).
std::unique_ptr<kPaymentDevice> CreatePayment_RIVEVEDEV17(const kPaymentHandler& aHandler);
