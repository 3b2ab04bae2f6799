#pragma once
// Loopback TCP endpoints for the channel tests: a listener on 127.0.0.1 (ephemeral port unless one is
// asked for) and the connections it accepts. Every wait is bounded; everything closes in its destructor.
// One implementation per OS (LoopbackServer_posix.cpp, LoopbackServer_win.cpp).
#include <cstdint>
#include <string>
#include <string_view>

class LoopbackPeer {
public:
    LoopbackPeer() = default;
    explicit LoopbackPeer(std::intptr_t aHandle) : fHandle(aHandle) {}
    LoopbackPeer(LoopbackPeer&& aOther) noexcept : fHandle(aOther.fHandle) { aOther.fHandle = -1; }
    LoopbackPeer& operator=(LoopbackPeer&& aOther) noexcept;
    ~LoopbackPeer() { Close(); }

    bool Valid() const { return fHandle != -1; }
    // Sends everything (blocking); false when the connection failed.
    bool Send(std::string_view aBytes);
    // Sends one byte as urgent (out-of-band) data.
    bool SendUrgent(char aByte);
    // Receives until aCount bytes came, the peer closed or aTimeoutMs passed; returns what came.
    std::string Receive(std::size_t aCount, int aTimeoutMs);
    // Half-close: the client sees "Connection Closed Gracefully." once it has read everything.
    void ShutdownWrite();
    void Close();
    // Closes with a reset (linger 0): the client's next receive fails with "Connection reset".
    void Reset();

private:
    std::intptr_t fHandle = -1;
};

class LoopbackListener {
public:
    // Listens on 127.0.0.1: aPort 0 takes an ephemeral port; aBacklog is the accept queue length.
    explicit LoopbackListener(std::uint16_t aPort = 0, int aBacklog = 8);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool Valid() const { return fHandle != -1; }
    std::uint16_t Port() const { return fPort; }
    // The next connection, or an invalid peer after aTimeoutMs.
    LoopbackPeer Accept(int aTimeoutMs);
    // Fills the accept queue with connections nobody accepts, until a further connect stays
    // unanswered: after that a client's connect to this listener can only time out. False when the
    // system answers instead (then a connect time-out cannot be produced this way).
    bool FillBacklog();
    void Close();

private:
    std::intptr_t fHandle = -1;
    std::uint16_t fPort = 0;
    static constexpr int kMaxFillers = 64;
    std::intptr_t fFillers[kMaxFillers];
    int fFillerCount = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound and closed again), for "connection refused".
std::uint16_t UnusedLoopbackPort();

// True when a Windows test program runs under Wine, whose closesocket with linger 0 ends the connection
// gracefully instead of with a reset: a peer reset cannot be produced there.
bool LoopbackResetIsGraceful();
