#include <gtest/gtest.h>

#include "payment/PaymentDefs.h"

TEST(PaymentDefsTest, NetworkTexts) {
    using N = zrPaymentNetwork;
    const std::pair<int, const char16_t*> byOrdinal[] = {
        {0, u"bank"}, {2, u"visa"},  {9, u"NHS"},    {16, u"miglunch"},     {23, u"amazonpay"},
        {34, u"ep"},  {42, u"nexi"}, {43, u"other"}, {44, u"unrecognized"}, {255, u"unrecognized"}};
    for (const auto& [ordinal, text] : byOrdinal) {
        EXPECT_EQ(_int_PAY_result::DecodeNetwork(static_cast<N>(ordinal)), text) << ordinal;
    }
    // Every value reads back from its own text: no two values share one.
    for (int i = 0; i <= static_cast<int>(N::Other); ++i) {
        EXPECT_EQ(_int_PAY_result::EncodeNetwork(_int_PAY_result::DecodeNetwork(static_cast<N>(i))),
                  static_cast<N>(i));
    }
    const std::pair<const char16_t*, N> encode[] = {
        {u"VISA", N::Visa}, {u"Visa", N::Visa}, {u"nhs", N::NHS},     {u"MIGLUNCH", N::MIGLunch},
        {u"xyz", N::Other}, {u"", N::Other},    {u" visa", N::Other}, {u"unrecognized", N::Other}};
    for (const auto& [text, value] : encode) {
        EXPECT_EQ(_int_PAY_result::EncodeNetwork(text), value) << TextToUtf8(text);
    }
}

TEST(PaymentDefsTest, TransactionTypeTexts) {
    const char16_t* texts[] = {u"CHIP",      u"MAGSTRIPE", u"MANUAL", u"CLESS", u"CLESSMAGSTRIPE",
                               u"CLESSCHIP", u"RFID",      u"OTHER",  u"TOKEN"};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(_int_PAY_result::DecodeTransactionType(static_cast<zrPaymentTransactionType>(i)), texts[i]);
    }
    EXPECT_EQ(_int_PAY_result::DecodeTransactionType(static_cast<zrPaymentTransactionType>(9)), u"");
}
