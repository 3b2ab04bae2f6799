#pragma once
// The terminal emulator of tools/emulator, started in process for one test.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/Text.h"
#include "emulator/P17Wire.h"
#include "emulator/TerminalEmulator.h"
#include "support/PaymentLogs.h"

// A terminal on 127.0.0.1 (ephemeral port), stopped with the fixture. It starts with no journal in the
// library's log folder beside the test program.
class EmulatedTerminal {
public:
    explicit EmulatedTerminal(const p17emu::Config& aConfig = p17emu::Config()) : fEmulator(aConfig) {
        EXPECT_TRUE(fEmulator.StartTcp()) << fEmulator.Error();
        ForgetJournalOf(fEmulator.Port());
    }
    p17emu::TerminalEmulator& operator*() { return fEmulator; }
    p17emu::TerminalEmulator* operator->() { return &fEmulator; }
    std::uint16_t Port() const { return fEmulator.Port(); }
    // The bytes the driver sent, as the terminal received them.
    std::vector<std::string> Frames() {
        fEmulator.WaitIdle(5000);
        return fEmulator.RequestFrames();
    }

private:
    p17emu::TerminalEmulator fEmulator;
};

// True once the terminal has accepted a request whose code letter (position 10) is aCode; gives up after
// about 10 s.
inline bool WaitForRequest(const p17emu::TerminalEmulator& aTerminal, char aCode) {
    for (int i = 0; i < 1000; ++i) {
        for (const std::string& r : aTerminal.Requests()) {
            if (r.size() >= 10 && r[9] == aCode) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A port on 127.0.0.1 where nothing listens (it was listening a moment ago).
inline std::uint16_t ClosedLoopbackPort() {
    p17emu::TerminalEmulator probe;
    probe.StartTcp();
    const std::uint16_t port = probe.Port();
    probe.Stop();
    return port;
}

// The bytes of a frame the driver should send: built by the emulator's own framing.
inline std::string RequestFrame(const std::string& aText) {
    return p17emu::DataFrame(aText);
}

// --- requests and result documents as a host writes and reads them --------------------------------

// A request for the driver with a TCP connection to 127.0.0.1:aPort; aSection is the command section
// (for example "<Payment>...</Payment>"), aExtra more envelope elements (Handle, Parameters).
inline std::u16string TcpRequest(std::uint16_t aPort, const std::string& aSection,
                                 const std::string& aExtra = "") {
    const std::string xml = "<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver>"
                            "<LogId>e2e</LogId>" +
                            aExtra + "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" +
                            std::to_string(aPort) + "</Port></Connection>" + aSection +
                            "</ReceiptPrinterManager>";
    return std::u16string(xml.begin(), xml.end());
}

// The text between <aName> and </aName> of a result document (still escaped); "(absent)" when missing.
inline std::string DocumentElement(const std::u16string& aDocument, const std::string& aName) {
    const std::string doc = TextToUtf8(aDocument);
    const std::string open = "<" + aName + ">";
    const auto start = doc.find(open);
    const auto end = start == std::string::npos ? start : doc.find("</" + aName + ">", start);
    return end == std::string::npos ? "(absent)" : doc.substr(start + open.size(), end - start - open.size());
}
