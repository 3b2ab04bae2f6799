// A host killed (SIGKILL) at every step of a payment and at spread offsets inside each, over TCP and a
// pseudo-terminal: every payment that reached the terminal (the emulator saw its request) is in the
// journal with the record of its request, and neither the journal nor `zrpa log` (which reads the
// journal beside the device log) calls it failed. The host is zrpa, a small program that loads the
// library and pays. The test runs a share of the kill points; ZR_KILL_SOAK=1 runs them all (at least
// 200 kills, bench/soak/journal-kill-soak.sh) and prints the figures for docs/reliability.md.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "DeviceLog.h"
#include "JournalReport.h"
#include "ZrpaFiles.h"
#include "ZrpaToolSupport.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "support/TerminalEmulatorFixture.h"

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

// Where the host is killed: once the terminal has seen Step frames of the payment (0: counted from the
// start of the host instead), OffsetUs later.
struct KillPoint {
    int Step;
    int OffsetUs;
};

struct Tally {
    int Kills = 0, Finished = 0, Reached = 0, InJournal = 0, ShownFailed = 0, JournalFailed = 0;
    std::map<std::string, int> JournalStates; // of the payments that reached the terminal
    std::map<std::string, int> FinalStates;   // of every payment, once the next host has checked them
};

class KillRig {
public:
    KillRig(bool aPty, const std::string& aLogDir) : fPty(aPty), fLogDir(aLogDir) {
        p17emu::Config config;
        config.AckWaitMs = 300; // a driver killed mid-receipt must not hold the next round long
        fTerminal = std::make_unique<p17emu::TerminalEmulator>(config);
        EXPECT_TRUE(aPty ? fTerminal->StartPty() : fTerminal->StartTcp()) << fTerminal->Error();
        fTerminal->SetObserver([this](const std::string& aLine) {
            // The terminal's outcome and holdings lines are no step of the link.
            if (aLine.starts_with("** outcome:") || aLine.starts_with("** holds:")) {
                return;
            }
            // The payment's frames are counted from its print location: the library may first read the
            // terminal's total and last receipt (the first time, or to settle an earlier payment).
            if (!fCounting && (!aLine.starts_with("-> ") || aLine.find("000000000E") == std::string::npos)) {
                return;
            }
            fCounting = true;
            if (++fFrames == fKillAtFrame) {
                fStepReached = Clock::now().time_since_epoch().count();
            }
        });
    }

    // One payment by a zrpa process, killed at aPoint (or not, when the payment ends before it).
    void Round(const KillPoint& aPoint, Tally& aTally) {
        const std::size_t requestsBefore = PaymentRequests();
        fFrames = 0;
        fCounting = false;
        fStepReached = 0;
        fKillAtFrame = aPoint.Step;
        std::vector<std::string> args = {"pay", "1.00", "--till", "3"};
        if (fPty) {
            args.insert(args.end(), {"--serial", "COM9"});
        } else {
            args.insert(args.end(), {"--tcp", "127.0.0.1:" + std::to_string(fTerminal->Port())});
        }
        std::vector<std::string> storage;
        std::vector<char*> argv = ArgumentVector(ZrpaProgram(), args, storage);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child = -1;
        const auto started = Clock::now();
        ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        bool killed = false;
        int status = 0;
        for (;;) {
            if (waitpid(child, &status, WNOHANG) == child) {
                break;
            }
            const auto reached = fStepReached.load();
            const auto from = aPoint.Step == 0 ? started : Clock::time_point(Clock::duration(reached));
            if ((aPoint.Step == 0 || reached != 0) &&
                Clock::now() >= from + std::chrono::microseconds(aPoint.OffsetUs)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                killed = true;
                break;
            }
            if (Clock::now() > started + std::chrono::seconds(60)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << "the payment took more than 60 s";
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        ++(killed ? aTally.Kills : aTally.Finished);
        fTerminal->WaitIdle(5000);
        if (fPty) {
            // The terminal finishes what it was sending (or gives up on the ACK) before the next host.
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
        Check(PaymentRequests() > requestsBefore, aPoint, aTally);
    }

    const std::string& SlavePath() const { return fTerminal->SlavePath(); }

    // After the last round: one more payment, which checks what the last kill left open, then what the
    // journal says of every payment. Each costs 1.00 and nothing is refunded, so the terminal's total lies
    // between the payments the journal calls approved and those plus the ones still open: a payment
    // called approved that the terminal never took, or called not performed that it took, breaks that.
    void Settle(Tally& aTally) {
        Tally ignored;
        Round({0, 30 * 1000 * 1000}, ignored);
        std::vector<std::string> unreadable;
        std::size_t damaged = 0;
        const auto journal = ReadJournalFiles({fLogDir + "/LogFiles/Payment/Journal"}, unreadable, damaged);
        std::int64_t approved = 0, open = 0;
        for (const auto& entry : journal) {
            const JournalState state = entry.Operation.State();
            ++aTally.FinalStates[JournalStateName(state)];
            approved += state == JournalState::Approved || state == JournalState::RecoveredApproved ? 100 : 0;
            open += entry.Operation.Unresolved() || state == JournalState::StaysUnknown ? 100 : 0;
        }
        const std::int64_t total = fTerminal->JournalTotal();
        EXPECT_GE(total, approved) << "a payment called approved that the terminal did not take";
        EXPECT_LE(total, approved + open) << "a payment the terminal took that the journal calls otherwise";
    }

private:
    std::size_t PaymentRequests() const {
        std::size_t n = 0;
        for (const auto& r : fTerminal->Requests()) {
            n += r.size() > 9 && r[9] == 'X' ? 1 : 0;
        }
        return n;
    }

    void Check(bool aReached, const KillPoint& aPoint, Tally& aTally) {
        const std::string payment = fLogDir + "/LogFiles/Payment";
        std::vector<std::string> unreadable;
        std::size_t damaged = 0;
        const auto journal = ReadJournalFiles({payment + "/Journal"}, unreadable, damaged);
        const bool newOperation = journal.size() > fJournalOps;
        fJournalOps = journal.size();
        const std::string where = std::string(fPty ? "pty" : "tcp") + " step " + std::to_string(aPoint.Step) +
                                  " +" + std::to_string(aPoint.OffsetUs) + " us";
        if (!aReached) {
            return;
        }
        ++aTally.Reached;
        if (!newOperation || journal.back().Operation.Find("sent") == nullptr) {
            ADD_FAILURE() << where
                          << ": the payment reached the terminal and the journal has no record of it";
            return;
        }
        ++aTally.InJournal;
        const JournalState state = journal.back().Operation.State();
        ++aTally.JournalStates[JournalStateName(state)];
        if (state == JournalState::NotSent || state == JournalState::NotAccepted) {
            ++aTally.JournalFailed;
            ADD_FAILURE() << where << ": the journal calls it " << JournalStateName(state);
        }
        // What a technician sees: zrpa log on the day's device log, completed by the journal.
        for (const auto& file : FilesStartingWith(payment, "ZRPA_RIVEVEDEV17_10_zrpa_")) {
            std::string content;
            ReadWholeFile(file.string(), content);
            auto ops = ReadDeviceLog(content, file.string());
            CompleteFromJournal(ops, file.string(), journal);
            // An earlier payment that the library's check found the terminal never took is rightly shown
            // failed: the one to look at is the latest other.
            const LogOperation* last = nullptr;
            for (const auto& op : ops) {
                last = op.Name == "PAY" && op.Journal != JournalStateName(JournalState::RecoveredNotPerformed)
                           ? &op
                           : last;
            }
            if (last == nullptr || last->Outcome == LogOutcome::Failed) {
                ++aTally.ShownFailed;
                ADD_FAILURE() << where << ": zrpa log shows "
                              << (last ? LogOutcomeName(last->Outcome) + std::string(": ") + last->Reason
                                       : std::string("nothing"));
            }
        }
    }

    bool fPty;
    std::string fLogDir;
    std::unique_ptr<p17emu::TerminalEmulator> fTerminal;
    std::atomic<int> fFrames{0};
    std::atomic<bool> fCounting{false};
    std::atomic<int> fKillAtFrame{0};
    std::atomic<Clock::rep> fStepReached{0};
    std::size_t fJournalOps = 0;
};

std::vector<KillPoint> KillPoints(bool aSoak) {
    // The frames of a payment printed on the cash register: E, its ACK, X, its ACK, the answer, its
    // ACK, receipt frames and their ACKs, the last ACK.
    const std::vector<int> steps = aSoak ? std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}
                                         : std::vector<int>{0, 2, 3, 4, 5, 6, 8};
    const std::vector<int> offsets =
        aSoak ? std::vector<int>{0, 25, 50, 100, 150, 300, 600, 1000, 2000, 4000} : std::vector<int>{0, 700};
    std::vector<KillPoint> points;
    for (const int step : steps) {
        for (const int offset : offsets) {
            // Counted from the host's start, the offsets must reach into its loading and connecting.
            points.push_back({step, step == 0 ? offset * 10 : offset});
        }
    }
    return points;
}
} // namespace

TEST(JournalKill, EveryPaymentThatReachedTheTerminalIsInTheJournalAndNeverShownFailed) {
    const char* soakSetting = std::getenv("ZR_KILL_SOAK");
    const bool soak = soakSetting != nullptr && std::string(soakSetting) == "1";
    for (const bool pty : {false, true}) {
        TempFolder folder;
        const ScopedEnvironment logDir(u"ZRPA_LOG_DIR", folder.AsText());
        KillRig rig(pty, folder.Path().string());
        // zrpa names serial ports COMn; the library finds the device of COM9 in this variable.
        const ScopedEnvironment com9(u"ZRPA_SERIAL_COM9", pty ? Utf8ToText(rig.SlavePath()) : Text());
        Tally tally;
        for (const auto& point : KillPoints(soak)) {
            rig.Round(point, tally);
        }
        rig.Settle(tally);
        std::string states;
        for (const auto& [name, count] : tally.JournalStates) {
            states += " " + name + "=" + std::to_string(count);
        }
        std::string finals;
        for (const auto& [name, count] : tally.FinalStates) {
            finals += " " + name + "=" + std::to_string(count);
        }
        std::printf(
            "[ MEASURED ] %s: %d kills, %d payments ended before the kill; %d reached the terminal, %d of "
            "them in the journal (%s ), %d called failed by the journal, %d shown failed by zrpa log\n",
            pty ? "pty" : "tcp", tally.Kills, tally.Finished, tally.Reached, tally.InJournal, states.c_str(),
            tally.JournalFailed, tally.ShownFailed);
        std::printf("[ MEASURED ] %s: every payment in the journal once the next host checked:%s\n",
                    pty ? "pty" : "tcp", finals.c_str());
        EXPECT_GT(tally.Reached, 0);
        EXPECT_EQ(tally.InJournal, tally.Reached);
        EXPECT_EQ(tally.ShownFailed, 0);
    }
}
