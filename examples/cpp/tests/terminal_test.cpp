// Tests of the header-only C++ wrapper against the terminal emulator (p17-emulator, named by
// ZRPA_EMULATOR), each with an emulator of its own on an ephemeral 127.0.0.1 port.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ZRPA_RIVEVEDEV17_10.hpp"

namespace {

// An emulator process started with aOptions; stopped (SIGTERM, then waited for) on destruction.
class Emulator {
public:
    explicit Emulator(std::vector<std::string> aOptions = {}) {
        const char* program = std::getenv("ZRPA_EMULATOR");
        int out[2];
        if (program == nullptr || pipe(out) != 0) {
            throw std::runtime_error("set ZRPA_EMULATOR to the p17-emulator program");
        }
        std::vector<std::string> words{program, "--tcp", "0"};
        words.insert(words.end(), aOptions.begin(), aOptions.end());
        fPid = fork();
        if (fPid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            std::vector<char*> argv;
            for (auto& w : words) {
                argv.push_back(w.data());
            }
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        close(out[1]);
        fOutput = fdopen(out[0], "r");
        char line[256] = ""; // "terminal ... listening on 127.0.0.1:PORT"
        std::smatch found;
        const std::string first = fgets(line, sizeof line, fOutput) != nullptr ? line : "";
        if (!std::regex_search(first, found, std::regex(R"(listening on 127\.0\.0\.1:(\d+))"))) {
            Stop();
            throw std::runtime_error("the emulator did not start: " + first);
        }
        fPort = static_cast<unsigned>(std::stoul(found[1]));
    }
    ~Emulator() { Stop(); }
    zrpa::Connection Connection() const { return zrpa::Connection::Tcp("127.0.0.1", fPort); }

private:
    void Stop() {
        if (fPid > 0) {
            kill(fPid, SIGTERM);
            waitpid(fPid, nullptr, 0);
            fPid = -1;
        }
        if (fOutput != nullptr) {
            fclose(fOutput);
            fOutput = nullptr;
        }
    }
    pid_t fPid = -1;
    FILE* fOutput = nullptr;
    unsigned fPort = 0;
};

TEST(Terminal, ADayAtTheTillOnAnOpenDevice) {
    Emulator emulator({"--void-check"});
    zrpa::Terminal till(emulator.Connection());
    till.Open();
    ASSERT_FALSE(till.Handle().empty());
    const zrpa::Payment payment = till.Pay("12.34", "R-0001");
    EXPECT_EQ(payment.amount, "12.34");
    EXPECT_EQ(payment.currency, "EUR");
    EXPECT_EQ(payment.refundReference.size(), 34u);
    EXPECT_NE(payment.receiptText.find("12,34"), std::string::npos);
    EXPECT_NE(till.Void(payment.refundReference).receiptText.find("ANNULL"), std::string::npos);
    EXPECT_EQ(std::stod(till.Refund("5.00").amount), 5.0);
    EXPECT_FALSE(till.Reprint().receiptText.empty());
    EXPECT_EQ(std::stod(till.GetTotals().totalAmount), -5.0);
    const zrpa::Totals closed = till.DayClose();
    EXPECT_EQ(std::stod(closed.totalAmount), -5.0);
    EXPECT_FALSE(closed.logFile.empty());
    EXPECT_EQ(zrpa::Terminal::Version().rfind("Version ", 0), 0u);
    till.Close();
    EXPECT_TRUE(till.Handle().empty());
}

TEST(Terminal, FailuresThrowWithTheErrorTextAndTheDocument) {
    struct Case {
        std::vector<std::string> options;
        const char* amount;
        const char* text;
    };
    for (const Case& c :
         {Case{{"--decline"}, "10", "OPERAZIONE RIFIUTATA"},
          Case{{}, "1000000", "Amount 1000000 invalid. Allowed values are: 0 to 999999.99."}}) {
        Emulator emulator(c.options);
        zrpa::Terminal till(emulator.Connection(), {1, "EUR", "EFT", "tests"}); // no device: one per command
        try {
            till.Pay(c.amount);
            ADD_FAILURE() << c.amount << " was paid";
        } catch (const zrpa::Error& e) {
            EXPECT_EQ(e.Text().substr(0, e.Text().find_last_not_of(' ') + 1), c.text);
            EXPECT_EQ(zrpa::Field(e.Document(), "Error"), "True");
            EXPECT_FALSE(e.OutcomeUnknown());
            EXPECT_EQ(e.Command(), "PAY");
        }
    }
}

TEST(Terminal, MalformedAmountsAreRefusedNamingTheValue) {
    zrpa::Terminal till(zrpa::Connection::Tcp("127.0.0.1", 9)); // never reached
    for (const char* amount : {"12,34", "", "-1", "1e3", "12.", ".5", "1.2.3", "12 "}) {
        try {
            till.Pay(amount);
            ADD_FAILURE() << "amount [" << amount << "] accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("\"") + amount + "\""), std::string::npos)
                << e.what();
        }
    }
}

TEST(Terminal, AnUnreachableTerminalIsAnOrdinaryError) {
    zrpa::Terminal till(zrpa::Connection::Tcp("127.0.0.1", 1, 500));
    try {
        till.Pay("1");
        ADD_FAILURE() << "paid without a terminal";
    } catch (const zrpa::Error& e) {
        EXPECT_FALSE(e.OutcomeUnknown()) << e.what();
    }
}

TEST(Terminal, CancelFromAnotherThreadAndTheTimeLimit) {
    // Silent for payments only: before a payment the library may read the terminal's total and last
    // receipt (the first time, or to settle the cancelled one), and that reading is answered.
    Emulator emulator({"--fault", "silence", "--fault-on", "X"});
    zrpa::Options options{1, "EUR", "EFT", "tests", 60000};
    zrpa::Terminal till(emulator.Connection(), options);
    till.Open();
    std::string failure;
    bool settled = false;
    std::atomic<bool> done{false};
    std::thread payer([&] {
        try {
            till.Pay("1");
        } catch (const zrpa::Error& e) {
            failure = e.Text();
            settled = e.NotPerformed() || e.OutcomeUnknown();
        }
        done = true;
    });
    // Cancels until the PAY has returned (bounded): a cancel that comes before the PAY is inside the
    // library reaches nothing, and the next one stops it.
    long reached = 0;
    for (int i = 0; i < 500 && !done; ++i) {
        reached = std::max(reached, till.Cancel());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    payer.join();
    EXPECT_LE(reached, 1);
    EXPECT_TRUE(settled) << failure;

    options.commandTimeoutMs = 300;
    try {
        zrpa::Terminal(emulator.Connection(), options).Pay("1");
        ADD_FAILURE() << "paid although the terminal never answers";
    } catch (const zrpa::Error& e) {
        EXPECT_TRUE(e.OutcomeUnknown()) << e.Text();
        EXPECT_NE(e.Text().find("(its time limit of 300 ms passed)"), std::string::npos) << e.Text();
    }
}

TEST(Strings, TextsCrossAsUtf16BothWays) {
    for (const std::string text : {"", "plain", "Caffè €", "clef \xF0\x9D\x84\x9E end"}) {
        EXPECT_EQ(zrpa::BStr::FromUtf8(text).Utf8(), text);
    }
    for (const std::string bad : {"\xC3", "a\x80", "\xED\xA0\x80", "\xC0\xAF", "\xF4\x90\x80\x80"}) {
        EXPECT_THROW(zrpa::BStr::FromUtf8(bad), std::invalid_argument) << bad;
    }
    // U+20AC cannot go to the terminal: the refusal quotes the reference as the library received it.
    Emulator emulator;
    try {
        zrpa::Terminal(emulator.Connection()).Pay("1", "Caffè €");
        ADD_FAILURE() << "paid with a reference the terminal cannot take";
    } catch (const zrpa::Error& e) {
        EXPECT_EQ(e.Text().rfind("Reference [Caffè €] invalid: the character U+20AC at position 7", 0), 0u)
            << e.Text();
    }
}

TEST(Strings, OwnershipMovesAndOutputsStartEmpty) {
    zrpa::BStr a = zrpa::BStr::FromUtf8("one");
    zrpa::BStr b = std::move(a);
    EXPECT_EQ(a.Get(), nullptr);
    EXPECT_EQ(b.Utf8(), "one");
    b = zrpa::BStr::FromUtf8("two"); // the first text is freed, not leaked
    EXPECT_EQ(b.Utf8(), "two");
    EXPECT_EQ(*b.Out(), nullptr); // an output is passed empty
    const zrpa::Outcome status = zrpa::Call(zrpa::kGetStatus, "");
    EXPECT_TRUE(status.Succeeded()) << status.error;
    zrpa::Terminal unreached(zrpa::Connection::Tcp("127.0.0.1", 9));
    EXPECT_NO_THROW(unreached.Status()); // needs no terminal
    EXPECT_THROW(unreached.VerifyTran(), zrpa::Error);
}

TEST(Documents, FieldsAreUnescapedAndRequestsEscaped) {
    EXPECT_EQ(zrpa::Field("<A>x &amp; &lt;y&gt; &quot;&apos;</A><B>2</B>", "A"), "x & <y> \"'");
    EXPECT_EQ(zrpa::Field("<A>1</A>", "B"), "");
    EXPECT_EQ(zrpa::Field("<A>unclosed", "A"), "");
    EXPECT_EQ(zrpa::Escape("a<b>&\"c"), "a&lt;b&gt;&amp;&quot;c");
}

} // namespace
