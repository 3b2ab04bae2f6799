#include "payment/PaymentDefs.h"

#include <array>

namespace {
// Text forms in ordinal order: the value's name in lower case, except NHS.
constexpr std::array<const char16_t*, 44> kNetworkNames = {
    u"bank",      u"cheque",  u"visa",      u"amex",     u"mastercard", u"jcb",        u"cup",
    u"diners",    u"maestro", u"NHS",       u"edenred",  u"day",        u"sodexo",     u"pellegrini",
    u"bluticket", u"jakala",  u"miglunch",  u"alipay",   u"discover",   u"doku",       u"dragonpay",
    u"molpay",    u"vpay",    u"amazonpay", u"applepay", u"samsungpay", u"paypal",     u"yandex",
    u"quiticket", u"repas",   u"ristomat",  u"agape",    u"lunchtime",  u"quiwelfare", u"ep",
    u"cir",       u"gemeaz",  u"satispay",  u"jiffy",    u"bitcoin",    u"tinaba",     u"scalapay",
    u"nexi",      u"other"};
static_assert(kNetworkNames.size() == static_cast<std::size_t>(zrPaymentNetwork::Other) + 1);

constexpr std::array<const char16_t*, 9> kTransactionTypeNames = {
    u"CHIP", u"MAGSTRIPE", u"MANUAL", u"CLESS", u"CLESSMAGSTRIPE", u"CLESSCHIP", u"RFID", u"OTHER", u"TOKEN"};
static_assert(kTransactionTypeNames.size() ==
              static_cast<std::size_t>(zrPaymentTransactionType::ptt_Token) + 1);
} // namespace

Text _int_PAY_result::DecodeNetwork(zrPaymentNetwork aPN) {
    const auto i = static_cast<std::size_t>(aPN);
    return i < kNetworkNames.size() ? Text(kNetworkNames[i]) : Text(u"unrecognized");
}

Text _int_PAY_result::DecodeTransactionType(zrPaymentTransactionType aTT) {
    const auto i = static_cast<std::size_t>(aTT);
    return i < kTransactionTypeNames.size() ? Text(kTransactionTypeNames[i]) : Text();
}

zrPaymentNetwork _int_PAY_result::EncodeNetwork(const Text& aPN) {
    const Text lower = LowerCase(aPN);
    for (std::size_t i = 0; i < kNetworkNames.size(); ++i) {
        if (lower == LowerCase(kNetworkNames[i])) {
            return static_cast<zrPaymentNetwork>(i);
        }
    }
    return zrPaymentNetwork::Other;
}
