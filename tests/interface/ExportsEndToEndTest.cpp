// The built library loaded through its exports, as a host loads it: dlopen on Linux, LoadLibraryW on
// Windows. Nothing of the library's own code is called directly here.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "LoadedLibrary.h"
#include "support/InterfaceTestSupport.h"

namespace {
using std::u16string;

const char* const kPayElements[] = {"DeviceId",
                                    "PaymentDateTime",
                                    "PaymentNumber",
                                    "PaymentAmount",
                                    "PaymentCurrency",
                                    "ExchangeRate",
                                    "PaymentAmountCurrency",
                                    "PaymentCurrencyCurrency",
                                    "TippedAmount",
                                    "RemainingBalance",
                                    "InstalmentCount",
                                    "MaskedPAN",
                                    "SerialNumber",
                                    "PaymentNetwork",
                                    "TransactionType",
                                    "AuthCode",
                                    "TraceAuditId",
                                    "NumberOfItems",
                                    "SingleItemAmount",
                                    "SignatureRequested",
                                    "CustomerCountryCode",
                                    "CardToken",
                                    "RefundReference",
                                    "ReceiptText",
                                    "CashierReceiptText",
                                    "DigitalSignature",
                                    "DigitalSignatureInput",
                                    "Error",
                                    "ErrorText",
                                    "LogFileName"};

u16string Element(const u16string& aDocument, const std::string& aName) {
    const u16string open = u"<" + Utf8ToUtf16(aName) + u">";
    const auto start = aDocument.find(open);
    if (start == u16string::npos) {
        return u"<absent>";
    }
    const auto from = start + open.size();
    return aDocument.substr(from, aDocument.find(u"</" + Utf8ToUtf16(aName) + u">", from) - from);
}

// The element names of a flat document, in order, and whether it is exactly "<a>..</a>\r\n<b>..</b>".
std::vector<std::string> ElementNames(const u16string& aDocument) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < aDocument.size()) {
        const auto close = aDocument.find(u'>', at);
        const u16string name = aDocument.substr(at + 1, close - at - 1);
        const u16string end = u"</" + name + u">";
        const auto endAt = aDocument.find(end, close);
        if (aDocument[at] != u'<' || endAt == u16string::npos) {
            names.push_back("<malformed>");
            break;
        }
        names.push_back(Utf16ToUtf8(name));
        at = endAt + end.size();
        if (at < aDocument.size()) {
            if (aDocument.compare(at, 2, u"\r\n") != 0) {
                names.push_back("<no CR LF>");
                break;
            }
            at += 2;
        }
    }
    return names;
}

std::string Read(const u16string& aPath) {
    std::ifstream in(std::filesystem::path(aPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

u16string UniqueId(const char* aPrefix) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return Utf8ToUtf16(std::string(aPrefix) + std::to_string(now % 1000000007));
}

u16string Request(const u16string& aHandle, const u16string& aLogId, const u16string& aSection = u"") {
    u16string xml = u"<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver>";
    if (!aHandle.empty()) {
        xml += u"<Handle>" + aHandle + u"</Handle>";
    }
    return xml + u"<LogId>" + aLogId +
           u"</LogId><Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>1</Port>"
           u"<ConnectTimeout>200</ConnectTimeout><ReadTimeout>200</ReadTimeout></Connection>" +
           aSection + u"</ReceiptPrinterManager>";
}
} // namespace

TEST(ExportsEndToEnd, GetStatusAndVersion) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    for (const u16string request : {u"", u"not even xml", u"<a/>"}) {
        const auto o = lib.Call("GETSTATUS", request);
        EXPECT_EQ(o.Result, 0);
        EXPECT_EQ(o.Output, kStatusDocument);
        EXPECT_FALSE(o.OutputWasNull);
        EXPECT_TRUE(o.ErrorWasNull);
    }

    const auto version = lib.Version(u"ZRPA_RIVEVEDEV17_10");
    EXPECT_EQ(version.Result, 0);
    EXPECT_EQ(version.Output.rfind(u"Version 1.27 - ", 0), 0u) << Utf16ToUtf8(version.Output);
    EXPECT_TRUE(version.ErrorWasNull);

    for (const u16string name : {u"ZRPA_RIVEVEDEV17_10 ", u"zrpa_rivevedev17_10", u""}) {
        const auto o = lib.Version(name);
        EXPECT_EQ(o.Result, -1);
        EXPECT_TRUE(o.OutputWasNull);
        EXPECT_EQ(o.ErrorMessage, u"Driver [" + name + u"] not found");
    }
}

TEST(ExportsEndToEnd, FailingCommandsReturnTheirWholeDocument) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();

    const auto pay = lib.Call("PAY", u"this is not a request");
    EXPECT_EQ(pay.Result, -1);
    EXPECT_EQ(ElementNames(pay.Output),
              std::vector<std::string>(std::begin(kPayElements), std::end(kPayElements)));
    EXPECT_EQ(Element(pay.Output, "Error"), u"True");
    EXPECT_EQ(Element(pay.Output, "PaymentNetwork"), u"other");
    EXPECT_EQ(Element(pay.Output, "LogFileName"), u"");
    // The parser's message is not fixed; it is there, and the document carries it too.
    EXPECT_FALSE(pay.ErrorWasNull);
    EXPECT_FALSE(pay.ErrorMessage.empty());

    const struct {
        const char* command;
        u16string request;
        u16string error;
        std::vector<std::string> elements;
    } cases[] = {
        {"CLOSE",
         Request(u"", u"e2e"),
         u"Payment Device has not previously opened",
         {"Error", "ErrorText", "LogFileName"}},
        {"CLOSE",
         Request(u"999999", u"e2e"),
         u"Device Handle not found",
         {"Error", "ErrorText", "LogFileName"}},
        {"OPEN",
         Request(u"77", u"e2e"),
         u"Device Handle not found",
         {"Handle", "Error", "ErrorText", "LogFileName"}},
        {"REPRINT",
         Request(u"5", u"e2e", u"<Reprint></Reprint>"),
         u"Device Handle not found",
         {"ReceiptText", "CashierReceiptText", "Error", "ErrorText", "LogFileName"}},
    };
    for (const auto& c : cases) {
        const auto o = lib.Call(c.command, c.request);
        EXPECT_EQ(o.Result, -1) << c.command;
        EXPECT_EQ(o.ErrorMessage, c.error) << c.command;
        EXPECT_EQ(ElementNames(o.Output), c.elements) << c.command;
        EXPECT_EQ(Element(o.Output, "ErrorText"), c.error);
    }
}

// A host that declares the commands as returning 32 bits reads -1 as 65535 and 0 as 0: the upper half of
// the result register is zero on every path, the ones that give no document included.
TEST(ExportsEndToEnd, ResultCodesReadAs32BitsHaveAZeroUpperHalf) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    using WideCommandFn = std::uint32_t(ZRPA_CALL*)(BSTR, BSTR*, BSTR*);
    for (const char* name :
         {"PAY", "REPRINT", "OPEN", "CLOSE", "GETSTATUS", "DAYCLOSE", "GETTOTALS", "VERIFYTRAN", "CANCEL"}) {
        const auto command = reinterpret_cast<WideCommandFn>(lib.Symbol(name));
        ASSERT_NE(command, nullptr) << name;
        BSTR output = nullptr;
        EXPECT_EQ(command(nullptr, nullptr, nullptr), 65535u) << name << ": no output pointers";
        EXPECT_EQ(command(nullptr, &output, nullptr), 65535u) << name << ": no error pointer";
        BSTR error = nullptr;
        const std::uint32_t result = command(nullptr, &output, &error);
        EXPECT_EQ(result, std::string(name) == "GETSTATUS" ? 0u : 65535u) << name << ": empty request";
        lib.Free(output);
        lib.Free(error);
    }
}

TEST(ExportsEndToEnd, OpenCloseAndTheDriversOwnFailures) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    const u16string logId = UniqueId("e2edev");

    const auto open = lib.Call("OPEN", Request(u"", logId));
    ASSERT_EQ(open.Result, 0) << Utf16ToUtf8(open.ErrorMessage);
    EXPECT_TRUE(open.ErrorWasNull);
    const u16string handle = Element(open.Output, "Handle");
    EXPECT_EQ(
        open.Output,
        u"<Handle>" + handle +
            u"</Handle>\r\n<Error>False</Error>\r\n<ErrorText></ErrorText>\r\n<LogFileName></LogFileName>");

    // The Protocol 17 driver declines a verification, with the presets of the device layer.
    const auto verify = lib.Call("VERIFYTRAN", Request(handle, logId, u"<VerifyTran></VerifyTran>"));
    EXPECT_EQ(verify.Result, -1);
    EXPECT_EQ(verify.ErrorMessage, u"unsupported");
    EXPECT_NE(Element(verify.Output, "PaymentDateTime"), u"1899-12-30T00:00:00");
    EXPECT_EQ(Element(verify.Output, "TransactionType"), u"OTHER");
    const u16string deviceLog = Element(verify.Output, "LogFileName");
    EXPECT_FALSE(deviceLog.empty());

    const auto close = lib.Call("CLOSE", Request(handle, logId));
    EXPECT_EQ(close.Result, 0);
    EXPECT_TRUE(close.ErrorWasNull);
    EXPECT_EQ(close.Output,
              u"<Error>False</Error>\r\n<ErrorText></ErrorText>\r\n<LogFileName></LogFileName>");
    EXPECT_EQ(lib.Call("CLOSE", Request(handle, logId)).ErrorMessage, u"Device Handle not found");

    // A payment on a terminal that does not answer: the driver's failure, the whole document, and the
    // log of the device that the call opened for itself, closed when the call returned.
    const auto pay =
        lib.Call("PAY", Request(u"", logId + u"pay", u"<Payment><Amount>1.5</Amount></Payment>"));
    EXPECT_EQ(pay.Result, -1);
    EXPECT_FALSE(pay.ErrorWasNull);
    EXPECT_EQ(Element(pay.Output, "ErrorText"), pay.ErrorMessage);
    EXPECT_EQ(ElementNames(pay.Output),
              std::vector<std::string>(std::begin(kPayElements), std::end(kPayElements)));
    const u16string payLog = Element(pay.Output, "LogFileName");
    const std::string log = Read(payLog);
    const auto banner = log.find(std::string(60, '-') + " Pay");
    const auto stop = log.rfind("* STOP *");
    EXPECT_NE(banner, std::string::npos) << log;
    EXPECT_NE(stop, std::string::npos) << log;
    EXPECT_LT(banner, stop);

    for (const auto& file : {deviceLog, payLog}) {
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(file), ec);
    }
}

TEST(ExportsEndToEnd, UnloadWithThreeOpenDevicesEndsEveryLog) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    const u16string logId = UniqueId("e2eunload");
    std::vector<u16string> handles;
    for (int i = 0; i < 3; ++i) {
        const auto open = lib.Call("OPEN", Request(u"", logId + Utf8ToUtf16(std::to_string(i))));
        ASSERT_EQ(open.Result, 0) << Utf16ToUtf8(open.ErrorMessage);
        EXPECT_TRUE(open.ErrorWasNull);
        handles.push_back(Element(open.Output, "Handle"));
    }
    EXPECT_NE(handles[0], handles[1]);

    // The log file of each device, named by a command that reports it.
    std::vector<u16string> logFiles;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        const auto totals = lib.Call("GETTOTALS", Request(handles[i], logId, u"<GetTotals></GetTotals>"));
        logFiles.push_back(Element(totals.Output, "LogFileName"));
        EXPECT_FALSE(logFiles.back().empty()) << Utf16ToUtf8(totals.Output);
    }

    const auto start = std::chrono::steady_clock::now();
    lib.Unload();
    const auto took = std::chrono::steady_clock::now() - start;
    std::cout << "[ MEASURED ] unload of the loaded library with 3 open devices: "
              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";

    for (const auto& logFile : logFiles) {
        const std::string log = Read(logFile);
        const auto stop = log.rfind("*************************** STOP ****************************");
        ASSERT_NE(stop, std::string::npos) << Utf16ToUtf8(logFile) << "\n" << log;
        EXPECT_EQ(log.find('\n', stop), log.size() - 1)
            << "STOP is not the last line of " << Utf16ToUtf8(logFile);
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(logFile), ec);
    }

    // The library really went: loaded again, it starts over with handle 1.
    LoadedLibrary again;
    ASSERT_TRUE(again.IsLoaded()) << again.LoadError();
    const auto reopened = again.Call("OPEN", Request(u"", logId));
    EXPECT_EQ(Element(reopened.Output, "Handle"), u"1") << Utf16ToUtf8(reopened.Output);
    again.Unload();
    std::error_code ec;
    const auto folder = std::filesystem::path(logFiles.front()).parent_path();
    std::vector<std::filesystem::path> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename().u16string().find(logId) != u16string::npos) {
            leftovers.push_back(entry.path());
        }
    }
    for (const auto& path : leftovers) {
        std::filesystem::remove(path, ec);
    }
}

TEST(ExportsEndToEnd, UnloadRightAfterLoad) {
    // A host that only probes the library and unloads it at once: the threads that loading started may
    // not have begun to run yet, and none of them may run in the library after it is gone.
    for (int i = 0; i < 5; ++i) {
        LoadedLibrary probe;
        ASSERT_TRUE(probe.IsLoaded()) << probe.LoadError();
        probe.Unload();
    }
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    EXPECT_EQ(lib.Call("GETSTATUS", u"").Output, kStatusDocument);
}
