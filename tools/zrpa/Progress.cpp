#include "Progress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "LogLines.h"

namespace {
std::atomic<int> gInterrupts{0};

void OnInterrupt(int) {
    ++gInterrupts;
    // Some systems reset the handler once it ran; the second Ctrl+C must still come here.
    std::signal(SIGINT, OnInterrupt);
}

const char* const kCancelNotice = "\nCancelling: the library stops waiting for the terminal (Ctrl+C again "
                                  "to leave at once).\n";

const char* const kInterruptWarning =
    "\nInterrupted. The terminal may still complete the payment: do not take it again before you have\n"
    "looked at the terminal (its display, its receipt or its list of transactions) and at the log\n"
    "(zrpa log FILE --outcome unknown). zrpa ends with status 3, outcome unknown.\n";

// How long a cancelled call may take to return before zrpa leaves without its result.
constexpr auto kCancelGrace = std::chrono::seconds(5);

// At most aMax characters of UTF-8 text, cut at a character boundary.
std::string Cut(const std::string& aText, std::size_t aMax) {
    std::size_t chars = 0, i = 0;
    for (; i < aText.size(); ++i) {
        if ((static_cast<unsigned char>(aText[i]) & 0xC0) != 0x80 && chars++ == aMax) {
            return aText.substr(0, i) + "...";
        }
    }
    return aText;
}

std::filesystem::path PathOf(const std::string& aUtf8) {
    return std::filesystem::path(std::u8string(aUtf8.begin(), aUtf8.end()));
}
} // namespace

std::string NewestLogFile(const std::vector<std::string>& aFolders, const std::string& aPrefix) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path newest;
    fs::file_time_type newestTime{};
    for (const std::string& folder : aFolders) {
        for (fs::directory_iterator it(PathOf(folder), ec), end; !ec && it != end; it.increment(ec)) {
            const std::u8string u8name = it->path().filename().u8string();
            const std::string name(u8name.begin(), u8name.end());
            const auto time = it->last_write_time(ec);
            if (!ec && name.starts_with(aPrefix) && (newest.empty() || time > newestTime)) {
                newest = it->path();
                newestTime = time;
            }
        }
        ec.clear();
    }
    const std::u8string path = newest.u8string();
    return std::string(path.begin(), path.end());
}

LogMark MarkNewestLog(const std::vector<std::string>& aFolders, const std::string& aPrefix) {
    LogMark mark;
    mark.File = NewestLogFile(aFolders, aPrefix);
    std::error_code ec;
    const std::uintmax_t size = mark.File.empty() ? 0 : std::filesystem::file_size(PathOf(mark.File), ec);
    mark.Size = ec ? 0 : size;
    return mark;
}

std::string LatestLogLine(const std::vector<std::string>& aFolders, const std::string& aPrefix,
                          const LogMark& aSince, std::size_t aMax) {
    const std::string newest = NewestLogFile(aFolders, aPrefix);
    if (newest.empty()) {
        return std::string();
    }
    std::ifstream in(PathOf(newest), std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // A file that shrank was begun anew (rotated): all of it is new.
    std::streamoff from = newest == aSince.File && static_cast<std::uintmax_t>(size) >= aSince.Size
                              ? static_cast<std::streamoff>(aSince.Size)
                              : 0;
    from = std::max<std::streamoff>(from, size - 4096);
    if (size <= from) {
        return std::string();
    }
    in.seekg(from);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    const auto lines = SplitLogLines(tail);
    if (lines.empty()) {
        return std::string();
    }
    std::string text;
    for (const char c : lines.back().Text) {
        text += static_cast<unsigned char>(c) < 0x20 ? ShowBytes(std::string(1, c)) : std::string(1, c);
    }
    return Cut(text, aMax);
}

void RunWithProgress(const std::function<void()>& aCall, const std::function<void()>& aCancel,
                     const std::function<std::string()>& aLatestLine, bool aInPlace, std::FILE* aOut) {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    std::thread worker([&]() {
        aCall();
        std::lock_guard<std::mutex> guard(lock);
        done = true;
        changed.notify_all();
    });
    gInterrupts = 0;
    auto previous = std::signal(SIGINT, OnInterrupt);
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point cancelled{};
    std::string shownLine;
    long long shownSecond = -1, lastPlain = -10;
    std::unique_lock<std::mutex> guard(lock);
    // Ends when the call returns: the driver bounds every wait of its own.
    while (!done) {
        guard.unlock();
        // The first Ctrl+C cancels the call, which then returns its own result within a second; a second
        // one, or a call that does not return, leaves without it.
        const int interrupts = gInterrupts;
        if (interrupts == 1 && cancelled == std::chrono::steady_clock::time_point{}) {
            cancelled = std::chrono::steady_clock::now();
            std::fputs(kCancelNotice, aOut);
            std::fflush(aOut);
            aCancel();
        }
        if (interrupts > 1 ||
            (interrupts == 1 && std::chrono::steady_clock::now() - cancelled > kCancelGrace)) {
            std::fputs(kInterruptWarning, aOut);
            std::fflush(aOut);
            std::_Exit(3);
        }
        const long long seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
                .count();
        const std::string line = aLatestLine();
        if (aInPlace && (seconds != shownSecond || line != shownLine)) {
            std::string text = std::to_string(seconds) + " s: " + (line.empty() ? "working" : line);
            text.resize(std::max<std::size_t>(text.size(), 79), ' ');
            std::fprintf(aOut, "\r%s", text.c_str());
        } else if (!aInPlace &&
                   (seconds - lastPlain >= 10 || (line != shownLine && seconds != shownSecond))) {
            std::fprintf(aOut, "%lld s: %s\n", seconds, line.empty() ? "working" : line.c_str());
            lastPlain = seconds;
        }
        std::fflush(aOut);
        shownLine = line;
        shownSecond = seconds;
        guard.lock();
        changed.wait_for(guard, std::chrono::milliseconds(250), [&] { return done; });
    }
    guard.unlock();
    worker.join();
    std::signal(SIGINT, previous);
    if (aInPlace) {
        std::fprintf(aOut, "\r%79s\r", "");
        std::fflush(aOut);
    }
}
