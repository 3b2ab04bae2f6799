// The XML adapter: what is rejected, and that no document type declaration is ever acted upon.
#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "payment/Xml.h"

namespace {
// The parser's wording differs between platforms (and Wine's MSXML is terse): only the failure counts.
bool Rejected(const Text& aXml) {
    try {
        XmlDocument::Parse(aXml);
        return false;
    } catch (const ZrError& e) {
        EXPECT_FALSE(e.Message().empty());
        return true;
    }
}

const Text kDoctypeMessage = u"A document type declaration (DOCTYPE) is not allowed in a request";

Text DoctypeError(const Text& aXml) {
    try {
        XmlDocument::Parse(aXml);
    } catch (const ZrError& e) {
        const Text& m = e.Message();
        return m.substr(0, m.find(u" (line"));
    }
    return u"accepted";
}
} // namespace

TEST(XmlTest, RejectsWhatIsNotWellFormed) {
    const Text cases[] = {
        u"",
        u"   ",
        u"plain text",
        u"<a>",
        u"<a></b>",
        u"<a><b></a></b>",
        u"<a>x</a><b/>",
        u"<a/>junk",
        u"junk<a/>",
        u"<a>A & B</a>",
        u"<a>&undefined;</a>",
        u"<a>&aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;</a>",
        u"<a t='&x;'/>",
        u"<a>&#0;</a>",
        u"<a>&#xD800;</a>",
        u"<a b='<'/>",
        u"<a>\x01</a>",
        u"<a>\uFFFF</a>",
        u"<a>\xD800</a>",
        Text(u"<a/>\0<b/>", 9),
        Text(u"<a>x\0y</a>", 10),
        u"<1a/>",
        u"<a><!-- unterminated </a>",
        // What pugixml would let through and MSXML refuses.
        u"<a/><!DOCTYPE a>",
        u"<a><!ELEMENT a ANY></a>",
        u"<a x='1' y='2' x='3'/>",
        u"<a><!-- a -- b --></a>",
        u"<a><!-- a ---></a>",
        u"<a>x ]]> y</a>",
        u"<![CDATA[x]]><a/>",
        u" <?xml version=\"1.0\"?><a/>",
        u"<!-- c --><?xml version=\"1.0\"?><a/>",
        u"<a><?xml version=\"1.0\"?></a>",
    };
    for (const Text& xml : cases) {
        EXPECT_TRUE(Rejected(xml)) << TextToUtf8(xml);
    }
}

TEST(XmlTest, NoDocumentElementNamesWhatCameInstead) {
    const auto error = [](const Text& aXml) {
        try {
            XmlFailNoDocumentElement(aXml);
        } catch (const ZrError& e) {
            return TextToUtf8(e.Message());
        }
        return std::string("no error");
    };
    // Blanks are no value to show; other text is shown trimmed, line breaks visible, a long one cut.
    EXPECT_EQ(error(u""), "No document element found");
    EXPECT_EQ(error(u" \r\n\t "), "No document element found");
    EXPECT_EQ(error(u"PAY 12.34 EUR"), "No document element found in [PAY 12.34 EUR]");
    EXPECT_EQ(error(u"  two\r\nlines\t"), "No document element found in [two<0D><0A>lines]");
    EXPECT_NE(error(Text(1000, u'x')).find("(1000 characters)]"), std::string::npos);
}

TEST(XmlTest, AcceptsTheUsualForms) {
    const Text cases[] = {
        u"<a/>",
        u"\uFEFF<a/>",
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a/>",
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>",
        u"<!-- c --><a/><!-- d -->\r\n",
        u"<a><![CDATA[<!DOCTYPE x [<!ENTITY y \"z\">]>]]></a>",
        u"<!-- <!DOCTYPE inside a comment --><a/>",
        u"<a x=\"&quot;&apos;&#x41;\">&lt;&gt;&amp;&#65;&#x1F600;</a>",
        u"<a x='1' y='1'><b x='2'/><b x='3'/></a>",
        u"<a b=']]>'>]] ></a>",
        u"<a><?xml-stylesheet href='s'?></a>",
    };
    for (const Text& xml : cases) {
        EXPECT_FALSE(Rejected(xml)) << TextToUtf8(xml);
    }
    const auto doc = XmlDocument::Parse(u"<a><![CDATA[<!DOCTYPE x [<!ENTITY y \"z\">]>]]></a>");
    EXPECT_EQ(doc->Root()->GetText(), u"<!DOCTYPE x [<!ENTITY y \"z\">]>");
}

TEST(XmlTest, DocumentTypeIsNeverActedUpon) {
    const Text laughs = u"<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
                        u"<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
                        u"<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
                        u"<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
                        u"<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
                        u"<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
                        u"<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
                        u"<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
                        u"<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
                        u"<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">"
                        u"]><r><Driver>&lol9;</Driver></r>";
    const Text cases[] = {
        laughs,
        u"<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r><Driver>&x;</Driver></r>",
        u"<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/r.dtd\"><r/>",
        u"<!DOCTYPE r [<!ENTITY % p SYSTEM \"file:///etc/hostname\"> %p;]><r/>",
        u"<!DOCTYPE r><r/>",
        u"\uFEFF<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<?pi?>\r\n<!DOCTYPE r><r/>",
        u"<!doctype r><r/>",
    };
    for (const Text& xml : cases) {
        EXPECT_EQ(TextToUtf8(DoctypeError(xml)), TextToUtf8(kDoctypeMessage)) << TextToUtf8(xml);
    }
}

TEST(XmlTest, ElementTree) {
    const auto doc = XmlDocument::Parse(
        u"<Root k=\"v\">\r\n  <a>1</a>\r\n  <!-- c -->\r\n  <b/>\r\n  <a>2</a>\r\n</Root>");
    const XmlElement* root = doc->Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->Name(), u"Root");
    EXPECT_EQ(root->Attribute(u"k"), u"v");
    const auto children = root->Children();
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(children[0]->Name(), u"a");
    EXPECT_EQ(children[1]->Name(), u"b");
    EXPECT_EQ(children[2]->GetText(), u"2");
    // The same element is the same object, however it was reached.
    EXPECT_EQ(root->Child(u"a"), children[0]);
    EXPECT_EQ(root->Child(u"A"), nullptr);
    EXPECT_THROW(root->GetText(), ZrError);
}
