// The soak: 10 000 payments from 8 host threads on 8 open devices (handles), then 2 000 payments without
// handles, through the exports of the library loaded at run time, each device against its own terminal
// emulator on 127.0.0.1. Every result is checked; threads, open descriptors and resident memory are
// sampled every 1 000 payments; at the end the device logs are counted line by line.
//
//   zr_soak [payments-with-handles] [payments-without-handles]     (defaults 10000 and 2000)
//
// Prints the series as a Markdown table and exits non-zero when a result was wrong or a log line is
// missing. Run by hand (niced) and by the nightly-style target, not by the test command.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LoadedLibrary.h"
#include "emulator/TerminalEmulator.h"

namespace {
namespace fs = std::filesystem;
constexpr int kThreads = 8;
constexpr int kSampleEvery = 1000;
// Every hundredth payment prints on the cash register, so receipt collection (with its prescribed 1 s
// pause) is part of the soak without making it last hours.
constexpr int kEcrEvery = 100;

struct Sample {
    int Payments = 0;
    long Threads = 0;
    long Descriptors = 0;
    long RssKiB = 0;
};

long StatusField(const std::string& aName) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(aName + ":", 0) == 0) {
            return std::stol(line.substr(aName.size() + 1));
        }
    }
    return -1;
}

long OpenDescriptors() {
    long n = 0;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc/self/fd", ec); it != fs::directory_iterator(); ++it) {
        ++n;
    }
    return n;
}

std::string Element(const std::string& aDocument, const std::string& aName) {
    const auto start = aDocument.find("<" + aName + ">");
    const auto end = aDocument.find("</" + aName + ">");
    if (start == std::string::npos || end == std::string::npos) {
        return "(absent)";
    }
    const auto from = start + aName.size() + 2;
    return aDocument.substr(from, end - from);
}

// "3.8" or "3.80" as 380; -1 when it is no amount.
long Cents(const std::string& aAmount) {
    const auto dot = aAmount.find('.');
    const std::string whole = aAmount.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : aAmount.substr(dot + 1);
    fraction.resize(2, '0');
    if (whole.empty() || whole.find_first_not_of("0123456789") != std::string::npos ||
        fraction.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    return std::stol(whole) * 100 + std::stol(fraction);
}

std::string Request(std::uint16_t aPort, const std::string& aLogId, const std::string& aHandle,
                    const std::string& aSection) {
    return "<ReceiptPrinterManager Version=\"1.0\"><Driver>ZRPA_RIVEVEDEV17_10</Driver><LogId>" + aLogId +
           "</LogId>" + (aHandle.empty() ? "" : "<Handle>" + aHandle + "</Handle>") +
           "<Connection><Type>TCP</Type><Address>127.0.0.1</Address><Port>" + std::to_string(aPort) +
           "</Port><ReadTimeout>5000</ReadTimeout></Connection>" + aSection + "</ReceiptPrinterManager>";
}

class Soak {
public:
    explicit Soak(LoadedLibrary& aLibrary) : fLibrary(aLibrary) {}

    // One payment with a unique amount; false (and a printed reason) when any part of the result is wrong.
    bool Pay(std::uint16_t aPort, const std::string& aLogId, const std::string& aHandle, int aNumber) {
        const long cents = 100 + aNumber; // unique per payment, so a crossed result shows
        char amount[32];
        std::snprintf(amount, sizeof amount, "%ld.%02ld", cents / 100, cents % 100);
        const bool ecr = aNumber % kEcrEvery == 0;
        const std::string section = std::string("<Payment><Amount>") + amount +
                                    "</Amount><TillCode>5</TillCode><PrintLocation>" + (ecr ? "ECR" : "EFT") +
                                    "</PrintLocation></Payment>";
        const auto o = fLibrary.Call("PAY", Utf8ToUtf16(Request(aPort, aLogId, aHandle, section)));
        const std::string doc = Utf16ToUtf8(o.Output);
        {
            const std::lock_guard<std::mutex> lock(fLock);
            fLogFiles.insert(Element(doc, "LogFileName"));
        }
        std::string wrong;
        if (o.Result != 0 || Element(doc, "Error") != "False") {
            wrong = "result " + std::to_string(o.Result) + " " + Utf16ToUtf8(o.ErrorMessage);
        } else if (Cents(Element(doc, "PaymentAmount")) != cents) {
            wrong = "amount " + Element(doc, "PaymentAmount") + " instead of " + amount;
        } else if (Element(doc, "RefundReference").size() != 34) {
            wrong = "refund reference '" + Element(doc, "RefundReference") + "'";
        } else if (ecr && Element(doc, "ReceiptText").find("TRANSAZIONE ESEGUITA") == std::string::npos) {
            wrong = "no receipt text";
        }
        if (!wrong.empty()) {
            const std::lock_guard<std::mutex> lock(fLock);
            std::fprintf(stderr, "payment %d on %s: %s\n", aNumber, aLogId.c_str(), wrong.c_str());
            ++fWrong;
        }
        Done();
        return wrong.empty();
    }

    void Done() {
        const int n = ++fDone;
        if (n % kSampleEvery == 0) {
            const Sample s{n, StatusField("Threads"), OpenDescriptors(), StatusField("VmRSS")};
            const std::lock_guard<std::mutex> lock(fLock);
            fSamples.push_back(s);
            std::fprintf(stderr, "%6d payments: %ld threads, %ld descriptors, %ld KiB resident\n", s.Payments,
                         s.Threads, s.Descriptors, s.RssKiB);
        }
    }

    int Wrong() const { return fWrong; }
    std::vector<Sample> Samples() const { return fSamples; }
    std::set<std::string> LogFiles() const { return fLogFiles; }

private:
    LoadedLibrary& fLibrary;
    std::mutex fLock;
    std::atomic<int> fDone{0};
    int fWrong = 0;
    std::vector<Sample> fSamples;
    std::set<std::string> fLogFiles; // as the results name them
};

// Lines of a log file and of its rotated parts (same name, a suffix before ".log"), and the lines among
// them that open a payment.
std::pair<long, long> CountLogLines(const fs::path& aFile) {
    long lines = 0;
    long banners = 0;
    std::error_code ec;
    const std::string stem = aFile.stem().string();
    for (const auto& e : fs::directory_iterator(aFile.parent_path(), ec)) {
        if (e.path().filename().string().rfind(stem, 0) != 0) {
            continue;
        }
        std::ifstream in(e.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            ++lines;
            banners += line.find(std::string(60, '-') + " Pay") != std::string::npos ? 1 : 0;
        }
    }
    return {lines, banners};
}
} // namespace

int main(int argc, char** argv) {
    const int withHandles = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int withoutHandles = argc > 2 ? std::atoi(argv[2]) : 2000;
    const fs::path logFolder = fs::path(LoadedLibrary::DefaultPath()).parent_path() / "LogFiles" / "Payment";
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(logFolder, ec)) {
        if (e.path().filename().string().find("_soak") != std::string::npos) {
            fs::remove(e.path(), ec);
        }
    }
    std::vector<std::unique_ptr<p17emu::TerminalEmulator>> terminals;
    for (int t = 0; t < kThreads; ++t) {
        terminals.push_back(std::make_unique<p17emu::TerminalEmulator>());
        if (!terminals.back()->StartTcp()) {
            std::fprintf(stderr, "emulator: %s\n", terminals.back()->Error().c_str());
            return 2;
        }
    }
    LoadedLibrary library;
    if (!library.IsLoaded()) {
        std::fprintf(stderr, "%s\n", library.LoadError().c_str());
        return 2;
    }
    Soak soak(library);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::uint16_t port = terminals[t]->Port();
            const std::string logId = "soak" + std::to_string(t);
            const auto open = library.Call("OPEN", Utf8ToUtf16(Request(port, logId, "", "")));
            const std::string handle = Element(Utf16ToUtf8(open.Output), "Handle");
            for (int i = t; i < withHandles; i += kThreads) {
                soak.Pay(port, logId, handle, i);
                // The emulator keeps every frame it saw; the soak measures the library, not that record.
                terminals[t]->ClearTraffic();
            }
            library.Call("CLOSE", Utf8ToUtf16(Request(port, logId, handle, "")));
            const std::string oneShot = "soakn" + std::to_string(t);
            for (int i = t; i < withoutHandles; i += kThreads) {
                soak.Pay(port, oneShot, "", withHandles + i);
                terminals[t]->ClearTraffic();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    library.Unload();

    long lines = 0;
    long banners = 0;
    for (const std::string& file : soak.LogFiles()) {
        const auto [l, b] = CountLogLines(file);
        lines += l;
        banners += b;
    }
    const long payments = withHandles + withoutHandles;
    std::printf("| Payments | Threads | Open descriptors | Resident memory (KiB) |\n|---|---|---|---|\n");
    for (const Sample& s : soak.Samples()) {
        std::printf("| %d | %ld | %ld | %ld |\n", s.Payments, s.Threads, s.Descriptors, s.RssKiB);
    }
    std::printf("\n%ld payments in %.0f s (%.1f per second); wrong results: %d; payment banners in the "
                "device logs: %ld of %ld; log lines in all: %ld (%.1f per payment)\n",
                payments, seconds, payments / seconds, soak.Wrong(), banners, payments, lines,
                static_cast<double>(lines) / payments);
    return soak.Wrong() == 0 && banners == payments ? 0 : 1;
}
