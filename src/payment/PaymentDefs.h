#pragma once
// Result records: filled by the device and its driver, written as documents by the command objects.
#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"

enum class zrPaymentTransactionType : std::uint8_t {
    ptt_Chip = 0, ptt_MagStripe, ptt_Manual, ptt_Cless, ptt_ClessMagStripe, ptt_ClessChip, ptt_RFID, ptt_Other,
    ptt_Token
};

enum class zrPaymentNetwork : std::uint8_t {
    Bank = 0, Cheque, Visa, Amex, Mastercard, JCB, CUP, Diners, Maestro, NHS, Edenred, Day, Sodexo, Pellegrini,
    BluTicket, Jakala, MIGLunch, AliPay, Discover, Doku, DragonPay, MolPay, VPay, AmazonPay, ApplePay, SamsungPay,
    Paypal, Yandex, QuiTicket, Repas, Ristomat, Agape, LunchTime, QuiWelfare, EP, CIR, Gemeaz, Satispay, Jiffy,
    Bitcoin, Tinaba, Scalapay, Nexi, Other
};

struct _int_PAY_result {
    Text DeviceId;
    TDateTime PaymentDateTime = 0;
    Text PaymentNumber;
    Currency PaymentAmount;
    Text PaymentCurrency;
    Text MaskedPAN;
    Text SerialNumber;
    zrPaymentTransactionType TransactionType = zrPaymentTransactionType::ptt_Chip;
    zrPaymentNetwork PaymentNetwork = zrPaymentNetwork::Bank;
    Text AuthCode;
    Text TraceAuditId;
    Currency ExchangeRate;
    Currency PaymentAmountCurrency;
    Text PaymentCurrencyCurrency;
    Currency TippedAmount;
    Currency RemainingBalance;
    std::int32_t InstalmentCount = 0;
    std::int32_t NumberOfItems = 0;
    Currency SingleItemAmount;
    bool SignatureRequested = false;
    Text CustomerCountryCode;
    Text CardToken;
    Text RefundReference;
    Text ReceiptText;
    Text CashierReceiptText;
    Text RawResponse;  // never written to the document
    Text DigitalSignature;
    Text DigitalSignatureInput;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;

    // "visa", "NHS", ...; "unrecognized" for a value outside the type.
    static Text DecodeNetwork(zrPaymentNetwork aPN);
    // "CHIP", "CLESSCHIP", ...; empty for a value outside the type.
    static Text DecodeTransactionType(zrPaymentTransactionType aTT);
    // Case-insensitive name to value; no match gives Other.
    static zrPaymentNetwork EncodeNetwork(const Text& aPN);
};

struct _int_REPRINT_result {
    Text ReceiptText;
    Text CashierReceiptText;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

struct _int_OPEN_result {
    std::int32_t Handle = 0;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

struct _int_CLOSE_result {
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

// CANCEL: how many running commands it reached.
struct _int_CANCEL_result {
    std::int32_t Cancelled = 0;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

struct _int_GETSTATUS_result {
    bool DayOpened = false;
    TDateTime DateTime = 0;
    bool PaperEnd = false;
    bool PaperNearEnd = false;
    bool CoverOpen = false;
    bool FiscalReceiptOpen = false;
    bool ReceiptOpen = false;
    bool TrainingMode = false;
    Text FirmwareVersion;
    Text SerialNumber;
    Text FiscalMode;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

struct _int_DAYCLOSE_result {
    Text DeviceId;
    TDateTime ClosureDateTime = 0;
    Text ClosureNumber;
    std::int32_t TransactionsCount = 0;
    ::Currency TotalAmount;
    Text Currency;
    Text ReceiptText;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};

struct _int_GETTOTALS_result {
    Text DeviceId;
    TDateTime DateTime = 0;
    std::int32_t TransactionsCount = 0;
    ::Currency TotalAmount;
    Text Currency;
    Text ReceiptText;
    bool Error = false;
    Text ErrorText;
    Text LogFileName;
};
