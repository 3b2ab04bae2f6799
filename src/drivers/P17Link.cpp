#include "drivers/P17Link.h"

#include <chrono>
#include <thread>

#include "base/ZrError.h"
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

Text BreakReceiptLines(TextView aText) {
    Text out;
    Text line;
    std::size_t width = 24;
    for (const char16_t c : aText) {
        switch (c) {
        case u'^':
            width = 42;
            continue;
        case u'{':
        case u'|':
            width = 12;
            continue;
        case u'}':
        case u'~':
        case 0x7F:
            width = 24;
            continue;
        default:
            break;
        }
        line += c == ESC ? u' ' : c;
        if (line.size() >= width) {
            out += line;
            out += u"\r\n";
            line.clear();
        }
    }
    return out;
}

kP17Link::kP17Link(kIOHandler& aChannel, PauseFn aPause) : fChannel(aChannel), fPause(std::move(aPause)) {}

void kP17Link::Pause(std::int32_t aMilliseconds) {
    if (fPause) {
        fPause(aMilliseconds);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(aMilliseconds));
    }
}

bool kP17Link::SendFrame(const Text& aFrame) {
    if (!fChannel.Write(aFrame)) {
        return false;
    }
    return !aFrame.empty() && aFrame.front() == STX ? WaitForAck() : true;
}

bool kP17Link::WaitForAck() {
    Text payload;
    zrFrameKind kind = zrFrameKind::fk_None;
    ReadMessage(kAckTimeout, false, payload, kind);
    return kind == zrFrameKind::fk_Ack;
}

bool kP17Link::SendAck() {
    return SendFrame(AckFrame());
}

void kP17Link::ReadMessage(std::int32_t aTimeout, bool aSendAck, Text& aPayload, zrFrameKind& aKind) {
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
    switch (aKind) {
    case zrFrameKind::fk_Data:
    case zrFrameKind::fk_Ack:
        text += stream->ReadChars(1);
        if (!ValidatePacket(text)) {
            throw ZrError(u"Invalid Packet Received");
        }
        if (first == STX && aSendAck) {
            SendAck();
        }
        aPayload = text.size() > 3 ? text.substr(1, text.size() - 3) : Text();
        break;
    case zrFrameKind::fk_Soh:
        aPayload = text.size() > 2 ? text.substr(1, text.size() - 2) : Text();
        break;
    case zrFrameKind::fk_None:
        break;
    }
}

void kP17Link::ReadResponse(std::int32_t aTimeout, Text& aPayload) {
    // The longest wait the protocol allows: every read empty and every pause taken.
    const tZR_Deadline deadline(static_cast<std::int64_t>(aTimeout) * 11 +
                                kEmptyReadPause * kEmptyReadsTolerated);
    zrFrameKind kind = zrFrameKind::fk_None;
    int emptyReads = 0;
    int otherFrames = 0;
    do {
        ReadMessage(aTimeout, true, aPayload, kind);
        if (kind == zrFrameKind::fk_None) {
            if (++emptyReads > kEmptyReadsTolerated) {
                break;
            }
            Pause(kEmptyReadPause);
        } else if (kind != zrFrameKind::fk_Data &&
                   (++otherFrames >= kMaxFramesPerAnswer || deadline.Passed())) {
            fChannel.Debug(tZR_MessageType::let_error,
                           u"ReadResponse: the terminal sent " + IntToText(otherFrames) +
                               u" status frames without an answer; the wait ends");
            break;
        }
    } while (kind != zrFrameKind::fk_Data);
}

Text kP17Link::ReadReceiptText() {
    Pause(kReceiptPause);
    kByteStream* stream = fChannel.ByteStream();
    if (stream == nullptr || !stream->MayHaveMoreToRead()) {
        return Text();
    }
    Text all;
    Text last;
    int emptyReads = 0;
    int frames = 0;
    while ((last.empty() || last.back() != ESC) && emptyReads <= kReceiptEmptyReadsTolerated) {
        if (frames >= kMaxReceiptFrames) {
            fChannel.Debug(tZR_MessageType::let_error,
                           u"ReadReceiptText: " + IntToText(frames) +
                               u" receipt frames without the closing ESC; collection stopped");
            break;
        }
        Text payload;
        zrFrameKind kind = zrFrameKind::fk_None;
        ReadMessage(kReceiptReadTimeout, true, payload, kind);
        if (kind == zrFrameKind::fk_None) {
            ++emptyReads;
        } else {
            ++frames;
            last = payload.size() > kReceiptHeaderLength
                       ? payload.substr(kReceiptHeaderLength, kReceiptPieceLength)
                       : Text();
            all += last;
        }
    }
    SendAck();
    return BreakReceiptLines(all);
}
