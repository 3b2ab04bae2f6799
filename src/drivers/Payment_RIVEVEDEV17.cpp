#include "drivers/Payment_RIVEVEDEV17.h"

#include "base/ZrError.h"
#include "drivers/AcquirerTable.h"
#include "drivers/P17Protocol.h"
#include "drivers/PaymentJournal.h"
#include "drivers/RefundReference.h"
#include "io/IOHandler.h"
#include "platform/Process.h"

kPayment_RIVEVEDEV17::kPayment_RIVEVEDEV17(const kPaymentHandler& aHandler) : kPaymentDevice(aHandler) {
    if (!fIOHandler) {
        throw ZrError(u"The Protocol 17 driver needs a channel to the terminal");
    }
    LoadCustomAcquirers();
    const Text designation = DeviceDesignation(aHandler.fConnection.get(), fIOHandler->ClassName());
    fProtocol = std::make_unique<kP17Protocol>(*fIOHandler, fCustomAcquirerList, designation);
    fJournal = std::make_unique<kPaymentJournal>(JournalFolder(fIOHandler->GetLogFileName()), designation,
                                                 fIOHandler->GetLogFileName());
    fProtocol->SetJournal(fJournal.get());
}

kPayment_RIVEVEDEV17::~kPayment_RIVEVEDEV17() = default;

Text kPayment_RIVEVEDEV17::DeviceDesignation(const kConnection* aConnection, const Text& aChannelClass) {
    if (aConnection != nullptr && aConnection->ConnectionType == zrConnectionType::TCP) {
        // The TCP channel uses the low 16 bits of the port.
        return aConnection->Address + u":" + IntToText(static_cast<std::uint16_t>(aConnection->Port));
    }
    if (aConnection != nullptr && aConnection->ConnectionType == zrConnectionType::Serial) {
        return aConnection->SerialPort;
    }
    return aChannelClass;
}

void kPayment_RIVEVEDEV17::LoadCustomAcquirers() {
    TextList lines;
    if (ReadSettingsFile(ExecutableDirectory() + PathSeparator() + kSettingsFileName, lines)) {
        fCustomAcquirerList = std::move(lines);
    }
}

bool kPayment_RIVEVEDEV17::TakeNote(bool aSuccess) {
    fOperationNote = fProtocol->OperationNote();
    return aSuccess;
}

bool kPayment_RIVEVEDEV17::DoPay(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) {
    return TakeNote(fProtocol->DoPay(aPayment, aResult));
}

bool kPayment_RIVEVEDEV17::DoRefund(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) {
    return TakeNote(fProtocol->DoRefund(aPayment, aResult));
}

bool kPayment_RIVEVEDEV17::DoVoid(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) {
    // The terminal voids the amount the reference names; the record keeps the request's amount.
    Currency named;
    if (RefundReferenceAmount(aPayment.fRefundReference.PaymentNumber, named)) {
        fOperationAmount = named;
    }
    return TakeNote(fProtocol->DoVoid(aPayment, aResult));
}

bool kPayment_RIVEVEDEV17::DoReprint(const kPaymentReceipt& aPayment, _int_REPRINT_result& aResult) {
    return TakeNote(fProtocol->DoReprint(aPayment, aResult));
}

bool kPayment_RIVEVEDEV17::DoDayClose(const kPaymentDayClose& aDayClose, _int_DAYCLOSE_result& aResult) {
    return TakeNote(fProtocol->DoDayClose(aDayClose, aResult));
}

bool kPayment_RIVEVEDEV17::DoGetTotals(const kPaymentTotals& aTotals, _int_GETTOTALS_result& aResult) {
    return TakeNote(fProtocol->DoGetTotals(aTotals, aResult));
}

bool kPayment_RIVEVEDEV17::DoReserved() {
    return false;
}

bool kPayment_RIVEVEDEV17::DoVerifyTran(const kPaymentReceipt& aPayment, _int_PAY_result& aResult) {
    return TakeNote(fProtocol->DoVerifyTran(aPayment, aResult));
}

std::unique_ptr<kPaymentDevice> CreatePayment_RIVEVEDEV17(const kPaymentHandler& aHandler) {
    return std::make_unique<kPayment_RIVEVEDEV17>(aHandler);
}
