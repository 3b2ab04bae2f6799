#pragma once
// A Protocol 17 payment terminal, played over TCP on 127.0.0.1 or over a pseudo-terminal. It validates and
// acknowledges each request, answers with the configured outcome, sends receipt text and status frames,
// and injects link faults on request. Used in process by the tests and by the p17-emulator program.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace p17emu {

class ByteLink;
class TcpListener;
class PseudoTerminal;

enum class Fault : std::uint8_t {
    None,
    NoAck,             // the request is not acknowledged and not answered
    BadAck,            // the acknowledgement carries a wrong check character (06 03 7B)
    DataForAck,        // the answer frame comes in place of the acknowledgement
    WrongLrc,          // the answer frame carries a wrong check character
    Eot,               // the answer frame ends with EOT instead of ETX (check character right)
    Silence,           // acknowledged, never answered; the connection stays open
    Close,             // acknowledged, then the connection is closed without an answer
    CloseMidFrame,     // half of the answer frame, then the connection is closed
    EndlessReceipt,    // receipt frames that never end with ESC
    ResetAfterAnswer,  // the answer, then at once a reset of the connection (a pseudo-terminal goes quiet)
    ReceiptWrongLrc,   // receipt frame number FaultAt carries a wrong check character
    ReceiptCut,        // the line is cut after FaultAt bytes of receipt frames (inside or between frames)
    ResetAfterReceipt, // the whole receipt, then at once a reset: the driver's last ACKs cannot arrive
    StatusOnly,        // acknowledged, then SOH status frames and never an answer
    Reset,             // acknowledged, then at once a reset of the connection (a pseudo-terminal goes quiet)
    Garbage,           // acknowledged, then bytes that form no frame, then silence
    Babble             // acknowledged, then bytes that form no frame, without end
};
const char* FaultName(Fault aFault);
bool ParseFault(const std::string& aName, Fault& aFault);

// Where the terminal stands when a fault keeps its answer from the driver (every fault but eot,
// endless-receipt and those after the answer: reset-after-answer, receipt-*, reset-after-receipt). It
// lets a test know the true outcome of a payment, refund, void or day close whose answer was lost.
enum class FaultMoment : std::uint8_t {
    BeforeProcessing, // nothing happened: no booking, the last receipt and the STAN counter stay
    AfterApproving,   // approved (result 00, whatever the configured result) and booked; its receipt is
                      // the last receipt. A void that --void-check finds nothing for is still refused.
    AfterDeclining    // declined (result 01): its receipt is the last receipt, nothing booked
};
const char* FaultMomentName(FaultMoment aMoment);
bool ParseFaultMoment(const std::string& aName, FaultMoment& aMoment);

struct Config {
    std::string TerminalId = "10000001";
    // Payment answer.
    std::string PayResult = "00"; // "00" approved, "01" declined, anything else as given
    std::string Pan = "***************1234";
    std::string EntryMode = "ICC";
    std::string AuthCode = "A1B2C3";
    std::string Acquirer = "00000000003";
    bool BankFlag = false;                          // position 48 "1": the card network is the bank
    std::string Stan;                               // empty: a counter from 000001
    std::string OperationNumber;                    // empty: a counter from 000001
    std::string ErrorText = "OPERAZIONE RIFIUTATA"; // decline description (24 characters at most)
    std::string DateTime;                           // DDDHHMM of the answers; empty: the local clock
    // Currency-conversion block of the payment answer.
    bool Conversion = false;
    std::string Rate = "01234567";
    std::string ForeignCurrency = "840";
    std::string ForeignAmount = "000000012345";
    int ForeignDecimals = 2;
    // Other answers.
    std::string RefundResult = "00";
    std::string VoidResult = "00";
    std::string VoidErrorText = "OPERAZIONE NON TROVATA";
    std::string VoidPan; // card field of an approved void; empty: stars and the last four digits voided
    // A void must name an approved, not yet voided payment, as a terminal checks it. The program
    // (p17-emulator, zrpa emulator) turns it on unless --no-void-check; in process it is chosen here.
    bool VoidCheck = false;
    std::string DayCloseResult = "00";
    std::string DayCloseErrorText = "CHIUSURA NON RIUSCITA";
    std::string TotalsResult = "00";
    std::optional<std::int64_t> Total; // cents; unset: approved payments minus refunds and voids
    // Receipt text sent after payment, refund and void when the cash register prints, and after a
    // reprint to the cash register.
    bool Receipt = true;
    int ReceiptWidth = 24;          // 24, 42 or 12
    std::string ReceiptRaw;         // when set: sent exactly (width characters, ESC included)
    std::size_t ReceiptChunk = 200; // receipt characters per frame
    int StatusFrames = 0;           // SOH status frames before each answer
    // Faults.
    Fault FaultKind = Fault::None;
    std::string FaultOn = "XAQRCT"; // request codes the fault applies to
    FaultMoment FaultWhen = FaultMoment::BeforeProcessing;
    std::size_t FaultCount = 0; // 0: every request of FaultOn; N: only the next N of them (counted
                                // from the start, or from the last SetConfig)
    std::size_t FaultAt = 1;    // receipt-wrong-lrc: the frame (1 = first); receipt-cut: the bytes sent
    int AckWaitMs = 5000;       // how long the terminal waits for the driver's ACK
};

struct TrafficEntry {
    bool FromDriver = false; // false: sent by the terminal
    std::string Bytes;       // exact bytes
    std::string Text;        // readable form and meaning
};

class TerminalEmulator {
public:
    explicit TerminalEmulator(Config aConfig = Config());
    ~TerminalEmulator();
    TerminalEmulator(const TerminalEmulator&) = delete;
    TerminalEmulator& operator=(const TerminalEmulator&) = delete;

    // Start serving on a background thread. False with Error() set when the transport cannot be opened.
    bool StartTcp(std::uint16_t aPort = 0);
    bool StartPty();
    // Stops the thread; returns within about 100 ms. The destructor calls it.
    void Stop();

    std::uint16_t Port() const;
    const std::string& SlavePath() const;
    const std::string& Error() const { return fError; }

    Config GetConfig() const;
    // Also starts the count of FaultCount again.
    void SetConfig(const Config& aConfig);
    // Called on the emulator's thread with one readable line per frame and per note.
    void SetObserver(std::function<void(const std::string&)> aObserver);

    // Texts of the accepted request frames (between STX and the terminator), in arrival order.
    std::vector<std::string> Requests() const;
    // Exact bytes of every request frame, accepted or not.
    std::vector<std::string> RequestFrames() const;
    std::vector<TrafficEntry> Traffic() const;
    // Layout problems found in requests; empty while the driver sends what the terminal expects.
    std::vector<std::string> Problems() const;
    void ClearTraffic();
    // Number of driver ACK frames received (the answer's and every receipt frame's, the final one too).
    std::size_t AcksReceived() const;
    std::size_t Connections() const;
    // The period total: approved payments minus approved refunds and voids since the last day close.
    std::int64_t JournalTotal() const;
    // What the terminal holds since the last day close, as its screen shows it.
    struct Held {
        std::size_t Payments = 0; // approved payments, voided ones included
        std::size_t Refunds = 0;  // approved refunds
        std::size_t Voids = 0;    // approved voids, of a held payment or (without the void check) of none
    };
    Held Holdings() const;
    // The last receipt exactly as the terminal sends it (width selector, lines, closing ESC): that of the
    // last payment, refund or void, approved or declined, on whichever printer it was printed. A reprint to
    // the cash register sends it again. Empty before the first; a day close leaves it.
    std::string LastReceipt() const;
    // Requests a fault was injected into since the start or the last SetConfig.
    std::size_t FaultsInjected() const;
    // Waits until the current connection (if any) has ended, at most aTimeoutMs.
    bool WaitIdle(int aTimeoutMs) const;
    // Waits until the terminal sends nothing of its own accord: no connection, or one on which it waits
    // for the next request (a pseudo-terminal's line never ends, so WaitIdle cannot tell). At most
    // aTimeoutMs; false when it was still sending.
    bool WaitQuiet(int aTimeoutMs) const;

private:
    friend class Session;
    struct Payment {
        std::string Stan, Last4, Acquirer, Amount, Auth, Date;
        bool Voided = false;
    };

    void Serve();
    void Record(bool aFromDriver, const std::string& aBytes, const std::string& aText);
    void Note(const std::string& aText);

    mutable std::mutex fLock;
    Config fConfig;
    std::function<void(const std::string&)> fObserver;
    std::vector<TrafficEntry> fTraffic;
    std::vector<std::string> fRequests;
    std::vector<std::string> fRequestFrames;
    std::vector<std::string> fProblems;
    std::vector<Payment> fJournal;
    std::string fLastReceipt;
    std::size_t fFaultsInjected = 0;
    std::int64_t fRefunds = 0;
    std::int64_t fVoids = 0; // cents of approved voids that named no journal payment
    std::size_t fRefundCount = 0, fLooseVoidCount = 0; // for the screen: approved refunds, such voids
    bool fPrintOnEcr = true;
    std::uint32_t fStanCounter = 0;
    std::size_t fAcks = 0;
    std::size_t fConnections = 0;

    std::unique_ptr<TcpListener> fListener;
    std::unique_ptr<PseudoTerminal> fPty;
    std::string fError;
    std::atomic<bool> fStop{false};
    std::atomic<bool> fBusy{false};
    std::atomic<bool> fListening{false}; // the session waits for a request and sends nothing
    std::thread fThread;
};

} // namespace p17emu
