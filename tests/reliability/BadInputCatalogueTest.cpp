// The bad-input catalogue: requests no till should send, settings files no installer should leave and
// terminals that misbehave, each through the library as a host meets it. For every kind the call
// returns, fails with an error text (naming the offending value where one can be shown), leaves no file
// outside the log folders, and the next good request still works. The table of what the host gets is
// written for docs/reliability.md (ReliabilityTable.h).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "ReliabilityTable.h"
#include "drivers/AcquirerTable.h"
#include "platform/Process.h"
#include "support/HttpTestServer.h"
#include "support/InterfaceTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
namespace fs = std::filesystem;

// "{U+XXXX}" in a case's text stands for that one code unit (lone surrogates and NUL included).
Text Decode(const std::string& aUtf8) {
    Text out;
    std::size_t i = 0;
    while (i < aUtf8.size()) {
        const std::size_t mark = aUtf8.find("{U+", i);
        if (mark == std::string::npos) {
            out += Utf8ToText(std::string_view(aUtf8).substr(i));
            break;
        }
        out += Utf8ToText(std::string_view(aUtf8).substr(i, mark - i));
        out += static_cast<char16_t>(std::stoul(aUtf8.substr(mark + 3, 4), nullptr, 16));
        i = mark + 8;
    }
    return out;
}

std::string Repeat(const std::string& aText, std::size_t aTimes) {
    std::string out;
    out.reserve(aText.size() * aTimes);
    for (std::size_t i = 0; i < aTimes; ++i) {
        out += aText;
    }
    return out;
}

const std::string kTen = Repeat("x", 10000);
const std::string kTenMegabytes = Repeat("A", 10 * 1024 * 1024);

struct Envelope {
    std::string Driver = "<Driver>ZRPA_RIVEVEDEV17_10</Driver>";
    std::string LogId = "<LogId>badinput</LogId>";
    std::string Extra;
    std::string Connection = "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>{PORT}</Port>"
                             "<ReadTimeout>2000</ReadTimeout></Connection>";
    std::string Section = "<Payment><Amount>1.00</Amount><PrintLocation>EFT</PrintLocation></Payment>";
    std::string Build() const {
        return "<ReceiptPrinterManager Version=\"1.0\">" + Driver + LogId + Extra + Connection + Section +
               "</ReceiptPrinterManager>";
    }
};

std::string WithPayment(const std::string& aInner) {
    Envelope e;
    e.Section = "<Payment>" + aInner + "</Payment>";
    return e.Build();
}
std::string WithLogId(const std::string& aLogId) {
    Envelope e;
    e.LogId = "<LogId>" + aLogId + "</LogId>";
    return e.Build();
}
std::string WithHandle(const std::string& aHandle) {
    Envelope e;
    e.Extra = "<Handle>" + aHandle + "</Handle>";
    return e.Build();
}
std::string WithConnection(const std::string& aInner) {
    Envelope e;
    e.Connection = "<Connection>" + aInner + "</Connection>";
    return e.Build();
}
std::string WithTcp(const std::string& aMore) {
    return WithConnection("<Type>TCP</Type><Address>127.0.0.1</Address><Port>{PORT}</Port>" + aMore);
}
// A serial connection whose settings are all valid but the one aMore gives first (the reader takes the
// first element of a name).
std::string WithSerial(const std::string& aMore) {
    return WithConnection("<Type>SERIAL</Type>" + aMore +
                          "<SerialPort>COM1</SerialPort><Speed>9600</Speed><DataBits>8</DataBits>"
                          "<Parity>NONE</Parity><StopBits>1</StopBits><ReadTimeout>300</ReadTimeout>");
}
std::string Nested(std::size_t aDepth) {
    return "<ReceiptPrinterManager>" + Repeat("<a>", aDepth) + Repeat("</a>", aDepth) +
           "</ReceiptPrinterManager>";
}

struct RequestCase {
    const char* Kind;
    const char* Export; // an export's name: PAY, REPRINT, ..., CANCEL, VERSION
    std::string Request;
    std::string MustName; // what the error text must contain ("" when no value can be shown; why, beside)
    bool MaySucceed = false;
    const char* Note = "";    // why the outcome is what it is, when that is not plain
    bool ParserWords = false; // the text is the XML parser's own, whose wording differs by platform
};

RequestCase Parsed(RequestCase aCase) {
    aCase.ParserWords = true;
    return aCase;
}

// Port values whose low 16 bits give aFreePort, a loopback port nothing listens on: what such a port
// reaches does not depend on what else runs on the machine.
std::string PortAbove16Bits(std::uint16_t aFreePort) {
    return std::to_string(aFreePort + 65536);
}
std::string NegativePort(std::uint16_t aFreePort) {
    return std::to_string(static_cast<int>(aFreePort) - 65536);
}

std::vector<RequestCase> RequestCases(std::uint16_t aFreePort) {
    Envelope plain;
    Envelope noDriver = plain;
    noDriver.Driver.clear();
    Envelope unknownDriver = plain;
    unknownDriver.Driver = "<Driver>NO_SUCH_DRIVER</Driver>";
    Envelope longDriver = plain;
    longDriver.Driver = "<Driver>" + kTen + "</Driver>";
    Envelope noConnection = plain;
    noConnection.Connection.clear();
    Envelope reprint = plain;
    reprint.Section.clear();
    const std::string valid = plain.Build();
    const std::string root = "<ReceiptPrinterManager Version=\"1.0\">";
    return {
        // Nothing but blanks came: there is no value to show.
        {"empty request", "PAY", "", ""},
        {"only white space", "PAY", " \r\n\t ", ""},
        Parsed({"not XML", "PAY", "PAY 12.34 EUR", "PAY 12.34 EUR"}),
        // A document cut short or broken inside has no value to quote: its position is what names it.
        Parsed({"XML cut short", "PAY", valid.substr(0, valid.size() / 2), "(line 1, column "}),
        {"other root element", "PAY", "<Request><Driver>ZRPA_RIVEVEDEV17_10</Driver></Request>", "Payment"},
        Parsed({"10 MB request (reference)", "PAY",
                WithPayment("<Amount>1</Amount><Reference>" + kTenMegabytes + "</Reference>"),
                "(10485760 characters)"}),
        Parsed({"10 MB of text outside any element", "PAY", valid + kTenMegabytes, "(line 1, column "}),
        Parsed({"nesting 100 000 deep", "PAY", Nested(100000), "Payment"}),
        {"DOCTYPE with an internal entity", "PAY", "<!DOCTYPE r [<!ENTITY e \"x\">]>" + valid, "DOCTYPE"},
        {"external entity (file)", "PAY",
         "<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>" + root +
             "<Driver>&e;</Driver></ReceiptPrinterManager>",
         "DOCTYPE"},
        {"entity expansion bomb", "PAY",
         "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
         "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
             root + "<Driver>&c;</Driver></ReceiptPrinterManager>",
         "DOCTYPE"},
        Parsed(
            {"undeclared entity", "PAY", root + "<Driver>&nope;</Driver></ReceiptPrinterManager>", "nope"}),
        Parsed({"DOCTYPE inside the root", "PAY", root + "<!DOCTYPE x></ReceiptPrinterManager>",
                "(line 1, column "}),
        Parsed(
            {"repeated attribute", "PAY", "<ReceiptPrinterManager Version=\"1\" Version=\"2\"/>", "Version"}),
        Parsed(
            {"']]>' in text", "PAY", WithPayment("<Amount>1</Amount><Reference>a]]>b</Reference>"), "']]>'"}),
        Parsed({"'--' inside a comment", "PAY", root + "<!-- a -- b --></ReceiptPrinterManager>", "'--'"}),
        {"NUL character in a value", "PAY", WithPayment("<Amount>1{U+0000}2</Amount>"), "U+0000"},
        Parsed({"NUL character encoded as &#0;", "PAY", WithPayment("<Amount>1&#0;</Amount>"), "&#0;"}),
        {"lone high surrogate", "PAY", WithPayment("<Amount>1</Amount><Reference>a{U+D800}b</Reference>"),
         "U+D800"},
        {"lone low surrogate", "PAY", WithPayment("<Amount>1</Amount><Reference>{U+DC00}</Reference>"),
         "U+DC00"},
        {"surrogates in the wrong order", "PAY",
         WithPayment("<Amount>1</Amount><Reference>{U+DC00}{U+D800}</Reference>"), "U+DC00"},
        {"non-character U+FFFF", "PAY", WithPayment("<Amount>1</Amount><Reference>{U+FFFF}</Reference>"),
         "U+FFFF"},
        {"control character U+0001", "PAY", WithPayment("<Amount>1</Amount><Reference>{U+0001}</Reference>"),
         "U+0001"},
        // The empty name shows as "[]".
        {"no Driver", "PAY", noDriver.Build(), "Driver []"},
        {"unknown Driver", "PAY", unknownDriver.Build(), "NO_SUCH_DRIVER"},
        {"Driver of 10 000 characters", "PAY", longDriver.Build(), "xxxxxxxx"},
        {"Handle not a number", "PAY", WithHandle("abc"), "abc"},
        {"Handle past 32 bits", "PAY", WithHandle("2147483648"), "2147483648"},
        {"Handle past 64 bits", "PAY", WithHandle("99999999999999999999"), "99999999999999999999"},
        // Accepted requests: an error, were there one, would have nothing to name.
        {"Handle -1", "PAY", WithHandle("-1"), "", true, "0 or negative asks for a new device"},
        {"Handle 2147483647 (never issued)", "PAY", WithHandle("2147483647"), "Handle", false,
         "the system's own text"},
        {"CLOSE of a handle never issued", "CLOSE", WithHandle("2147483647"), "Handle", false,
         "the system's own text"},
        {"GETSTATUS of a handle never issued", "GETSTATUS", WithHandle("2147483646"), "", true,
         "GETSTATUS reads no request"},
        {"LogId ..\\..\\x", "OPEN", WithLogId("..\\..\\x"), "", true},
        {"LogId ../../x", "OPEN", WithLogId("../../x"), "", true},
        {"LogId CON", "OPEN", WithLogId("CON"), "", true},
        {"LogId COM1", "OPEN", WithLogId("COM1"), "", true},
        {"LogId NUL.txt", "OPEN", WithLogId("NUL.txt"), "", true},
        {"LogId absolute POSIX path", "OPEN", WithLogId("/tmp/zr-badinput-escape"), "", true},
        {"LogId absolute Windows path", "OPEN", WithLogId("C:\\Windows\\zr-badinput"), "", true},
        {"LogId UNC path", "OPEN", WithLogId("\\\\server\\share\\x"), "", true},
        {"LogId of 10 000 characters", "OPEN", WithLogId(kTen), "", true},
        {"LogId with control characters", "OPEN", WithLogId("a&#9;b&#10;c"), "", true},
        {"LogId with a lone surrogate", "OPEN", WithLogId("a{U+D800}b"), "U+D800", true},
        {"no Connection", "PAY", noConnection.Build(), "OPOS", false, "the connection type defaults to OPOS"},
        {"Connection Type unknown", "PAY", WithConnection("<Type>CARRIER_PIGEON</Type>"), "CARRIER_PIGEON"},
        {"Port not a number", "PAY",
         WithConnection("<Type>TCP</Type><Address>127.0.0.1</Address><Port>http</Port>"), "http"},
        {"Port past 32 bits", "PAY",
         WithConnection("<Type>TCP</Type><Address>127.0.0.1</Address><Port>4294967297</Port>"), "4294967297"},
        {"Port past 16 bits (a free port + 65536)", "PAY",
         WithConnection("<Type>TCP</Type><Address>127.0.0.1</Address><Port>" + PortAbove16Bits(aFreePort) +
                        "</Port>"),
         "127.0.0.1:" + std::to_string(aFreePort), false,
         "the low 16 bits of the port are used: the free port, where nothing listens"},
        {"Port negative (a free port - 65536)", "PAY",
         WithConnection("<Type>TCP</Type><Address>127.0.0.1</Address><Port>" + NegativePort(aFreePort) +
                        "</Port>"),
         "127.0.0.1:" + std::to_string(aFreePort), false,
         "the low 16 bits of the port are used: the free port, where nothing listens"},
        // No connection is tried without an address: the port is never used. The empty address shows
        // as nothing before the colon.
        {"Address empty", "PAY", WithConnection("<Type>TCP</Type><Address></Address><Port>4000</Port>"),
         "device :4000"},
        {"ReadTimeout not a number", "PAY", WithTcp("<ReadTimeout>soon</ReadTimeout>"), "soon"},
        {"ReadTimeout past 64 bits", "PAY", WithTcp("<ReadTimeout>99999999999999999999</ReadTimeout>"),
         "99999999999999999999"},
        {"ReadTimeout negative", "PAY", WithTcp("<ReadTimeout>-5</ReadTimeout>"), "", true,
         "the protocol's own time-outs govern the exchange"},
        {"ConnectTimeout past 32 bits", "PAY", WithTcp("<ConnectTimeout>4294967296</ConnectTimeout>"),
         "4294967296"},
        {"serial port COM0", "PAY", WithSerial("<SerialPort>COM0</SerialPort>"), "COM0"},
        {"serial port COM99999999999", "PAY", WithSerial("<SerialPort>COM99999999999</SerialPort>"), "COM999",
         false, "characters 4 to 6 give the port number"},
        {"serial port named by a path", "PAY", WithSerial("<SerialPort>/etc/passwd</SerialPort>"), "c/p",
         false, "characters 4 to 6 give the port number; no path is ever opened"},
        {"serial Speed not a number", "PAY", WithSerial("<Speed>fast</Speed>"), "fast"},
        {"serial Parity unknown", "PAY", WithSerial("<Parity>Q</Parity>"), "Q"},
        {"serial DataBits 9", "PAY", WithSerial("<DataBits>9</DataBits>"), "SetCommState", false,
         "the line refuses the setting when the port is opened"},
        {"serial StopBits 3", "PAY", WithSerial("<StopBits>3</StopBits>"), "3"},
        {"PAY without a Payment section", "PAY", reprint.Build(), "Payment"},
        {"REPRINT without a Reprint section", "REPRINT", reprint.Build(), "Reprint"},
        {"DAYCLOSE without a DayClose section", "DAYCLOSE", reprint.Build(), "DayClose"},
        {"GETTOTALS without a GetTotals section", "GETTOTALS", reprint.Build(), "GetTotals"},
        {"Amount missing", "PAY", WithPayment("<PrintLocation>EFT</PrintLocation>"), "Amount", true},
        {"Amount not a number", "PAY", WithPayment("<Amount>twelve</Amount>"), "twelve"},
        {"Amount negative", "PAY", WithPayment("<Amount>-1</Amount>"), "-1"},
        {"Amount in exponent form", "PAY", WithPayment("<Amount>1e308</Amount>"), "1e308"},
        {"Amount past 64 bits", "PAY", WithPayment("<Amount>99999999999999999999</Amount>"),
         "99999999999999999999"},
        {"Amount past the fixed-point range", "PAY", WithPayment("<Amount>922337203685477.5808</Amount>"),
         "922337203685477.5808"},
        {"Amount with five decimals", "PAY", WithPayment("<Amount>1.23456</Amount>"), "1.23456", true,
         "rounded to four decimals; the terminal gets whole cents"},
        {"Amount past the terminal's 8 digits", "PAY", WithPayment("<Amount>1000000</Amount>"), "1000000"},
        {"Amount with a comma", "PAY", WithPayment("<Amount>1,50</Amount>"), "1,50"},
        {"Action unknown", "PAY", WithPayment("<Amount>1</Amount><Action>STEAL</Action>"), "STEAL"},
        {"PrintLocation unknown", "PAY", WithPayment("<Amount>1</Amount><PrintLocation>SKY</PrintLocation>"),
         "SKY"},
        {"Reference of 129 characters", "PAY",
         WithPayment("<Amount>1</Amount><PrintLocation>EFT</PrintLocation><Reference>" + Repeat("r", 129) +
                     "</Reference>"),
         "rrrr"},
        {"Reference with a frame character (ETX)", "PAY",
         WithPayment("<Amount>1</Amount><PrintLocation>EFT</PrintLocation><Reference>a{U+0003}b</Reference>"),
         "U+0003"},
        {"Reference beyond one byte (€)", "PAY",
         WithPayment("<Amount>1</Amount><PrintLocation>EFT</PrintLocation><Reference>5 €</Reference>"), "€"},
        {"TillCode of 10 000 characters", "PAY",
         WithPayment("<Amount>1</Amount><PrintLocation>EFT</PrintLocation><TillCode>" + kTen + "</TillCode>"),
         "", true, "a till code that is not numeric is sent as 00000000"},
        {"VOID without a refund reference", "PAY", WithPayment("<Amount>1</Amount><Action>VOID</Action>"), "",
         false, "the fixed text hosts compare with; the device log names the reference"},
        {"VOID with a reference of 33 characters", "PAY",
         WithPayment("<Amount>1</Amount><Action>VOID</Action><RefundReference><PaymentId>" + Repeat("0", 33) +
                     "</PaymentId></RefundReference>"),
         "", false, "the fixed text hosts compare with; the device log names the reference"},
        {"VOID with a reference whose fields overflow", "PAY",
         WithPayment("<Amount>1</Amount><Action>VOID</Action><RefundReference><PaymentId>" + Repeat("Z", 21) +
                     "A1B2C3" + Repeat("Z", 7) + "</PaymentId></RefundReference>"),
         "", false, "the fixed text hosts compare with; the device log names the reference"},
        {"PaymentDateTime impossible", "PAY",
         WithPayment("<Amount>1</Amount><Action>VOID</Action><RefundReference><PaymentId>x</"
                     "PaymentId><PaymentDateTime>2025-13-45T25:61:00</PaymentDateTime></RefundReference>"),
         "2025-13-45T25:61:00"},
        {"ReceiptColCount past 64 bits", "PAY",
         WithPayment("<Amount>1</Amount><ReceiptColCount>99999999999999999999</ReceiptColCount>"),
         "99999999999999999999"},
        {"MaxItems past 32 bits", "PAY", WithPayment("<Amount>1</Amount><MaxItems>2147483648</MaxItems>"),
         "2147483648"},
        {"TokenizeCard not a Boolean", "PAY",
         WithPayment("<Amount>1</Amount><TokenizeCard>perhaps</TokenizeCard>"), "perhaps"},
        {"VERSION of an unknown driver", "VERSION", "NO_SUCH_DRIVER", "NO_SUCH_DRIVER"},
        {"VERSION with a 10 MB name", "VERSION", kTenMegabytes, "(10485760 characters)"},
        // The documented answer of this driver: the request is valid, the command itself is declined.
        {"VERIFYTRAN (declined by this driver)", "VERIFYTRAN", valid, ""},
        {"CANCEL of a handle that is not an integer", "CANCEL", "<Cancel><Handle>two</Handle></Cancel>",
         "two"},
        Parsed({"CANCEL that is not XML", "CANCEL", "stop", "stop"}),
    };
}

CommandExport ExportNamed(const std::string& aName) {
    static const std::vector<std::pair<std::string, CommandExport>> kExports = {{"PAY", PAY},
                                                                                {"REPRINT", REPRINT},
                                                                                {"OPEN", OPEN},
                                                                                {"CLOSE", CLOSE},
                                                                                {"GETSTATUS", GETSTATUS},
                                                                                {"DAYCLOSE", DAYCLOSE},
                                                                                {"GETTOTALS", GETTOTALS},
                                                                                {"VERIFYTRAN", VERIFYTRAN},
                                                                                {"CANCEL", CANCEL}};
    for (const auto& [name, fn] : kExports) {
        if (name == aName) {
            return fn;
        }
    }
    return nullptr;
}

std::string Replace(std::string aText, const std::string& aFrom, const std::string& aTo) {
    for (auto at = aText.find(aFrom); at != std::string::npos; at = aText.find(aFrom, at + aTo.size())) {
        aText.replace(at, aFrom.size(), aTo);
    }
    return aText;
}

// Names of everything directly inside aFolder.
std::vector<std::string> Listing(const fs::path& aFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(aFolder, ec)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Outcome(const ExportOutcome& aOutcome) {
    return aOutcome.Result == 0 ? "0 (success)" : std::to_string(aOutcome.Result);
}
} // namespace

TEST(BadInputCatalogue, EveryKindFailsCleanlyNamesTheValueAndLeavesTheLibraryWorking) {
    EmulatedTerminal terminal;
    const std::string port = std::to_string(terminal.Port());
    const std::uint16_t freePort = UnusedLoopbackPort();
    // Wine's MSXML words every parse failure as "error": there only the library's own texts can be held
    // to naming the value.
    const bool parserNamesValues = !RunningUnderWine();
    ASSERT_NE(freePort, 0);
    const fs::path exeDir = fs::path(ExecutableDirectory());
    // Tests running beside this one keep their scratch folders under ZR_TEST_FILES (in the build folder),
    // which may appear in the meantime: it is made first, so the listings below see only this test's doing.
    if (const char* kept = std::getenv("ZR_TEST_FILES"); kept != nullptr && *kept != '\0') {
        std::error_code ignored;
        fs::create_directories(kept, ignored);
    }
    const auto exeListing = Listing(exeDir);
    const auto parentListing = Listing(exeDir.parent_path());
    std::vector<std::vector<std::string>> rows;
    const Envelope good;
    for (const RequestCase& c : RequestCases(freePort)) {
        SCOPED_TRACE(c.Kind);
        const Text request = Decode(Replace(c.Request, "{PORT}", port));
        const ExportOutcome o = std::string(c.Export) == "VERSION"
                                    ? CallVersion(request)
                                    : CallExport(ExportNamed(c.Export), request);
        if (!c.MaySucceed) {
            EXPECT_EQ(o.Result, -1);
        }
        if (o.Result != 0) {
            EXPECT_FALSE(o.ErrorMessage.empty());
            if (!c.ParserWords || parserNamesValues) {
                EXPECT_NE(TextToUtf8(o.ErrorMessage).find(c.MustName), std::string::npos)
                    << TextToUtf8(o.ErrorMessage);
            }
        }
        const Text logFile = ElementOf(o.Output, u"LogFileName");
        if (!logFile.empty()) {
            EXPECT_EQ(logFile.rfind(PaymentLogFolder(), 0), 0u) << TextToUtf8(logFile);
        }
        if (std::string(c.Export) == "OPEN" && o.Result == 0) {
            CallExport(CLOSE, Decode(WithHandle(TextToUtf8(ElementOf(o.Output, u"Handle")))));
        }
        // The next good request still works.
        const auto next = CallExport(PAY, Decode(Replace(good.Build(), "{PORT}", port)));
        EXPECT_EQ(next.Result, 0) << TextToUtf8(next.ErrorMessage);
        // The free port differs from run to run; the table names it, so that it reads the same each time.
        const std::string error =
            o.Result == 0 ? ""
                          : Replace(CellText(o.ErrorMessage), "127.0.0.1:" + std::to_string(freePort),
                                    "127.0.0.1:<free port>");
        rows.push_back({std::to_string(rows.size() + 1), c.Kind, c.Export, Outcome(o), error, c.Note});
    }
    EXPECT_EQ(Listing(exeDir), exeListing);
    EXPECT_EQ(Listing(exeDir.parent_path()), parentListing);
    EXPECT_FALSE(fs::exists("/tmp/zr-badinput-escape.log"));
    EXPECT_GE(rows.size(), 60u);
    RemoveLogsOf(u"badinput");
    WriteReliabilityTable("bad-requests",
                          {"#", "Kind", "Export", "Result", "Error text the host gets", "Note"}, rows);
}

// Settings files an installer should never leave beside the host: each is read (or refused), its bad
// line decodes to what it says (bytes that are not text become U+FFFD), and only a line that names an
// acquirer changes that acquirer's network.
TEST(BadInputCatalogue, SettingsFiles) {
    using N = zrPaymentNetwork;
    const Text kReplacement(1, u'\uFFFD');
    struct SettingsCase {
        const char* Kind;
        std::string Bytes;
        bool Read;
        TextList Lines;    // as read
        Text Acquirer;     // the acquirer the bad line names, or means to name
        N Network;         // what that acquirer then gives
        const char* Shown; // the acquirer as the table shows it
    };
    const Text longName(100000, u'7');
    const std::vector<SettingsCase> cases = {
        {"empty file", "", true, {}, u"00000000003", N::Mastercard, "00000000003"},
        // The name is the bytes as Windows-1252; the network "\0" is none.
        {"binary bytes",
         std::string("\x00\x01\xFF\xFE\x80garbage\x00=\x00", 16),
         true,
         {Text(u"\0\x01\u00FF\u00FE\u20ACgarbage\0=\0", 16)},
         Text(u"\0\x01\u00FF\u00FE\u20ACgarbage\0", 14),
         N::Other,
         "(the binary name)"},
        // Without "=" the line names no acquirer: the table keeps deciding.
        {"line without '='",
         "00000000003 Visa\r\n",
         true,
         {u"00000000003 Visa"},
         u"00000000003",
         N::Mastercard,
         "00000000003"},
        {"only '='", "=\r\n=\r\n", true, {u"=", u"="}, u"", N::Other, "(the empty name)"},
        {"unknown network name",
         "00000000003=NoSuchNetwork\r\n",
         true,
         {u"00000000003=NoSuchNetwork"},
         u"00000000003",
         N::Other,
         "00000000003"},
        // Read whole: the name is the 100 000 characters, not a part of them.
        {"line of 100 000 characters",
         std::string(100000, '7') + "=Visa\r\n",
         true,
         {longName + u"=Visa"},
         longName,
         N::Visa,
         "7777… (100 000 characters)"},
        // The odd last byte is half a character: it is left out.
        {"UTF-16 byte-order mark, odd length",
         std::string("\xFF\xFE\x30\x00\x30", 5),
         true,
         {u"0"},
         u"0",
         N::Other,
         "0"},
        {"UTF-8 byte-order mark, invalid UTF-8",
         "\xEF\xBB\xBF\xC3\x28=\xF0\x28\x8C\x28",
         true,
         {kReplacement + u"(=" + kReplacement + u"(" + kReplacement + u"("},
         kReplacement + u"(",
         N::Other,
         "<U+FFFD>("},
        // Refused whole, with a line in the application log.
        {"2 MB (past the 1 MB limit)",
         std::string(2 * 1024 * 1024, '0'),
         false,
         {},
         u"00000000003",
         N::Mastercard,
         "00000000003"},
    };
    TempFolder dir;
    std::vector<std::vector<std::string>> rows;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Kind);
        const fs::path file = dir.Path() / "ZRPA_RIVEVEDEV17_10.ini";
        std::ofstream(file, std::ios::binary) << c.Bytes;
        TextList lines;
        const bool read = ReadSettingsFile(file.u16string(), lines);
        EXPECT_EQ(read, c.Read);
        EXPECT_EQ(lines, c.Lines);
        const N network = DecodeAcquirer(c.Acquirer, lines);
        EXPECT_EQ(network, c.Network) << TextToUtf8(_int_PAY_result::DecodeNetwork(network));
        rows.push_back({c.Kind, read ? std::to_string(lines.size()) + " lines read" : "ignored",
                        std::string("acquirer ") + c.Shown + " gives " +
                            TextToUtf8(_int_PAY_result::DecodeNetwork(network))});
    }
    WriteReliabilityTable("bad-settings", {"Settings file", "Read", "Outcome"}, rows);
}
