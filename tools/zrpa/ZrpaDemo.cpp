#include <iostream>

#include "LoadedLibrary.h"
#include "ZrpaCommands.h"
#include "ZrpaDocuments.h"
#include "emulator/TerminalEmulator.h"

namespace {
struct DemoRun {
    LoadedLibrary& Library;
    std::string Connection;
    int Unexpected = 0;

    std::string Request(const std::string& aHandle, const std::string& aSection) const {
        return "<ReceiptPrinterManager Version=\"1.0\">\n  <Driver>ZRPA_RIVEVEDEV17_10</Driver>\n"
               "  <LogId>demo</LogId>\n" +
               (aHandle.empty() ? std::string() : "  <Handle>" + aHandle + "</Handle>\n") + Connection +
               aSection + "</ReceiptPrinterManager>\n";
    }

    // Calls aExport, prints what came back and checks it against what a till expects: result 0 and no
    // error, and aMustHave elements that are not empty.
    ResultFields Step(const std::string& aTitle, const std::string& aExport, const std::string& aRequest,
                      std::initializer_list<const char*> aMustHave = {}) {
        const auto o = aExport == "VERSION" ? Library.Version(Utf8ToUtf16(aRequest))
                                            : Library.Call(aExport, Utf8ToUtf16(aRequest));
        const std::string doc = Utf16ToUtf8(o.Output);
        std::cout << "=== " << aTitle << ": result " << o.Result << "\n";
        std::cout << "--- error text" << (o.ErrorWasNull ? " (null)" : "") << ": "
                  << Utf16ToUtf8(o.ErrorMessage) << "\n";
        std::cout << "--- document" << (o.OutputWasNull ? " (null)" : "") << ":\n" << doc << "\n";
        const ResultFields fields = ReadResultDocument(doc);
        std::string problem;
        if (o.Result != 0 || ResultField(fields, "Error") == "True") {
            problem = "the command failed";
        }
        for (const char* name : aMustHave) {
            if (ResultField(fields, name).empty()) {
                problem += (problem.empty() ? "" : "; ") + std::string(name) + " is empty";
            }
        }
        if (!problem.empty()) {
            ++Unexpected;
            std::cout << "!!! not what a cash register expects: " << problem << "\n";
        }
        std::cout << "\n";
        return fields;
    }
};
} // namespace

int RunDemo(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions) {
    p17emu::Config config;
    config.VoidCheck = true; // the void must name the payment exactly, as a terminal checks it
    config.Acquirer = "00000000001";
    config.EntryMode = "CLI";
    p17emu::TerminalEmulator terminal(config);
    if (aOptions.Frames) {
        terminal.SetObserver(
            [](const std::string& aLine) { std::cout << "    [terminal] " << aLine << "\n"; });
    }
    if (!terminal.StartTcp()) {
        std::cerr << "zrpa: cannot start the terminal emulator: " << terminal.Error() << "\n";
        return kExitFailed;
    }
    const std::string port = std::to_string(terminal.Port());
    std::cout << "Terminal emulator listening on 127.0.0.1:" << port << "\n\n";
    DemoRun run{aLibrary, "  <Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" + port +
                              "</Port><ConnectTimeout>2000</ConnectTimeout><ReadTimeout>2000</ReadTimeout>"
                              "</Connection>\n"};

    const auto version = aLibrary.Version(u"ZRPA_RIVEVEDEV17_10");
    std::cout << "=== VERSION ZRPA_RIVEVEDEV17_10: " << Utf16ToUtf8(version.Output) << "\n\n";
    if (version.Output.empty()) {
        ++run.Unexpected;
    }
    const std::string handle =
        ResultField(run.Step("OPEN", "OPEN", run.Request("", ""), {"Handle"}), "Handle");
    const auto pay = run.Step("PAY 12.34 EUR, receipt printed on the cash register", "PAY",
                              run.Request(handle, "  <Payment><Action>PAY</Action><Amount>12.34</Amount>"
                                                  "<Currency>EUR</Currency><PrintLocation>ECR</PrintLocation>"
                                                  "<TillCode>1</TillCode><Reference>DEMO-0001</Reference>"
                                                  "</Payment>\n"),
                              {"RefundReference", "MaskedPAN", "TraceAuditId", "AuthCode", "ReceiptText"});
    const std::string refundReference = ResultField(pay, "RefundReference");
    run.Step(
        "PAY VOID of that payment by its refund reference " + refundReference, "PAY",
        run.Request(handle, "  <Payment><Action>VOID</Action><Amount>12.34</Amount><Currency>EUR</Currency>"
                            "<PrintLocation>ECR</PrintLocation><TillCode>1</TillCode>"
                            "<RefundReference><PaymentId>" +
                                XmlEscape(refundReference) + "</PaymentId></RefundReference></Payment>\n"));
    run.Step("PAY REFUND 5.00 EUR", "PAY",
             run.Request(handle,
                         "  <Payment><Action>REFUND</Action><Amount>5.00</Amount><Currency>EUR</Currency>"
                         "<PrintLocation>ECR</PrintLocation><TillCode>1</TillCode></Payment>\n"));
    run.Step("REPRINT of the last receipt on the cash register", "REPRINT",
             run.Request(handle, "  <Reprint><PrintLocation>ECR</PrintLocation></Reprint>\n"),
             {"ReceiptText"});
    run.Step("GETTOTALS", "GETTOTALS",
             run.Request(handle, "  <GetTotals><TillCode>1</TillCode></GetTotals>\n"));
    const auto dayClose = run.Step("DAYCLOSE", "DAYCLOSE",
                                   run.Request(handle, "  <DayClose><TillCode>1</TillCode></DayClose>\n"));
    run.Step("CLOSE", "CLOSE", run.Request(handle, ""));

    const std::string log = ResultField(dayClose, "LogFileName");
    std::cout << "Device log: " << (log.empty() ? "(none reported)" : log) << "\n";
    terminal.Stop();
    if (run.Unexpected > 0) {
        std::cout << run.Unexpected << " results were not what a cash register expects\n";
        return kExitFailed;
    }
    std::cout << "Every result is what a cash register expects.\n";
    return kExitDone;
}
