#pragma once
// The Protocol 17 link as the driver (the master) runs it over a channel: frames with their check
// character, acknowledgements, the wait for the terminal's answer and the collection of receipt text.
#include <cstdint>
#include <functional>

#include "base/Text.h"

class kByteStream;
class kIOHandler;

namespace P17 {
constexpr char16_t SOH = 0x01;
constexpr char16_t STX = 0x02;
constexpr char16_t ETX = 0x03;
constexpr char16_t EOT = 0x04;
constexpr char16_t ACK = 0x06;
constexpr char16_t ESC = 0x1B;

constexpr std::int32_t kAckTimeout = 3000;
constexpr std::int32_t kEmptyReadPause = 500;
constexpr int kEmptyReadsTolerated = 10; // the 11th empty read ends the answer wait
constexpr std::int32_t kReceiptPause = 1000;
constexpr std::int32_t kReceiptReadTimeout = 1000;
constexpr int kReceiptEmptyReadsTolerated = 5; // the 6th empty read ends the collection
// A terminal that keeps talking without ever finishing must not hold the till: at most this many frames
// while waiting for one answer, and at most this many receipt frames (some 100 000 characters, far more
// than any receipt).
constexpr int kMaxFramesPerAnswer = 100000;
constexpr int kMaxReceiptFrames = 500;
} // namespace P17

enum class zrFrameKind : std::uint8_t { fk_Data = 0, fk_Soh, fk_None, fk_Ack };

// 0x7F exclusive-or every character code of aText (as one character).
char16_t CalcLRC(TextView aText);
// STX + aMessage + ETX + CalcLRC(STX + aMessage + ETX).
Text BuildFrame(TextView aMessage);
// ACK ETX and its check character: 06 03 7A.
Text AckFrame();
// The last character is the check character of the rest; the rest is a data frame (STX ... ETX or EOT),
// an SOH frame, or exactly ACK ETX.
bool ValidatePacket(TextView aPacket);

class kP17Link {
public:
    using PauseFn = std::function<void(std::int32_t aMilliseconds)>;

    // aPause: how the link waits between reads (a real sleep unless a test supplies one). Sets the
    // channel's received-text mask (MaskReceived) for as long as the link lives.
    explicit kP17Link(kIOHandler& aChannel, PauseFn aPause = PauseFn());
    ~kP17Link();
    kP17Link(const kP17Link&) = delete;
    kP17Link& operator=(const kP17Link&) = delete;

    // Writes the frame; a data frame must then be acknowledged within 3000 ms. No retransmission.
    bool SendFrame(const Text& aFrame);
    bool WaitForAck();
    bool SendAck();
    // Every read and pause ends early when the channel's cancel signal is raised: the reads with
    // tZR_Cancelled (ReadReceiptText keeps what it collected instead).
    // Reads and classifies one link message under aTimeout; raises ZrError "Invalid Packet Received" for
    // a data or ACK frame whose check fails. Data frames are acknowledged when aSendAck; an ACK that cannot
    // be sent does not raise (the frame was read and checked): AckFault says why.
    void ReadMessage(std::int32_t aTimeout, bool aSendAck, Text& aPayload, zrFrameKind& aKind);
    // Waits for the terminal's data message, skipping status and ACK frames; ends after the 11th empty read.
    // True when a data frame came; otherwise Fault says why none did.
    bool ReadResponse(std::int32_t aTimeout, Text& aPayload);
    // Waits at most 1000 ms for the first receipt byte, collects receipt frames until one ends with ESC,
    // then sends one more ACK. Never raises: a fault ends the collection with the complete lines read so
    // far, and ReceiptFault says what cut the receipt short. Card data in the lines is masked.
    Text ReadReceiptText();

    // Received text as the device log may show it: a data frame is masked as the answer to the last
    // request sent, or as receipt text while the receipt is collected (or when its code letter says so),
    // with the receipt text that came before it; the rest of a frame that a time-out cut as the rest of
    // that text; anything else as free text (P17CardData.h). The frame
    // keeps its length, its STX and its terminator, and the check character read after it is shown changed
    // as the masking changed the frame (right for the frame shown when it was right for the frame read).
    Text MaskReceived(const Text& aReceived);

    // What went wrong in the last step that failed, in words for a person ("no ACK within 3000 ms").
    const Text& Fault() const { return fFault; }
    // Why the ACK of the last data frame could not be sent; empty when it was sent.
    const Text& AckFault() const { return fAckFault; }
    // Why the last receipt collection ended before its last frame; empty when it was complete or none came.
    const Text& ReceiptFault() const { return fReceiptFault; }

    // Waits aMilliseconds (the test's pause when one was given); a cancelled command does not sit it out.
    void Pause(std::int32_t aMilliseconds);

private:
    // Sends the ACK of a data frame; a failure is kept in fAckFault (aWhich names the ACK) and logged.
    void Acknowledge(const Text& aWhich);
    // Why a wait for the terminal ended with nothing: the TCP connection is gone, else aSilence.
    Text SilenceReason(const Text& aSilence);
    // The receipt loop; raises on a damaged frame, appending what it collected to aAll first.
    void CollectReceipt(kByteStream& aStream, Text& aAll);

    kIOHandler& fChannel;
    PauseFn fPause;
    Text fFault;
    Text fAckFault;
    Text fReceiptFault;
    bool fNoise = false;      // the last read found bytes that begin no frame
    char fLastRequest = '\0'; // code letter of the last data frame sent
    bool fInReceipt = false;  // receipt frames are being collected
    Text fReceiptSoFar;       // the end of the receipt text received so far, as it came
    char16_t fLrcChange = 0;  // what masking the last frame changed in its check character
    Text fUnfinished;         // the end of a frame that a read's time-out cut, as it came
    char16_t fUnfinishedLrcChange = 0;
};
