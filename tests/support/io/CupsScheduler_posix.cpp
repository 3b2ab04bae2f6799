#include "support/CupsScheduler.h"

#include <cups/cups.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace {
constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kPassThroughFilter = "/usr/lib/cups/filter/gziptoany";
constexpr int kPollMs = 50;
constexpr int kStartWaitMs = 15000;
constexpr int kJobWaitMs = 20000;

void WriteFile(const std::filesystem::path& aPath, const std::string& aText) {
    std::ofstream out(aPath, std::ios::binary);
    out << aText;
}

std::string ReadTail(const std::filesystem::path& aPath) {
    std::ifstream in(aPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string all = s.str();
    return all.size() > 600 ? all.substr(all.size() - 600) : all;
}

bool SocketAnswers(const std::string& aPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    aPath.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

void Sleep() {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
}
} // namespace

CupsScheduler::CupsScheduler(const std::vector<std::string>& aQueues,
                             const std::vector<std::string>& aRefusing) {
    std::random_device random;
    // A short folder name: the socket path must fit a sockaddr_un.
    fRoot = std::filesystem::path("/tmp") / ("zr-cups-" + std::to_string(random() % 1000000000u));
    fSocket = (fRoot / "cups.sock").string();
    if (const char* previous = std::getenv("CUPS_SERVER")) {
        fHadPreviousServer = true;
        fPreviousServer = previous;
    }
    Start(aQueues, aRefusing);
}

void CupsScheduler::Start(const std::vector<std::string>& aQueues,
                          const std::vector<std::string>& aRefusing) {
    namespace fs = std::filesystem;
    if (!fs::exists(kCupsd)) {
        fError = std::string(kCupsd) + " is not installed (Debian package cups-daemon)";
        return;
    }
    if (!fs::exists(kPassThroughFilter)) {
        fError = std::string(kPassThroughFilter) + " is missing (Debian package cups)";
        return;
    }
    if (geteuid() != 0) {
        fError = "a private cupsd needs root here (it drops to the lp user for its filters)";
        return;
    }
    std::error_code ec;
    for (const char* sub : {"conf/ppd", "spool/tmp", "cache", "state", "log", "out"}) {
        fs::create_directories(fRoot / sub, ec);
    }
    // The filters run as lp: they must reach the spool's temporary folder and the file devices' folder.
    fs::permissions(fRoot / "spool" / "tmp", fs::perms::all, ec);
    fs::permissions(fRoot / "out", fs::perms::all, ec);

    const std::string root = fRoot.string();
    WriteFile(fRoot / "conf" / "cupsd.conf",
              "Listen " + fSocket +
                  "\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                  "DefaultAuthType None\nMaxJobs 100\nPreserveJobFiles No\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  "<Policy default>\n  <Limit All>\n    Order allow,deny\n"
                  "    Allow all\n  </Limit>\n</Policy>\n");
    WriteFile(fRoot / "conf" / "cups-files.conf",
              "FileDevice Yes\nServerRoot " + root + "/conf\nRequestRoot " + root + "/spool\nTempDir " +
                  root + "/spool/tmp\nCacheDir " + root + "/cache\nStateDir " + root + "/state\nErrorLog " +
                  root + "/log/error_log\nAccessLog " + root + "/log/access_log\nPageLog " + root +
                  "/log/page_log\nUser lp\nGroup lp\n");
    std::string printers;
    std::vector<std::string> queues = aQueues;
    queues.insert(queues.end(), aRefusing.begin(), aRefusing.end());
    for (const auto& queue : queues) {
        const bool accepting = std::find(aRefusing.begin(), aRefusing.end(), queue) == aRefusing.end();
        printers += "<Printer " + queue + ">\nInfo Spooler test queue\nDeviceURI file://" +
                    OutputFile(queue).string() + "\nState Idle\nAccepting " + (accepting ? "Yes" : "No") +
                    "\nShared No\nJobSheets none none\nErrorPolicy abort-job\n</Printer>\n";
        fs::copy_file(fs::path(ZR_TEST_SUPPORT_DIR) / "CupsTestPrinter.ppd",
                      fRoot / "conf" / "ppd" / (queue + ".ppd"), fs::copy_options::overwrite_existing, ec);
    }
    WriteFile(fRoot / "conf" / "printers.conf", printers);

    const std::string conf = (fRoot / "conf" / "cupsd.conf").string();
    const std::string files = (fRoot / "conf" / "cups-files.conf").string();
    char* argv[] = {const_cast<char*>(kCupsd),
                    const_cast<char*>("-f"),
                    const_cast<char*>("-c"),
                    const_cast<char*>(conf.c_str()),
                    const_cast<char*>("-s"),
                    const_cast<char*>(files.c_str()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, kCupsd, nullptr, nullptr, argv, environ) != 0) {
        fError = "cannot start cupsd";
        return;
    }
    fPid = pid;
    setenv("CUPS_SERVER", fSocket.c_str(), 1);
    UseOnThisThread();
    for (int waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            fPid = 0;
            fError = "cupsd stopped at once: " + ReadTail(fRoot / "log" / "error_log");
            return;
        }
        if (SocketAnswers(fSocket)) {
            bool all = true;
            for (const auto& queue : queues) {
                cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
                all = all && dest != nullptr;
                cupsFreeDests(dest != nullptr ? 1 : 0, dest);
            }
            if (all) {
                return;
            }
        }
        Sleep();
    }
    fError = "cupsd did not come up: " + ReadTail(fRoot / "log" / "error_log");
}

CupsScheduler::~CupsScheduler() {
    if (fPid > 0) {
        kill(fPid, SIGTERM);
        bool ended = false;
        for (int waited = 0; waited < 10000 && !ended; waited += kPollMs) {
            ended = waitpid(fPid, nullptr, WNOHANG) == fPid;
            if (!ended) {
                Sleep();
            }
        }
        if (!ended) {
            kill(fPid, SIGKILL);
            waitpid(fPid, nullptr, 0);
        }
    }
    if (fHadPreviousServer) {
        setenv("CUPS_SERVER", fPreviousServer.c_str(), 1);
    } else {
        unsetenv("CUPS_SERVER");
    }
    cupsSetServer(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(fRoot, ec);
}

void CupsScheduler::UseOnThisThread() const {
    cupsSetServer(fSocket.c_str());
}

bool CupsScheduler::WaitIdle(const std::string& aQueue) const {
    for (int waited = 0; waited < kJobWaitMs; waited += kPollMs) {
        cups_job_t* jobs = nullptr;
        const int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, aQueue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active > 0 ? active : 0, jobs);
        if (active == 0) {
            return true;
        }
        Sleep();
    }
    return false;
}
