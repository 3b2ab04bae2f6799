// The value readers against real parsed documents (pugixml on Linux, MSXML under Wine).
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>

#include "base/DateTime.h"
#include "base/ZrError.h"
#include "payment/Receipt.h"
#include "payment/Xml.h"

namespace {

const Text kNoTextNode = kXmlNoSingleTextNode;

std::unique_ptr<XmlDocument> Doc(const Text& aXml) {
    return XmlDocument::Parse(aXml);
}

Text Wrapped(const Text& aKind, const Text& aMessage) {
    return u"Error in processing node v as " + aKind + u".\r\n" + aMessage;
}

// Runs aRead on the root of aXml; returns the error text, or nothing when it succeeded.
template <typename T>
std::optional<Text> ErrorOf(const Text& aXml, const std::function<T(const XmlElement&)>& aRead, T& aOut) {
    const auto doc = Doc(aXml);
    try {
        aOut = aRead(*doc->Root());
        return std::nullopt;
    } catch (const ZrError& e) {
        return e.Message();
    }
}

template <typename T> struct Case {
    Text fXml;
    T fExpected; // when fError is empty
    Text fError; // the complete wrapped message
};

template <typename T>
void RunCases(const std::vector<Case<T>>& aCases, const std::function<T(const XmlElement&)>& aRead) {
    for (const auto& c : aCases) {
        SCOPED_TRACE(TextToUtf8(c.fXml));
        T value{};
        const auto error = ErrorOf(c.fXml, aRead, value);
        if (c.fError.empty()) {
            ASSERT_FALSE(error.has_value()) << TextToUtf8(*error);
            EXPECT_EQ(value, c.fExpected);
        } else {
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(TextToUtf8(*error), TextToUtf8(c.fError));
        }
    }
}

} // namespace

TEST(ReaderTest, String) {
    RunCases<Text>(
        {
            {u"<r/>", u"", u""},
            {u"<r><v/></r>", u"", u""},
            {u"<r><v></v></r>", u"", u""},
            {u"<r><v>  x \t y  </v></r>", u"  x \t y  ", u""},
            {u"<r><v>   </v></r>", u"   ", u""},
            {u"<r><v><![CDATA[a<b & c]]></v></r>", u"a<b & c", u""},
            {u"<r><v><![CDATA[]]></v></r>", u"", u""},
            {u"<r><v>a&amp;b&lt;&#x20AC;&#65;</v></r>", u"a&b<\u20ACA", u""},
            {u"<r><v>\u00FC\u20AC\U0001F600</v></r>", u"\u00FC\u20AC\U0001F600", u""},
            {u"<r><v>line1\r\nline2</v></r>", u"line1\nline2", u""},
            // Lookup: exact case, direct children only, the first of two.
            {u"<r><V>x</V></r>", u"", u""},
            {u"<r><x><v>deep</v></x></r>", u"", u""},
            {u"<r><v>first</v><v>second</v></r>", u"first", u""},
            {u"<r><w>other</w><v>mine</v></r>", u"mine", u""},
            // No single text node.
            {u"<r><v><c/></v></r>", u"", Wrapped(u"string", kNoTextNode)},
            {u"<r><v>a<c/>b</v></r>", u"", Wrapped(u"string", kNoTextNode)},
            {u"<r><v>a<![CDATA[b]]></v></r>", u"", Wrapped(u"string", kNoTextNode)},
            {u"<r><v>a<!-- c --></v></r>", u"", Wrapped(u"string", kNoTextNode)},
            {u"<r><v><?pi x?></v></r>", u"", Wrapped(u"string", kNoTextNode)},
        },
        [](const XmlElement& r) { return krptUtil::GetNodeValueAsString(r, u"v"); });
}

TEST(ReaderTest, Boolean) {
    const Text noBool = u"' is not a valid boolean value";
    for (const bool defaultValue : {false, true}) {
        RunCases<bool>(
            {
                {u"<r/>", defaultValue, u""},
                {u"<r><V>0</V></r>", defaultValue, u""},
                {u"<r><v>TRUE</v></r>", true, u""},
                {u"<r><v>true</v></r>", true, u""},
                {u"<r><v>False</v></r>", false, u""},
                {u"<r><v>1</v></r>", true, u""},
                {u"<r><v>-3</v></r>", true, u""},
                {u"<r><v>0</v></r>", false, u""},
                {u"<r><v>00</v></r>", false, u""},
                {u"<r><v/></r>", false, Wrapped(u"boolean", u"'" + noBool)},
                {u"<r><v>yes</v></r>", false, Wrapped(u"boolean", u"'yes" + noBool)},
                {u"<r><v> true</v></r>", false, Wrapped(u"boolean", u"' true" + noBool)},
                {u"<r><v><c/></v></r>", false, Wrapped(u"boolean", kNoTextNode)},
            },
            [defaultValue](const XmlElement& r) {
                return krptUtil::GetNodeValueAsBoolean(r, u"v", defaultValue);
            });
    }
}

TEST(ReaderTest, Currency) {
    const auto raw = [](std::int64_t v) { return Currency::FromRaw(v); };
    const auto bad = [](const Text& t) {
        return Wrapped(u"currency", u"'" + t + u"' is not a valid floating point value");
    };
    RunCases<Currency>(
        {
            {u"<r/>", raw(0), u""},
            {u"<r><v/></r>", raw(0), u""},
            {u"<r><v>10</v></r>", raw(100000), u""},
            {u"<r><v>0.005</v></r>", raw(50), u""},
            {u"<r><v>1e2</v></r>", raw(1000000), u""},
            {u"<r><v>-2.5</v></r>", raw(-25000), u""},
            {u"<r><v>1234.5678</v></r>", raw(12345678), u""},
            {u"<r><v>0.00005</v></r>", raw(1), u""},
            {u"<r><v>12,50</v></r>", raw(0), bad(u"12,50")},
            {u"<r><v>1,000.00</v></r>", raw(0), bad(u"1,000.00")},
            {u"<r><v>abc</v></r>", raw(0), bad(u"abc")},
            {u"<r><v> 1</v></r>", raw(0), bad(u" 1")},
            {u"<r><v>1e400</v></r>", raw(0), bad(u"1e400")},
            {u"<r><v>a\"b'c&amp;d</v></r>", raw(0), bad(u"a\"b'c&d")},
            {u"<r><v><c/></v></r>", raw(0), Wrapped(u"currency", kNoTextNode)},
        },
        [](const XmlElement& r) { return krptUtil::GetNodeValueAsCurrency(r, u"v"); });
}

TEST(ReaderTest, Integer) {
    const auto bad = [](const Text& t) {
        return Wrapped(u"integer", u"'" + t + u"' is not a valid integer value");
    };
    RunCases<std::int32_t>(
        {
            {u"<r/>", 0, u""},
            {u"<r><v/></r>", 0, u""},
            {u"<r><v>0</v></r>", 0, u""},
            {u"<r><v>-7</v></r>", -7, u""},
            {u"<r><v>+12</v></r>", 12, u""},
            {u"<r><v>007</v></r>", 7, u""},
            {u"<r><v>$FF</v></r>", 255, u""},
            {u"<r><v>0x1f</v></r>", 31, u""},
            {u"<r><v>-$10</v></r>", -16, u""},
            {u"<r><v>2147483647</v></r>", INT32_MAX, u""},
            {u"<r><v>-2147483648</v></r>", INT32_MIN, u""},
            {u"<r><v>$7FFFFFFF</v></r>", INT32_MAX, u""},
            {u"<r><v>2147483648</v></r>", 0, bad(u"2147483648")},
            {u"<r><v>-2147483649</v></r>", 0, bad(u"-2147483649")},
            {u"<r><v>99999999999999999999</v></r>", 0, bad(u"99999999999999999999")},
            {u"<r><v>$80000000</v></r>", 0, bad(u"$80000000")},
            {u"<r><v>1.5</v></r>", 0, bad(u"1.5")},
            {u"<r><v> 5</v></r>", 0, bad(u" 5")},
            {u"<r><v>5 </v></r>", 0, bad(u"5 ")},
            {u"<r><v>-</v></r>", 0, bad(u"-")},
            {u"<r><v>0x</v></r>", 0, bad(u"0x")},
            {u"<r><v>$</v></r>", 0, bad(u"$")},
            {u"<r><v>12abc</v></r>", 0, bad(u"12abc")},
            {u"<r><v>\uFF11</v></r>", 0, bad(u"\uFF11")},
            {u"<r><v><c/></v></r>", 0, Wrapped(u"integer", kNoTextNode)},
        },
        [](const XmlElement& r) { return krptUtil::GetNodeValueAsInteger(r, u"v"); });
}

TEST(ReaderTest, DateTime) {
    const auto bad = [](const Text& t) {
        return Wrapped(u"datetime", u"DateTime Format invalid: [" + t + u"]");
    };
    RunCases<TDateTime>(
        {
            {u"<r/>", 0, u""},
            {u"<r><v>2024-03-05T14:07:09</v></r>", EncodeDateTime(2024, 3, 5, 14, 7, 9), u""},
            {u"<r><v>2024-03-05T14:07:09.250</v></r>", EncodeDateTime(2024, 3, 5, 14, 7, 9, 250), u""},
            {u"<r><v/></r>", 0, bad(u"")},
            {u"<r><v>2024-03-05</v></r>", 0, bad(u"2024-03-05")},
            {u"<r><v>2024-13-05T14:07:09</v></r>", 0, bad(u"2024-13-05T14:07:09")},
            {u"<r><v><c/></v></r>", 0, Wrapped(u"datetime", kNoTextNode)},
        },
        [](const XmlElement& r) { return krptUtil::GetNodeValueAsDateTime(r, u"v"); });
}

TEST(ReaderTest, DateAndTryDateTime) {
    RunCases<TDateTime>(
        {
            {u"<r/>", 0, u""},
            {u"<r><v>2024-03-05</v></r>", EncodeDateTime(2024, 3, 5), u""},
            {u"<r><v/></r>", 0, Wrapped(u"date", u"Date Format invalid: []")},
            {u"<r><v>05/03/2024</v></r>", 0, Wrapped(u"date", u"Date Format invalid: [05/03/2024]")},
        },
        [](const XmlElement& r) { return krptUtil::GetNodeValueAsDate(r, u"v"); });
    // Every failure of the date-time reader gives 0.
    RunCases<TDateTime>(
        {
            {u"<r/>", 0, u""},
            {u"<r><v>2024-03-05T14:07:09</v></r>", EncodeDateTime(2024, 3, 5, 14, 7, 9), u""},
            {u"<r><v/></r>", 0, u""},
            {u"<r><v>junk</v></r>", 0, u""},
            {u"<r><v><c/></v></r>", 0, u""},
        },
        [](const XmlElement& r) { return krptUtil::TryGetNodeValueAsDateTime(r, u"v"); });
}

TEST(ReaderTest, NodesAndAttributes) {
    const auto doc = Doc(u"<r a=\"1 &amp; 2\" b=''><v/><x><y/></x></r>");
    const XmlElement& r = *doc->Root();
    EXPECT_TRUE(krptUtil::HasNode(r, u"v"));
    EXPECT_TRUE(krptUtil::HasNode(r, u"x"));
    EXPECT_FALSE(krptUtil::HasNode(r, u"V"));
    EXPECT_FALSE(krptUtil::HasNode(r, u"y"));
    EXPECT_EQ(krptUtil::GetAttributeValueAsString(r, u"a"), u"1 & 2");
    EXPECT_EQ(krptUtil::GetAttributeValueAsString(r, u"b"), u"");
    EXPECT_EQ(krptUtil::GetAttributeValueAsString(r, u"A"), u"");
    EXPECT_EQ(krptUtil::GetAttributeValueAsString(r, u"missing"), u"");
}

TEST(ReaderTest, StrToIntMessageIsNotWrapped) {
    EXPECT_EQ(krptUtil::StrToInt(u"-42"), -42);
    try {
        krptUtil::StrToInt(u"2.5");
        FAIL() << "no error";
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(), u"'2.5' is not a valid integer value");
    }
}
