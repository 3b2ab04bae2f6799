// zrpa-host: drives the library through its exports, as a cash register does.
//
//   zrpa-host demo [--frames]       a day at the till against the built-in terminal emulator on
//                                   127.0.0.1: a payment printed on the cash register, the void of that
//                                   payment by its refund reference, a refund, a reprint, the totals and
//                                   a day close; --frames also shows every frame on the link
//   zrpa-host COMMAND [FILE|-]      one export (PAY, OPEN, ..., VERSION) with the request read from FILE
//                                   or standard input; prints the result code, error text and document
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "LoadedLibrary.h"
#include "emulator/TerminalEmulator.h"

namespace {
void Print(const std::string& aTitle, const LoadedLibrary::Outcome& o) {
    std::cout << "=== " << aTitle << ": result " << o.Result << "\n";
    std::cout << "--- error text" << (o.ErrorWasNull ? " (null)" : "") << ": " << Utf16ToUtf8(o.ErrorMessage)
              << "\n";
    std::cout << "--- document" << (o.OutputWasNull ? " (null)" : "") << ":\n"
              << Utf16ToUtf8(o.Output) << "\n\n";
}

// The text of the first element aName of a result document, entities resolved.
std::string Element(const std::u16string& aDocument, const std::string& aName) {
    const std::string doc = Utf16ToUtf8(aDocument);
    const std::string open = "<" + aName + ">";
    const auto start = doc.find(open);
    const auto end = start == std::string::npos ? start : doc.find("</" + aName + ">", start);
    if (end == std::string::npos) {
        return std::string();
    }
    std::string value = doc.substr(start + open.size(), end - start - open.size());
    const struct {
        const char* Entity;
        char Character;
    } kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    for (const auto& e : kEntities) {
        for (auto p = value.find(e.Entity); p != std::string::npos; p = value.find(e.Entity, p + 1)) {
            value.replace(p, std::string(e.Entity).size(), 1, e.Character);
        }
    }
    return value;
}

std::u16string Request(const std::string& aConnection, const std::string& aHandle,
                       const std::string& aSection) {
    return Utf8ToUtf16("<ReceiptPrinterManager Version=\"1.0\">\n"
                       "  <Driver>ZRPA_RIVEVEDEV17_10</Driver>\n"
                       "  <LogId>demo</LogId>\n" +
                       (aHandle.empty() ? std::string() : "  <Handle>" + aHandle + "</Handle>\n") +
                       aConnection + aSection + "</ReceiptPrinterManager>\n");
}

int Demo(LoadedLibrary& lib, bool aFrames) {
    p17emu::Config config;
    config.VoidCheck = true; // the void must name the payment exactly, as a terminal checks it
    config.Acquirer = "00000000001";
    config.EntryMode = "CLI";
    p17emu::TerminalEmulator terminal(config);
    if (aFrames) {
        terminal.SetObserver(
            [](const std::string& aLine) { std::cout << "    [terminal] " << aLine << "\n"; });
    }
    if (!terminal.StartTcp()) {
        std::cerr << "cannot start the terminal emulator: " << terminal.Error() << "\n";
        return 2;
    }
    const std::string port = std::to_string(terminal.Port());
    std::cout << "Terminal emulator listening on 127.0.0.1:" << port << "\n\n";
    const std::string connection =
        "  <Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" + port +
        "</Port><ConnectTimeout>2000</ConnectTimeout><ReadTimeout>2000</ReadTimeout>"
        "</Connection>\n";

    Print("VERSION ZRPA_RIVEVEDEV17_10", lib.Version(u"ZRPA_RIVEVEDEV17_10"));

    const auto open = lib.Call("OPEN", Request(connection, "", ""));
    Print("OPEN", open);
    const std::string handle = Element(open.Output, "Handle");

    const auto pay = lib.Call(
        "PAY",
        Request(connection, handle,
                "  <Payment><Action>PAY</Action><Amount>12.34</Amount><Currency>EUR</Currency>"
                "<PrintLocation>ECR</PrintLocation><TillCode>1</TillCode><Reference>DEMO-0001</Reference>"
                "</Payment>\n"));
    Print("PAY 12.34 EUR, receipt printed on the cash register", pay);
    const std::string refundReference = Element(pay.Output, "RefundReference");

    Print("PAY VOID of that payment by its refund reference " + refundReference,
          lib.Call("PAY",
                   Request(connection, handle,
                           "  <Payment><Action>VOID</Action><Amount>12.34</Amount><Currency>EUR</Currency>"
                           "<PrintLocation>ECR</PrintLocation><TillCode>1</TillCode>"
                           "<RefundReference><PaymentId>" +
                               refundReference + "</PaymentId></RefundReference></Payment>\n")));

    Print("PAY REFUND 5.00 EUR",
          lib.Call("PAY",
                   Request(connection, handle,
                           "  <Payment><Action>REFUND</Action><Amount>5.00</Amount><Currency>EUR</Currency>"
                           "<PrintLocation>ECR</PrintLocation><TillCode>1</TillCode></Payment>\n")));

    Print("REPRINT of the last receipt on the cash register",
          lib.Call("REPRINT",
                   Request(connection, handle, "  <Reprint><PrintLocation>ECR</PrintLocation></Reprint>\n")));

    Print("GETTOTALS", lib.Call("GETTOTALS", Request(connection, handle,
                                                     "  <GetTotals><TillCode>1</TillCode></GetTotals>\n")));

    const auto dayClose =
        lib.Call("DAYCLOSE", Request(connection, handle, "  <DayClose><TillCode>1</TillCode></DayClose>\n"));
    Print("DAYCLOSE", dayClose);

    Print("CLOSE", lib.Call("CLOSE", Request(connection, handle, "")));

    const std::string log = Element(dayClose.Output, "LogFileName");
    std::cout << "Device log: " << (log.empty() ? "(none reported)" : log) << "\n";
    terminal.Stop();
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "demo";
    LoadedLibrary lib;
    if (!lib.IsLoaded()) {
        std::cerr << "cannot load the library: " << lib.LoadError() << "\n";
        return 2;
    }
    if (command == "demo") {
        return Demo(lib, argc > 2 && std::string(argv[2]) == "--frames");
    }
    std::stringstream request;
    if (argc > 2 && std::string(argv[2]) != "-") {
        std::ifstream in(argv[2], std::ios::binary);
        if (!in) {
            std::cerr << "cannot read " << argv[2] << "\n";
            return 2;
        }
        request << in.rdbuf();
    } else if (command != "GETSTATUS") {
        request << std::cin.rdbuf();
    }
    const auto outcome = command == "VERSION" ? lib.Version(Utf8ToUtf16(request.str()))
                                              : lib.Call(command, Utf8ToUtf16(request.str()));
    Print(command, outcome);
    return outcome.Result == 0 ? 0 : 1;
}
