// The device log as a technician reads it: one request line and one result line per operation, every
// line one line, request errors in the device log or the application log; and the logs of a host whose
// folder cannot be written. The real driver against the in-process terminal emulator.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "platform/Process.h"
#include "runtime/Application.h"
#include "runtime/LogWriter.h"
#include "support/InterfaceTestSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
namespace fs = std::filesystem;
constexpr std::int32_t kWait = 30000;

Text Request(std::uint16_t aPort, const Text& aLogId, const Text& aSection, const Text& aHandle = Text()) {
    return u"<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver>" +
           (aHandle.empty() ? Text() : u"<Handle>" + aHandle + u"</Handle>") + u"<LogId>" + aLogId +
           u"</LogId><Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" + IntToText(aPort) +
           u"</Port></Connection>" + aSection + u"</ReceiptPrinterManager>";
}

// The request and result lines of a log, without their time stamps, the elapsed time as "N".
std::vector<std::string> OperationLines(const std::string& aLog) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < aLog.size()) {
        const std::size_t end = aLog.find("\r\n", start);
        const std::string line = aLog.substr(start, end == std::string::npos ? end : end - start);
        start = end == std::string::npos ? aLog.size() : end + 2;
        for (const char* head : {" - Request: ", " - Result: "}) {
            const std::size_t at = line.find(head);
            if (at != std::string::npos) {
                out.push_back(
                    std::regex_replace(line.substr(at + 3), std::regex("elapsed=[0-9]+ ms"), "elapsed=N ms"));
            }
        }
    }
    return out;
}

// Every CR is followed by LF and every LF follows a CR: no line was split.
bool OnlyCrLfBreaks(const std::string& aLog) {
    for (std::size_t i = 0; i < aLog.size(); ++i) {
        const bool crOk = aLog[i] != '\r' || (i + 1 < aLog.size() && aLog[i + 1] == '\n');
        const bool lfOk = aLog[i] != '\n' || (i > 0 && aLog[i - 1] == '\r');
        if (!crOk || !lfOk) {
            return false;
        }
    }
    return true;
}

std::string U8(const Text& aText) {
    return TextToUtf8(aText);
}
} // namespace

TEST(OperationLog, EachOperationSaysWhatWasAskedAndWhatWasTold) {
    EmulatedTerminal terminal;
    const Text logId = UniqueLogId("oplog");
    const std::uint16_t port = terminal.Port();
    const auto open = CallExport(OPEN, Request(port, logId, Text()));
    ASSERT_EQ(open.Result, 0) << U8(open.ErrorMessage);
    const Text handle = ElementOf(open.Output, u"Handle");
    const auto call = [&](CommandExport aExport, const Text& aSection) {
        return CallExport(aExport, Request(port, logId, aSection, handle));
    };
    // The reference "Rz" makes the frame's check byte a line feed.
    const auto pay =
        call(PAY, u"<Payment><Amount>12.34</Amount><Currency>EUR</Currency><TillCode>7</TillCode>"
                  u"<Reference>Rz</Reference><PrintLocation>EFT</PrintLocation></Payment>");
    ASSERT_EQ(pay.Result, 0) << U8(pay.ErrorMessage);
    const Text refundReference = ElementOf(pay.Output, u"RefundReference");
    EXPECT_EQ(
        // The host's amount is not the payment's: the terminal voids what the reference names.
        call(PAY, u"<Payment><Action>VOID</Action><Amount>99</Amount><PrintLocation>EFT</PrintLocation>"
                  u"<RefundReference><PaymentId>" +
                      refundReference + u"</PaymentId></RefundReference></Payment>")
            .Result,
        0);
    EXPECT_EQ(call(PAY,
                   u"<Payment><Action>REFUND</Action><Amount>5</Amount><PrintLocation>EFT</PrintLocation>"
                   u"</Payment>")
                  .Result,
              0);
    EXPECT_EQ(call(REPRINT, u"<Reprint><PrintLocation>EFT</PrintLocation></Reprint>").Result, 0);
    EXPECT_EQ(call(GETTOTALS, u"<GetTotals><TillCode>7</TillCode></GetTotals>").Result, 0);
    EXPECT_EQ(call(DAYCLOSE, u"<DayClose><TillCode>7</TillCode><PrintLocation>EFT</PrintLocation></DayClose>")
                  .Result,
              0);
    // A 1 MB reference reaches the device: refused there with a short text, and logged there.
    const auto huge = call(PAY, u"<Payment><Amount>1</Amount><Reference>" + Text(1 << 20, u'x') +
                                    u"</Reference><PrintLocation>EFT</PrintLocation></Payment>");
    EXPECT_EQ(huge.Result, -1);
    const std::string cut = std::string(64, 'x') + "\xE2\x80\xA6(1048576 characters)";
    EXPECT_EQ(U8(huge.ErrorMessage),
              "Reference [" + cut + "] invalid: 1048576 characters. Allowed are at most 128 characters.");
    const Text logFile = ElementOf(pay.Output, u"LogFileName");
    ASSERT_EQ(CallExport(CLOSE, Request(port, logId, Text(), handle)).Result, 0);

    const std::string log = ReadFileBytes(logFile);
    EXPECT_TRUE(OnlyCrLfBreaks(log));
    EXPECT_NE(log.find("<ETX><0A>"), std::string::npos) << "the check byte of the Rz frame";
    const std::string ref = U8(refundReference);
    const std::vector<std::string> expected = {
        "Request: PAY | amount=12.34 | currency=EUR | print=EFT | till=7 | reference=Rz",
        "Result: approved | code=0 | stan=000001 | auth=A1B2C3 | card=***************1234 | amount=12.34 | "
        "elapsed=N ms | error=",
        "Request: VOID | amount=99 | currency= | print=EFT | till= | reference=" + ref,
        "Result: approved | code=0 | stan=000001 | auth=A1B2C3 | card=***************1234 | amount=12.34 | "
        "elapsed=N ms | error=",
        "Request: REFUND | amount=5 | currency= | print=EFT | till= | reference=",
        "Result: approved | code=0 | stan= | auth=A1B2C3 | card=***************1234 | amount=5 | "
        "elapsed=N ms | error=",
        "Request: REPRINT | print=EFT",
        "Result: approved | code=0 | elapsed=N ms | error=",
        "Request: TOTALS | print=ECR | till=7",
        "Result: totals | code=0 | amount=-5 | elapsed=N ms | error=",
        "Request: DAY CLOSE | print=EFT | till=7",
        "Result: day closed | code=0 | amount=-5 | elapsed=N ms | error=",
        "Request: PAY | amount=1 | currency= | print=EFT | till= | reference=" + cut,
        "Result: failed | code=-1 | stan= | auth= | card= | amount=0 | elapsed=N ms | error=Reference [" +
            cut + "] invalid: 1048576 characters. Allowed are at most 128 characters.",
    };
    EXPECT_EQ(OperationLines(log), expected);
    EXPECT_LT(log.size(), 64u * 1024u) << "no log line repeats the huge value";
    RemoveFile(logFile);
}

// A refusal by the terminal reads "declined"; a request refused before any device exists is in the
// application log and never reaches the terminal.
TEST(OperationLog, DeclinesAndRequestErrors) {
    p17emu::Config declining;
    declining.PayResult = "01";
    EmulatedTerminal terminal(declining);
    const Text logId = UniqueLogId("oplogerr");
    const auto declined = CallExport(PAY, Request(terminal.Port(), logId,
                                                  u"<Payment><Amount>3</Amount><PrintLocation>EFT"
                                                  u"</PrintLocation></Payment>"));
    EXPECT_EQ(declined.Result, -1);
    const std::vector<std::string> lines =
        OperationLines(ReadFileBytes(ElementOf(declined.Output, u"LogFileName")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("Result: declined | code=-1 | stan=", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(" | error=OPERAZIONE RIFIUTATA"), std::string::npos) << lines[1];
    RemoveFile(ElementOf(declined.Output, u"LogFileName"));

    const std::size_t connections = terminal->Connections();
    for (const Text section : {u"<Payment></Payment>", u"<Payment><Amount/></Payment>",
                               u"<Payment><Ammount>3</Ammount><Action>REFUND</Action></Payment>"}) {
        const auto refused = CallExport(PAY, Request(terminal.Port(), logId, section));
        EXPECT_EQ(refused.Result, -1);
        EXPECT_EQ(refused.ErrorMessage.rfind(u"Amount missing. ", 0), 0u) << U8(refused.ErrorMessage);
        EXPECT_EQ(ElementOf(refused.Output, u"LogFileName"), u"");
    }
    EXPECT_EQ(terminal->Connections(), connections);
    ASSERT_TRUE(gApplication->Logger().WaitUntilWritten(kWait));
    const std::string appLog = ReadFileBytes(gApplication->GetLogFileName());
    EXPECT_NE(appLog.find(" - ERROR - PAY failed: Amount missing. A PAY needs the Amount element"),
              std::string::npos);
    EXPECT_NE(appLog.find(" - ERROR - PAY failed: Amount missing. The Amount element of the PAY is empty"),
              std::string::npos);
    EXPECT_NE(appLog.find(" - ERROR - PAY failed: Amount missing. A REFUND needs"), std::string::npos);

    // A request that names an open device leaves its error in that device's log.
    const auto open = CallExport(OPEN, Request(terminal.Port(), logId, Text()));
    const Text handle = ElementOf(open.Output, u"Handle");
    const auto buy =
        CallExport(PAY, Request(terminal.Port(), logId, u"<Payment><Action>BUY</Action></Payment>", handle));
    EXPECT_EQ(buy.ErrorMessage, u"Action BUY invalid. Allowed values are: PAY,REFUND,VOID.");
    const auto verify = CallExport(VERIFYTRAN, Request(terminal.Port(), logId, u"<VerifyTran/>", handle));
    const Text deviceLog = ElementOf(verify.Output, u"LogFileName");
    ASSERT_EQ(CallExport(CLOSE, Request(terminal.Port(), logId, Text(), handle)).Result, 0);
    EXPECT_NE(ReadFileBytes(deviceLog).find(
                  " - ERROR - PAY failed: Action BUY invalid. Allowed values are: PAY,REFUND,VOID."),
              std::string::npos);
    RemoveLogsOf(logId);
}

// A cashier without write access beside the executable: the device log goes to the user's folder and
// LogFileName names the file that was written.
TEST(OperationLog, AHostFolderThatCannotBeWrittenSendsTheLogsToTheUsersFolder) {
    TempFolder dir;
    { std::ofstream(dir.Path() / "Shop", std::ios::binary) << "a file where the folder should be"; }
    const Text user = dir.Child("User");
    const ScopedEnvironment noVariable(u"ZRPA_LOG_DIR", u"");
    const ScopedEnvironment xdg(u"XDG_STATE_HOME", user);
    const ScopedEnvironment local(u"LOCALAPPDATA", user);
    const Text sep(1, PathSeparator());
    const Text folder = user + sep + u"ZRPA_RIVEVEDEV17_10" + sep + u"LogFiles";

    EmulatedTerminal terminal;
    tZR_Application cashier(tZR_HostProcess{dir.Child("Shop") + sep + u"POS.exe", {}});
    tZR_Application* const loaded = gApplication;
    gApplication = &cashier;
    const auto pay = CallExport(PAY, Request(terminal.Port(), UniqueLogId("fallback"),
                                             u"<Payment><Amount>2</Amount><PrintLocation>EFT</PrintLocation>"
                                             u"</Payment>"));
    gApplication = loaded;
    EXPECT_EQ(pay.Result, 0) << U8(pay.ErrorMessage);
    const Text logFile = ElementOf(pay.Output, u"LogFileName");
    EXPECT_EQ(logFile.rfind(folder + sep + u"Payment" + sep, 0), 0u) << U8(logFile);
    EXPECT_EQ(OperationLines(ReadFileBytes(logFile)).size(), 2u);
    ASSERT_TRUE(cashier.Logger().WaitUntilWritten(kWait));
    EXPECT_NE(
        ReadFileBytes(cashier.GetLogFileName()).find("cannot be created: the logs go to " + U8(folder) + "."),
        std::string::npos);
}
