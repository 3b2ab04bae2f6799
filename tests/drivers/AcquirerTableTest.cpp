#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "drivers/AcquirerTable.h"
#include "support/TempFolder.h"

using N = zrPaymentNetwork;

TEST(AcquirerTable, TableAndCustomOverrides) {
    const struct {
        TextList Custom;
        Text Code;
        N Network;
        const char* Why;
    } cases[] = {
        {{}, u"00000080006", N::Nexi, "table row"},
        {{}, u"00000000007", N::Other, "no row"},
        {{}, u"70000000000", N::Other, "a row that says Other"},
        {{}, u"0000000001", N::Other, "exact length only"},
        {{}, u"", N::Other, "empty code"},
        {{u"[Acquirers]", u"00000000001=Mastercard"},
         u"00000000001",
         N::Mastercard,
         "override of a table row"},
        {{u"12345678901=SATISPAY"}, u"12345678901", N::Satispay, "new identifier, network in capitals"},
        {{u"00000000002=Amex Card"}, u"00000000002", N::Other, "text that is no network"},
        {{u"00000000002 = amex"}, u"00000000002", N::Amex, "blanks around '=': the line names nothing"},
        {{u"abc=visa"}, u"ABC", N::Visa, "names compare without regard to case"},
        {{u"12345678901=visa", u"12345678901=amex"}, u"12345678901", N::Visa, "the first line wins"},
        {{u"12345678901=nhs"}, u"12345678901", N::NHS, "nhs"},
        {{u"12345678901"}, u"12345678901", N::Other, "a line without '=' names nothing"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeAcquirer(c.Code, c.Custom), c.Network) << c.Why;
    }
    EXPECT_EQ(PaymentsNetworkDecodeTable.front().Network, N::Visa);
    EXPECT_EQ(Text(PaymentsNetworkDecodeTable.back().Code), u"90000005000");
}

TEST(AcquirerTable, EntryModes) {
    using T = zrPaymentTransactionType;
    const struct {
        Text Mode;
        T Type;
    } cases[] = {{u"ICC", T::ptt_Chip},      {u"MAG", T::ptt_MagStripe},
                 {u"MAN", T::ptt_Manual},    {u"CLM", T::ptt_ClessMagStripe},
                 {u"CLI", T::ptt_ClessChip}, {u"icc", T::ptt_Other},
                 {u"", T::ptt_Other},        {u"ICC ", T::ptt_Other},
                 {u"CLS", T::ptt_Other}};
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeEntryMode(c.Mode), c.Type) << TextToUtf8(c.Mode);
    }
}

TEST(SettingsFile, EncodingsAndLineEndings) {
    const TextList expected = {u"[Acquirers]", u"00000000001=Mastercard", u"",
                               u"12345678901=Satispay \u20AC\u00E8"};
    const struct {
        std::string Bytes;
        const char* Why;
    } cases[] = {
        {"[Acquirers]\r\n00000000001=Mastercard\r\n\r\n12345678901=Satispay \x80\xE8\r\n",
         "Windows-1252, CR LF"},
        {"[Acquirers]\n00000000001=Mastercard\n\n12345678901=Satispay \x80\xE8",
         "Windows-1252, LF, no last break"},
        {"[Acquirers]\r00000000001=Mastercard\r\r12345678901=Satispay \x80\xE8\r", "Windows-1252, CR"},
        {"\xEF\xBB\xBF[Acquirers]\n00000000001=Mastercard\r\n\r12345678901=Satispay \xE2\x82\xAC\xC3\xA8\n",
         "UTF-8 with BOM, mixed endings"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeSettingsText(c.Bytes), expected) << c.Why;
    }
    auto utf16 = [](const Text& aText, bool aBigEndian) {
        std::string out = aBigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (const char16_t ch : aText) {
            const char hi = static_cast<char>(ch >> 8);
            const char lo = static_cast<char>(ch & 0xFF);
            out += aBigEndian ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    const Text text = u"[Acquirers]\r\n00000000001=Mastercard\n\r\n12345678901=Satispay \u20AC\u00E8";
    EXPECT_EQ(DecodeSettingsText(utf16(text, false)), expected) << "UTF-16 little-endian";
    EXPECT_EQ(DecodeSettingsText(utf16(text, true)), expected) << "UTF-16 big-endian";
    EXPECT_TRUE(DecodeSettingsText("").empty());
}

TEST(SettingsFile, ReadFromDisk) {
    const TempFolder folder;
    const auto& dir = folder.Path();
    const auto file = dir / "ZRPA_RIVEVEDEV17_10.ini";
    TextList lines = {u"kept"};
    EXPECT_FALSE(ReadSettingsFile((dir / "missing.ini").u16string(), lines));
    EXPECT_EQ(lines, TextList{u"kept"}) << "a missing file leaves the list alone";
    {
        std::ofstream out(file, std::ios::binary);
        out << "00000000001=Mastercard\r\n";
    }
    EXPECT_TRUE(ReadSettingsFile(file.u16string(), lines));
    EXPECT_EQ(lines, TextList{u"00000000001=Mastercard"});
    {
        std::ofstream out(file, std::ios::binary);
        out << std::string(kMaxSettingsFileBytes + 1, 'x');
    }
    lines = {u"kept"};
    EXPECT_FALSE(ReadSettingsFile(file.u16string(), lines)) << "an oversized file is ignored";
    EXPECT_EQ(lines, TextList{u"kept"});
}
