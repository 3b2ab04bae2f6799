#include "drivers/P17Link.h"

#include <chrono>
#include <thread>

#include "base/ZrError.h"
#include "drivers/P17CardData.h"
#include "drivers/P17MessageText.h"
#include "io/ByteStream.h"
#include "io/IOHandler.h"
#include "platform/Clock.h"

using namespace P17;

char16_t CalcLRC(TextView aText) {
    char16_t v = 0x7F;
    for (const char16_t c : aText) {
        v = static_cast<char16_t>(v ^ c);
    }
    return v;
}

Text BuildFrame(TextView aMessage) {
    Text frame;
    frame.reserve(aMessage.size() + 3);
    frame += STX;
    frame += aMessage;
    frame += ETX;
    frame += CalcLRC(frame);
    return frame;
}

Text AckFrame() {
    Text frame{ACK, ETX};
    frame += CalcLRC(frame);
    return frame;
}

bool ValidatePacket(TextView aPacket) {
    if (aPacket.size() < 2) {
        return false;
    }
    const TextView rest = aPacket.substr(0, aPacket.size() - 1);
    if (CalcLRC(rest) != aPacket.back()) {
        return false;
    }
    // A data frame must also carry its terminator: a frame cut short whose last byte happens to match
    // would otherwise pass as a shorter answer.
    if (rest.front() == STX) {
        return rest.size() >= 2 && (rest.back() == ETX || rest.back() == EOT);
    }
    return rest.front() == SOH || rest == TextView(u"\x06\x03", 2);
}

kP17Link::kP17Link(kIOHandler& aChannel, PauseFn aPause) : fChannel(aChannel), fPause(std::move(aPause)) {
    fChannel.SetReceivedLogMask([this](const Text& aReceived) { return MaskReceived(aReceived); });
}

kP17Link::~kP17Link() {
    fChannel.SetReceivedLogMask(nullptr);
}

Text kP17Link::MaskReceived(const Text& aReceived) {
    // The check character comes in a read of its own right after its frame: shown as that of the frame
    // the log shows, changed by what the masking changed, so a right one stays right and a wrong one wrong.
    const char16_t lrcChange = fLrcChange;
    fLrcChange = 0;
    if (aReceived.size() == 1 && lrcChange != 0) {
        return Text(1, static_cast<char16_t>(aReceived.front() ^ lrcChange));
    }
    // A frame that a read's time-out cut goes on in the next read: that part is masked as its rest.
    const Text unfinished = std::move(fUnfinished);
    const char16_t unfinishedChange = fUnfinishedLrcChange;
    fUnfinished.clear();
    fUnfinishedLrcChange = 0;
    const bool frame = !aReceived.empty() && aReceived.front() == STX;
    const bool rest = !frame && !aReceived.empty() && !unfinished.empty();
    if (!frame && !rest) {
        return MaskCardData(aReceived);
    }
    const bool ended = aReceived.size() > 1 && (aReceived.back() == ETX || aReceived.back() == EOT);
    const Text payload = frame ? aReceived.substr(1, aReceived.size() - (ended ? 2 : 1))
                               : aReceived.substr(0, aReceived.size() - (ended ? 1 : 0));
    Text masked = frame
                      ? STX + P17MaskTerminalMessage(payload, !ended, fLastRequest, fInReceipt, fReceiptSoFar)
                      : MaskCardDataAfter(unfinished, payload, !ended);
    if (ended) {
        masked += aReceived.back();
    }
    // Both texts are as long: the difference of their check characters is what masking changed.
    const auto change = static_cast<char16_t>(CalcLRC(aReceived) ^ CalcLRC(masked) ^ unfinishedChange);
    if (ended) {
        fLrcChange = change;
    } else {
        fUnfinished = unfinished + aReceived;
        fUnfinished.erase(0,
                          fUnfinished.size() > kCardDataContext ? fUnfinished.size() - kCardDataContext : 0);
        fUnfinishedLrcChange = change;
    }
    if (fInReceipt) {
        const std::size_t header = frame ? P17FindField(P17ReceiptLayout(), "text")->Position - 1u : 0;
        fReceiptSoFar += payload.size() > header ? payload.substr(header) : Text();
        if (fReceiptSoFar.size() > kCardDataContext) {
            fReceiptSoFar.erase(0, fReceiptSoFar.size() - kCardDataContext);
        }
    }
    return masked;
}

void kP17Link::Pause(std::int32_t aMilliseconds) {
    if (fPause) {
        fPause(aMilliseconds);
    } else if (const tZR_CancelSignal* signal = fChannel.CancelSignal()) {
        // A cancelled command does not sit out the pause: the next read raises at once.
        signal->Sleep(aMilliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(aMilliseconds));
    }
}

bool kP17Link::SendFrame(const Text& aFrame) {
    fFault.clear();
    const P17Field& code = *P17FindField(*P17RequestLayout('E'), "code");
    if (!aFrame.empty() && aFrame.front() == STX && aFrame.size() > code.Position &&
        aFrame[code.Position] < 0x80) {
        fLastRequest = static_cast<char>(aFrame[code.Position]);
    }
    if (!fChannel.Write(aFrame)) {
        fFault = u"the frame could not be written to the line";
        return false;
    }
    return !aFrame.empty() && aFrame.front() == STX ? WaitForAck() : true;
}

bool kP17Link::WaitForAck() {
    Text payload;
    zrFrameKind kind = zrFrameKind::fk_None;
    ReadMessage(kAckTimeout, false, payload, kind);
    switch (kind) {
    case zrFrameKind::fk_Ack:
        return true;
    case zrFrameKind::fk_Data:
        fFault = u"a data frame came in place of the ACK";
        break;
    case zrFrameKind::fk_Soh:
        fFault = u"a status frame came in place of the ACK";
        break;
    case zrFrameKind::fk_None:
        fFault = fNoise ? Text(u"unreadable bytes came in place of the ACK")
                        : SilenceReason(u"no ACK within " + IntToText(kAckTimeout) + u" ms");
        break;
    }
    return false;
}

bool kP17Link::SendAck() {
    return SendFrame(AckFrame());
}

void kP17Link::Acknowledge(const Text& aWhich) {
    fAckFault.clear();
    const Text fault = fFault;
    try {
        if (!SendAck()) {
            fAckFault = aWhich + u" could not be written to the line";
        }
    } catch (const std::exception& e) {
        fAckFault = aWhich + u" could not be sent: " + ExceptionMessage(e);
    }
    fFault = fault;
    if (!fAckFault.empty()) {
        fChannel.Debug(tZR_MessageType::let_error, u"Not acknowledged: " + fAckFault);
    }
}

Text kP17Link::SilenceReason(const Text& aSilence) {
    // Only a channel whose far end can hang up tells a closed connection from a quiet one.
    kByteStream* stream = fChannel.ByteStream();
    if (stream != nullptr && stream->PeerClosed()) {
        return u"the connection was closed or reset";
    }
    return aSilence;
}

void kP17Link::ReadMessage(std::int32_t aTimeout, bool aSendAck, Text& aPayload, zrFrameKind& aKind) {
    // Also between frames that keep coming: a cancelled command reads nothing more.
    ThrowIfCancelled(fChannel.CancelSignal());
    // A channel without a byte stream (HTTP, library, ...) never has anything to read.
    kByteStream* stream = fChannel.ByteStream();
    fChannel.SetTemporaryReadTimeout(aTimeout);
    Text text;
    try {
        if (stream != nullptr) {
            text = stream->ReadUpTo({static_cast<std::uint8_t>(ETX), static_cast<std::uint8_t>(EOT)});
        }
    } catch (...) {
        fChannel.ResetTemporaryReadTimeout();
        throw;
    }
    fChannel.ResetTemporaryReadTimeout();

    const char16_t first = text.empty() ? u'\0' : text.front();
    aKind = first == ACK   ? zrFrameKind::fk_Ack
            : first == STX ? zrFrameKind::fk_Data
            : first == SOH ? zrFrameKind::fk_Soh
                           : zrFrameKind::fk_None;
    fNoise = aKind == zrFrameKind::fk_None && !text.empty();
    switch (aKind) {
    case zrFrameKind::fk_Data:
    case zrFrameKind::fk_Ack:
        text += stream->ReadChars(1);
        if (!ValidatePacket(text)) {
            const bool terminated =
                text.size() >= 3 && (text[text.size() - 2] == ETX || text[text.size() - 2] == EOT);
            fFault = terminated ? u"a frame with a wrong check character" : u"a frame cut short";
            throw ZrError(u"Invalid Packet Received");
        }
        aPayload = text.size() > 3 ? text.substr(1, text.size() - 3) : Text();
        if (first == STX && aSendAck) {
            Acknowledge(u"the ACK");
        }
        break;
    case zrFrameKind::fk_Soh:
        aPayload = text.size() > 2 ? text.substr(1, text.size() - 2) : Text();
        break;
    case zrFrameKind::fk_None:
        break;
    }
}

bool kP17Link::ReadResponse(std::int32_t aTimeout, Text& aPayload) {
    fFault.clear();
    fAckFault.clear();
    // The longest wait the protocol allows: every read empty and every pause taken.
    const tZR_Deadline deadline(static_cast<std::int64_t>(aTimeout) * 11 +
                                kEmptyReadPause * kEmptyReadsTolerated);
    zrFrameKind kind = zrFrameKind::fk_None;
    int emptyReads = 0;
    int otherFrames = 0;
    bool noise = false;
    do {
        ReadMessage(aTimeout, true, aPayload, kind);
        noise = noise || fNoise;
        if (kind == zrFrameKind::fk_None) {
            if (++emptyReads > kEmptyReadsTolerated) {
                fFault = noise ? Text(u"unreadable bytes came in place of the answer")
                               : SilenceReason(u"no answer in " + IntToText(kEmptyReadsTolerated + 1) +
                                               u" reads of " + IntToText(aTimeout) + u" ms");
                return false;
            }
            Pause(kEmptyReadPause);
        } else if (kind != zrFrameKind::fk_Data &&
                   (++otherFrames >= kMaxFramesPerAnswer || deadline.Passed())) {
            fChannel.Debug(tZR_MessageType::let_error,
                           u"ReadResponse: the terminal sent " + IntToText(otherFrames) +
                               u" status frames without an answer; the wait ends");
            fFault = u"only status frames came, " + IntToText(otherFrames) + u" of them";
            return false;
        }
    } while (kind != zrFrameKind::fk_Data);
    return true;
}

Text kP17Link::ReadReceiptText() {
    fReceiptFault.clear();
    kByteStream* stream = fChannel.ByteStream();
    if (stream == nullptr) {
        return Text();
    }
    // The terminal sends its receipt right after the ACK of its answer: the collection starts with the
    // first byte, and a line that stays quiet for the whole second is treated as it always was.
    stream->WaitForInput(kReceiptPause);
    if (!stream->MayHaveMoreToRead()) {
        if (stream->PeerClosed()) {
            fReceiptFault = u"the connection was closed or reset before any receipt text came";
        }
        return Text();
    }
    Text all;
    fReceiptSoFar.clear();
    struct InReceipt {
        bool& Flag;
        explicit InReceipt(bool& aFlag) : Flag(aFlag) { Flag = true; }
        ~InReceipt() { Flag = false; }
    } inReceipt(fInReceipt);
    try {
        CollectReceipt(*stream, all);
    } catch (const std::exception& e) {
        fReceiptFault = fFault.empty() ? ExceptionMessage(e) : u"the terminal sent " + fFault;
    }
    return BreakReceiptLines(MaskCardData(all));
}

void kP17Link::CollectReceipt(kByteStream& aStream, Text& aAll) {
    fFault.clear();
    const P17Field& receiptText = *P17FindField(P17ReceiptLayout(), "text");
    Text last;
    int emptyReads = 0;
    int frames = 0;
    while ((last.empty() || last.back() != ESC) && emptyReads <= kReceiptEmptyReadsTolerated) {
        if (frames >= kMaxReceiptFrames) {
            fChannel.Debug(tZR_MessageType::let_error,
                           u"ReadReceiptText: " + IntToText(frames) +
                               u" receipt frames without the closing ESC; collection stopped");
            fReceiptFault = IntToText(frames) + u" receipt frames came without an end";
            break;
        }
        Text payload;
        zrFrameKind kind = zrFrameKind::fk_None;
        ReadMessage(kReceiptReadTimeout, true, payload, kind);
        if (kind == zrFrameKind::fk_None) {
            ++emptyReads;
            // Nothing more can come over a closed connection, and no ACK can go out.
            if (aStream.PeerClosed()) {
                fReceiptFault = u"the connection was closed or reset before the last receipt frame";
                return;
            }
            continue;
        }
        ++frames;
        // The text field of the receipt layout: the header is not receipt text.
        last = P17FieldText(payload, receiptText);
        aAll += last;
        if (kind == zrFrameKind::fk_Data && !fAckFault.empty()) {
            fReceiptFault = fAckFault;
            return;
        }
    }
    if (fReceiptFault.empty() && frames > 0 && (last.empty() || last.back() != ESC)) {
        fReceiptFault = u"the terminal stopped sending before the last receipt frame";
    }
    Acknowledge(u"the final ACK");
    if (!fAckFault.empty() && fReceiptFault.empty()) {
        fReceiptFault = fAckFault;
    }
}
