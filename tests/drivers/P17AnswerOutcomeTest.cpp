// What a payment, refund or void reports over TCP when the line fails after the answer (the answer
// stands) and before it (the outcome is unknown).
#include <gtest/gtest.h>

#include "CardOutcomeChecks.h"
#include "LostAnswerChecks.h"
#include "io/IOHandler_TCP.h"
#include "support/TerminalEmulatorFixture.h"

namespace {
class TcpCardRig : public CardRig {
public:
    explicit TcpCardRig(const p17emu::Config& aConfig) : fTerminal(aConfig) {
        fConnection.ConnectionType = zrConnectionType::TCP;
        fConnection.Address = u"127.0.0.1";
        fConnection.Port = fTerminal.Port();
        fChannel = std::make_unique<kIOHandler_TCP>(&fConnection, Text(), Text());
        fP17 = std::make_unique<kP17Protocol>(*fChannel, fCustom, u"127.0.0.1");
    }
    kP17Protocol& P17() override { return *fP17; }
    kIOHandler& Channel() override { return *fChannel; }
    p17emu::TerminalEmulator& Terminal() override { return *fTerminal; }

private:
    EmulatedTerminal fTerminal;
    kConnection fConnection;
    std::unique_ptr<kIOHandler_TCP> fChannel;
    TextList fCustom;
    std::unique_ptr<kP17Protocol> fP17;
};

std::unique_ptr<CardRig> TcpRig(const p17emu::Config& aConfig) {
    return std::make_unique<TcpCardRig>(aConfig);
}
} // namespace

TEST(P17AnswerOutcome, FaultsAfterTheAnswerKeepTheApprovalOverTcp) {
    using p17emu::Fault;
    // Receipt frames of 61 bytes: byte 61 ends the first, 122 the second.
    ExpectApprovalsKept(TcpRig, {
                                    {Fault::ReceiptWrongLrc, 1, true, false, "first receipt frame damaged"},
                                    {Fault::ReceiptWrongLrc, 3, true, true, "third receipt frame damaged"},
                                    {Fault::ReceiptCut, 1, true, false, "cut after the STX of the receipt"},
                                    {Fault::ReceiptCut, 30, true, false, "cut inside the first frame"},
                                    {Fault::ReceiptCut, 60, true, false, "cut before a check character"},
                                    {Fault::ReceiptCut, 61, true, true, "cut between two frames"},
                                    {Fault::ReceiptCut, 100, true, true, "cut inside the second frame"},
                                    {Fault::ReceiptCut, 183, true, true, "cut after the third frame"},
                                    {Fault::ResetAfterAnswer, 0, true, false, "reset right after the answer"},
                                    {Fault::ResetAfterReceipt, 0, false, true, "final ACK not deliverable"},
                                });
}

TEST(P17AnswerOutcome, AnAcknowledgedRequestWithoutAnswerIsAnUnknownOutcomeOverTcp) {
    using p17emu::Fault;
    ExpectOutcomeUnknown(
        TcpRig,
        {
            {Fault::WrongLrc, u"the terminal sent a frame with a wrong check character", "damaged answer"},
            {Fault::CloseMidFrame, u"the terminal sent a frame cut short", "answer cut short"},
        },
        {zrPaymentAction::pa_Pay, zrPaymentAction::pa_Refund, zrPaymentAction::pa_Void});
}

TEST(P17AnswerOutcome, SlowHangUpInsteadOfTheAnswerIsAnUnknownOutcomeOverTcp) {
    // The answer wait takes its ten pauses of 500 ms before it gives up on a closed connection.
    ExpectOutcomeUnknown(TcpRig, {{p17emu::Fault::Close, u"the connection was closed or reset", "hang-up"}},
                         {zrPaymentAction::pa_Pay});
}

TEST(P17AnswerOutcome, TheTerminalKeepsWhatItDidWhenTheAnswerIsLostOverTcp) {
    using p17emu::Fault;
    ExpectTerminalStateAfterLostAnswers(TcpRig, {
                                                    {Fault::Close, "connection closed"},
                                                    {Fault::Reset, "connection reset"},
                                                    {Fault::CloseMidFrame, "answer cut short"},
                                                    {Fault::WrongLrc, "damaged answer"},
                                                    {Fault::Silence, "no answer"},
                                                });
}

TEST(P17AnswerOutcome, LostAnswersAreResolvedFromTheTerminalsOwnAnswersOverTcp) {
    using p17emu::Fault;
    const RecoveryCount count = ExpectLostOutcomesResolved("tcp", TcpRig,
                                                           {
                                                               {Fault::CloseMidFrame, "answer cut short"},
                                                               {Fault::WrongLrc, "damaged answer"},
                                                               {Fault::Reset, "connection reset"},
                                                           });
    EXPECT_GE(count.Conclusive * 10, count.Cases * 9);
}
