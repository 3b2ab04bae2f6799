#pragma once
// A channel without a transport: the test scripts what the terminal sends in reply to each write, and
// the channel records every call the driver makes. Reads never wait: a read that finds no terminator
// returns what is there, as a real channel does once its time-out has passed.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "io/ByteStream.h"
#include "io/IOHandler.h"

class ScriptedChannel : public kIOHandler, public kByteStream {
public:
    // aClassName "kIOHandler_Serial" answers MayHaveMoreToRead as a serial line, any other as TCP.
    explicit ScriptedChannel(Text aClassName = u"kIOHandler_TCP")
        : kIOHandler(nullptr, Text(), Text()), fClassName(std::move(aClassName)) {
        SetReadTimeout(1000);
    }

    // --- script
    // Each write takes the next reply (possibly empty) and makes it readable.
    std::deque<Text> Replies;
    Text Input; // what the terminal has sent (the driver reads from the front)
    bool ConnectSucceeds = true;
    bool TransportConnected = true; // GetConnected while connected

    // --- record
    std::vector<Text> Writes;
    std::vector<std::string> Calls; // "Connect", "ClearBuffers", "Write", "ReadUpTo 3000", "Disconnect", ...

    bool GetConnected() override { return fOpen && TransportConnected; }
    bool Connect() override {
        Calls.push_back("Connect");
        fOpen = ConnectSucceeds;
        return fOpen;
    }
    bool Disconnect() override {
        Calls.push_back("Disconnect");
        fOpen = false;
        return true;
    }
    void ClearBuffers() override { Calls.push_back("ClearBuffers"); }
    bool Write(const Text& aMessage) override {
        Calls.push_back("Write");
        Writes.push_back(aMessage);
        if (!Replies.empty()) {
            Input += Replies.front();
            Replies.pop_front();
        }
        return true;
    }
    Text ReadUpTo(const std::vector<std::uint8_t>& aChars) override {
        Calls.push_back("ReadUpTo " + std::to_string(ReadTimeout()));
        // Consumed text is dropped in blocks, so long scripted streams stay cheap to read.
        if (fRead > 65536) {
            Input.erase(0, fRead);
            fRead = 0;
        }
        std::size_t end = Input.size();
        for (std::size_t i = fRead; i < Input.size(); ++i) {
            bool terminator = false;
            for (const auto c : aChars) {
                terminator = terminator || Input[i] == c;
            }
            if (terminator) {
                end = i + 1;
                break;
            }
        }
        Text out = Input.substr(fRead, end - fRead);
        fRead = end;
        return out;
    }
    Text ReadChars(std::int32_t aCharsNum) override {
        Calls.push_back("ReadChars");
        Text out = Input.substr(fRead, static_cast<std::size_t>(aCharsNum));
        fRead += out.size();
        return out;
    }
    Text ReadAll() override {
        Text out = Input.substr(fRead);
        fRead = Input.size();
        return out;
    }
    // What the driver has not read yet.
    Text Unread() const { return Input.substr(fRead); }
    bool InputBufferContainsData() override { return fRead < Input.size(); }
    // Never waits: what the terminal sends is all scripted already.
    bool WaitForInput(std::int32_t aMilliseconds) override {
        Calls.push_back("WaitForInput " + std::to_string(aMilliseconds));
        return InputBufferContainsData();
    }
    bool MayHaveMoreToRead() override {
        return fClassName == u"kIOHandler_Serial" ? InputBufferContainsData() : Connected();
    }
    bool PeerClosed() override { return fClassName == u"kIOHandler_TCP" && !Connected(); }
    Text ClassName() const override { return fClassName; }
    kByteStream* ByteStream() override { return this; }

    std::size_t Count(const std::string& aCall) const {
        std::size_t n = 0;
        for (const auto& c : Calls) {
            n += c == aCall ? 1 : 0;
        }
        return n;
    }

private:
    Text fClassName;
    bool fOpen = false;
    std::size_t fRead = 0;
};
