// Writes the seed corpus of the terminal fuzzer from recorded exchanges: each operation runs over TCP
// against the emulator, and what the terminal sent after each of the driver's writes becomes one reply
// of the seed. Run by hand when the exchanges change:
//   zr_reliability_tests --gtest_also_run_disabled_tests --gtest_filter=FuzzSeeds.*
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "drivers/P17Protocol.h"
#include "drivers/RefundReference.h"
#include "io/IOHandler_TCP.h"
#include "platform/Clock.h"
#include "support/LoopbackConnection.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
namespace fs = std::filesystem;

// The terminal's bytes between the driver's writes, joined by 0xFF, after the operation byte.
std::string SeedOf(char aOperation, const std::vector<p17emu::TrafficEntry>& aTraffic) {
    std::string seed(1, aOperation);
    bool first = true;
    for (const auto& t : aTraffic) {
        if (t.FromDriver) {
            if (!first) {
                seed += '\xFF';
            }
            first = false;
        } else {
            seed += t.Bytes;
        }
    }
    return seed;
}

template <typename Fn>
void Record(const std::string& aName, char aOperation, const p17emu::Config& aConfig, Fn&& aRun) {
    EmulatedTerminal terminal(aConfig);
    kConnection connection = LoopbackTcp(terminal.Port());
    kIOHandler_TCP channel(&connection, Text(), Text());
    TextList custom;
    kP17Protocol p17(channel, custom, u"127.0.0.1");
    aRun(p17);
    terminal->WaitIdle(5000);
    const fs::path dir = fs::path(ZR_TEST_SUPPORT_DIR).parent_path() / "fuzz" / "corpus" / "terminal";
    fs::create_directories(dir);
    std::ofstream(dir / aName, std::ios::binary) << SeedOf(aOperation, terminal->Traffic());
}
} // namespace

TEST(FuzzSeeds, DISABLED_WriteTheTerminalCorpus) {
    kPaymentReceipt receipt;
    receipt.fTillCode = u"5";
    receipt.fAmount = Currency::FromRaw(123400);
    receipt.fRefundReference.PaymentNumber =
        CalcRefundReference(1, 1234, 3, Currency::FromRaw(123400), u"A1B2C3", Now());
    p17emu::Config plain;
    p17emu::Config status = plain;
    status.StatusFrames = 2;
    p17emu::Config declined = plain;
    declined.PayResult = "01";
    declined.DayCloseResult = "05";
    for (const auto where : {ZrPrintLocation::pl_ECR, ZrPrintLocation::pl_EFT}) {
        receipt.fPrintLocation = where;
        const char eft = where == ZrPrintLocation::pl_EFT ? '\x80' : '\0';
        const std::string suffix = where == ZrPrintLocation::pl_EFT ? "-eft" : "-ecr";
        for (const auto& [name, config] :
             {std::pair{"", plain}, {"-status", status}, {"-declined", declined}}) {
            const std::string tag = suffix + name;
            Record("pay" + tag, static_cast<char>(0 | eft), config, [&](kP17Protocol& p) {
                _int_PAY_result r;
                p.DoPay(receipt, r);
            });
            Record("refund" + tag, static_cast<char>(1 | eft), config, [&](kP17Protocol& p) {
                _int_PAY_result r;
                p.DoRefund(receipt, r);
            });
            Record("void" + tag, static_cast<char>(2 | eft), config, [&](kP17Protocol& p) {
                _int_PAY_result r;
                p.DoVoid(receipt, r);
            });
            Record("reprint" + tag, static_cast<char>(3 | eft), config, [&](kP17Protocol& p) {
                _int_REPRINT_result r;
                p.DoReprint(receipt, r);
            });
            Record("dayclose" + tag, static_cast<char>(4 | eft), config, [&](kP17Protocol& p) {
                kPaymentDayClose d;
                d.fTillCode = u"5";
                _int_DAYCLOSE_result r;
                p.DoDayClose(d, r);
            });
            Record("totals" + tag, static_cast<char>(5 | eft), config, [&](kP17Protocol& p) {
                kPaymentTotals t;
                t.fTillCode = u"5";
                _int_GETTOTALS_result r;
                p.DoGetTotals(t, r);
            });
        }
    }
    Record("verifytran", '\x06', plain, [&](kP17Protocol& p) {
        _int_PAY_result r;
        p.DoVerifyTran(receipt, r);
    });
}
