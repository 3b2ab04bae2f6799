// The sample requests of examples/requests, each sent as it stands through the loaded library to the
// terminal emulator: only the emulator's port, the handle that OPEN returned and the refund reference of
// a payment just made are put in, where a host would put its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "LoadedLibrary.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
const std::filesystem::path kSamples = std::filesystem::path(ZR_EXAMPLES_DIR) / "requests";

std::string Sample(const std::string& aName) {
    std::ifstream in(kSamples / aName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << aName << " is missing";
    return text.str();
}

// aText with the first occurrence of aFrom replaced by aTo; the sample must hold aFrom.
std::string Replaced(std::string aText, const std::string& aFrom, const std::string& aTo) {
    const auto at = aText.find(aFrom);
    EXPECT_NE(at, std::string::npos) << aFrom;
    return at == std::string::npos ? aText : aText.replace(at, aFrom.size(), aTo);
}

std::string Element(const LoadedLibrary::Outcome& aOutcome, const std::string& aName) {
    return DocumentElement(aOutcome.Output, aName);
}

struct Sent {
    std::string File;
    LoadedLibrary::Outcome Outcome;
};

// Sends sample aFile to the emulator on aPort through export aExport; aEdit makes further changes.
Sent Send(LoadedLibrary& aLib, const std::string& aExport, const std::string& aFile, std::uint16_t aPort,
          const std::function<std::string(std::string)>& aEdit = nullptr) {
    std::string request = Sample(aFile);
    if (request.find("<Port>5017</Port>") != std::string::npos) {
        request = Replaced(request, "<Port>5017</Port>", "<Port>" + std::to_string(aPort) + "</Port>");
    }
    if (aEdit) {
        request = aEdit(request);
    }
    return {aFile, aLib.Call(aExport, Utf8ToUtf16(request))};
}

std::string WithPaymentId(const std::string& aRequest, const std::string& aReference) {
    return Replaced(aRequest, "00010YA000000010000YAA1B2C30F34XL3", aReference);
}
} // namespace

TEST(SampleRequests, EveryCommandAndActionOverTcp) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    p17emu::Config config;
    config.VoidCheck = true; // a void must name an approved payment exactly
    EmulatedTerminal terminal(config);
    const std::uint16_t port = terminal.Port();

    std::vector<Sent> sent;
    const auto payment = [&](const std::string& aFile) {
        sent.push_back(Send(lib, "PAY", aFile, port));
        return Element(sent.back().Outcome, "RefundReference");
    };
    for (const std::string where : {"ecr", "eft"}) {
        const std::string reference = payment("pay-" + where + ".xml");
        ASSERT_EQ(reference.size(), 34u) << reference;
        sent.push_back(Send(lib, "PAY", "void-" + where + ".xml", port,
                            [&](std::string r) { return WithPaymentId(r, reference); }));
        sent.push_back(Send(lib, "PAY", "refund-" + where + ".xml", port));
    }
    sent.push_back(Send(lib, "REPRINT", "reprint.xml", port));
    sent.push_back(Send(lib, "GETTOTALS", "gettotals.xml", port));
    sent.push_back(Send(lib, "DAYCLOSE", "dayclose.xml", port));
    sent.push_back(Send(lib, "GETSTATUS", "getstatus.xml", port));
    sent.push_back(Send(lib, "OPEN", "open-tcp.xml", port));
    const std::string handle = Element(sent.back().Outcome, "Handle");
    // Nothing runs on the handle: CANCEL succeeds and reaches no command.
    sent.push_back(Send(lib, "CANCEL", "cancel.xml", port, [&](std::string r) {
        return Replaced(r, "<Handle>1</Handle>", "<Handle>" + handle + "</Handle>");
    }));
    EXPECT_EQ(Element(sent.back().Outcome, "Cancelled"), "0");
    sent.push_back(Send(lib, "CLOSE", "close.xml", port, [&](std::string r) {
        return Replaced(r, "<Handle>1</Handle>", "<Handle>" + handle + "</Handle>");
    }));
    for (const auto& s : sent) {
        EXPECT_EQ(s.Outcome.Result, 0) << s.File << ": " << Utf16ToUtf8(s.Outcome.ErrorMessage);
        const bool printsOnTheRegister = s.File.find("ecr") != std::string::npos || s.File == "reprint.xml";
        if (s.File.find("pay-") == 0 || s.File.find("void-") == 0 || s.File.find("refund-") == 0 ||
            s.File == "reprint.xml") {
            EXPECT_EQ(Element(s.Outcome, "ReceiptText").empty(), !printsOnTheRegister) << s.File;
        }
    }
    EXPECT_TRUE(terminal->Problems().empty()) << terminal->Problems().front();

    // VERIFYTRAN is read and answered without the terminal: this driver declines it.
    const Sent verify = Send(lib, "VERIFYTRAN", "verifytran.xml", port);
    EXPECT_EQ(verify.Outcome.Result, -1);
    EXPECT_EQ(Utf16ToUtf8(verify.Outcome.ErrorMessage), "unsupported");
}

TEST(SampleRequests, OpenOverSerialThenPayOnThatDevice) {
    LoadedLibrary lib;
    ASSERT_TRUE(lib.IsLoaded()) << lib.LoadError();
    p17emu::TerminalEmulator terminal;
    ASSERT_TRUE(terminal.StartPty()) << terminal.Error();
    ::setenv("ZRPA_SERIAL_COM1", terminal.SlavePath().c_str(), 1); // COM1 of the sample is the emulator

    const Sent open = Send(lib, "OPEN", "open-serial.xml", 0);
    ASSERT_EQ(open.Outcome.Result, 0) << Utf16ToUtf8(open.Outcome.ErrorMessage);
    const std::string handle = "<Handle>" + Element(open.Outcome, "Handle") + "</Handle>";
    const Sent pay = Send(lib, "PAY", "pay-ecr.xml", 0, [&](std::string r) {
        return Replaced(r, "<LogId>", handle + "<LogId>"); // the open device: its serial line is used
    });
    EXPECT_EQ(pay.Outcome.Result, 0) << Utf16ToUtf8(pay.Outcome.ErrorMessage);
    EXPECT_EQ(Element(pay.Outcome, "PaymentAmount"), "12.34");
    const Sent close = Send(lib, "CLOSE", "close.xml", 0,
                            [&](std::string r) { return Replaced(r, "<Handle>1</Handle>", handle); });
    EXPECT_EQ(close.Outcome.Result, 0) << Utf16ToUtf8(close.Outcome.ErrorMessage);
    ::unsetenv("ZRPA_SERIAL_COM1");
}

TEST(SampleRequests, EverySampleIsSentByATest) {
    const std::set<std::string> tested = {
        "pay-ecr.xml",    "pay-eft.xml",     "void-ecr.xml",  "void-eft.xml",   "refund-ecr.xml",
        "refund-eft.xml", "reprint.xml",     "gettotals.xml", "dayclose.xml",   "getstatus.xml",
        "open-tcp.xml",   "open-serial.xml", "close.xml",     "verifytran.xml", "cancel.xml"};
    std::set<std::string> present;
    for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
        if (entry.path().extension() == ".xml") {
            present.insert(entry.path().filename().string());
        }
    }
    EXPECT_EQ(present, tested);
}
