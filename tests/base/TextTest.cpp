#include "base/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, IntToHexPadsAndKeepsEveryDigit) {
    EXPECT_EQ(IntToHex(0, 0), u"0");
    EXPECT_EQ(IntToHex(0x1F, 4), u"001F");
    EXPECT_EQ(IntToHex(0xABC, 2, true), u"abc");
    EXPECT_EQ(IntToHex(0xFFFFFFFFFFFFFFFFull, 1), u"FFFFFFFFFFFFFFFF");
}

// The channel logs show what crossed the line: every control character must be visible, named or in hex.
TEST(Text, ControlCharactersShownNamesOrHexesEveryControl) {
    const struct {
        Text Input;
        Text Shown;
    } cases[] = {
        {u"plain text", u"plain text"},
        {Text(u"\x02") + u"A" + Text(u"\x03"), u"<STX>A<ETX>"},
        {Text(u"\x01\x04\x06\x15\x1B"), u"<SOH><EOT><ACK><NAK><ESC>"},
        {Text(1, u'\0') + u"\x1F\x7F\r\n", u"<00><1F><7F><0D><0A>"},
        {u"\u00E8\u20AC", u"\u00E8\u20AC"}, // letters beyond ASCII are not controls
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ControlCharactersShown(c.Input), c.Shown);
    }
}

} // namespace
