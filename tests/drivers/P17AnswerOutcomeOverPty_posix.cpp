// The outcomes of P17AnswerOutcomeTest over a serial line (a pseudo-terminal served by the emulator).
#include <gtest/gtest.h>

#include <cstdlib>

#include "CardOutcomeChecks.h"
#include "LostAnswerChecks.h"
#include "io/IOHandler_Serial.h"

namespace {
// COM48 reaches the emulator's pseudo-terminal through ZRPA_SERIAL_COM48.
class PtyCardRig : public CardRig {
public:
    explicit PtyCardRig(const p17emu::Config& aConfig) : fTerminal(aConfig) {
        EXPECT_TRUE(fTerminal.StartPty()) << fTerminal.Error();
        ::setenv("ZRPA_SERIAL_COM48", fTerminal.SlavePath().c_str(), 1);
        fConnection.ConnectionType = zrConnectionType::Serial;
        fConnection.SerialPort = u"COM48";
        fConnection.Speed = 115200;
        fConnection.DataBits = 8;
        fConnection.Parity = zrParity::None;
        fConnection.StopBits = 1;
        fChannel = std::make_unique<kIOHandler_Serial>(&fConnection, Text(), Text());
        fP17 = std::make_unique<kP17Protocol>(*fChannel, fCustom, u"COM48");
    }
    ~PtyCardRig() override { ::unsetenv("ZRPA_SERIAL_COM48"); }
    kP17Protocol& P17() override { return *fP17; }
    kIOHandler& Channel() override { return *fChannel; }
    p17emu::TerminalEmulator& Terminal() override { return fTerminal; }

private:
    p17emu::TerminalEmulator fTerminal;
    kConnection fConnection;
    std::unique_ptr<kIOHandler_Serial> fChannel;
    TextList fCustom;
    std::unique_ptr<kP17Protocol> fP17;
};

std::unique_ptr<CardRig> PtyRig(const p17emu::Config& aConfig) {
    return std::make_unique<PtyCardRig>(aConfig);
}
} // namespace

TEST(P17AnswerOutcomeOverPty, FaultsAfterTheAnswerKeepTheApproval) {
    using p17emu::Fault;
    // A serial line has no hang-up: a cut line or a "reset" terminal just goes quiet.
    ExpectApprovalsKept(PtyRig,
                        {
                            {Fault::ReceiptWrongLrc, 1, true, false, "first receipt frame damaged"},
                            {Fault::ReceiptWrongLrc, 2, true, true, "second receipt frame damaged"},
                            {Fault::ReceiptCut, 30, true, false, "cut inside the first frame"},
                            {Fault::ReceiptCut, 100, true, true, "cut inside the second frame"},
                            {Fault::ResetAfterAnswer, 0, false, false, "quiet right after the answer"},
                            {Fault::ResetAfterReceipt, 0, false, true, "quiet after the last frame"},
                        });
}

TEST(P17AnswerOutcomeOverPty, SlowReceiptCutBetweenFramesKeepsTheApproval) {
    // Six empty reads of 1000 ms end the collection.
    ExpectApprovalsKept(PtyRig, {{p17emu::Fault::ReceiptCut, 61, true, true, "cut between two frames"}});
}

TEST(P17AnswerOutcomeOverPty, AnAcknowledgedRequestWithoutAnswerIsAnUnknownOutcome) {
    ExpectOutcomeUnknown(PtyRig,
                         {{p17emu::Fault::WrongLrc, u"the terminal sent a frame with a wrong check character",
                           "damaged answer"}},
                         {zrPaymentAction::pa_Pay, zrPaymentAction::pa_Refund, zrPaymentAction::pa_Void});
}

TEST(P17AnswerOutcomeOverPty, TheTerminalKeepsWhatItDidWhenTheAnswerIsLost) {
    using p17emu::Fault;
    // A serial line has no hang-up: a closed or reset terminal goes quiet.
    ExpectTerminalStateAfterLostAnswers(PtyRig, {
                                                    {Fault::Close, "quiet after the ACK"},
                                                    {Fault::CloseMidFrame, "answer cut short"},
                                                    {Fault::WrongLrc, "damaged answer"},
                                                });
}

TEST(P17AnswerOutcomeOverPty, LostAnswersAreResolvedFromTheTerminalsOwnAnswers) {
    using p17emu::Fault;
    // A terminal gone quiet holds the driver for the whole answer wait: the damaged answer ends it at once.
    const RecoveryCount count =
        ExpectLostOutcomesResolved("pty", PtyRig, {{Fault::WrongLrc, "damaged answer"}}, true);
    EXPECT_GE(count.Conclusive * 10, count.Cases * 9);
    // After a payment printed on the terminal the library has not seen the last receipt: a request the
    // terminal never processed stays unknown unless the receipt before it names the same amount (the
    // void of that payment).
    const RecoveryCount unseen =
        ExpectLostOutcomesResolved("pty, previous receipt printed on the terminal", PtyRig,
                                   {{Fault::WrongLrc, "damaged answer"}}, true, ZrPrintLocation::pl_EFT);
    EXPECT_EQ(unseen.Conclusive, unseen.Cases - 4);
}
