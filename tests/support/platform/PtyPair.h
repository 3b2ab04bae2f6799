#pragma once
// A pseudo-terminal for the serial tests (POSIX only): the slave is the "serial port" the channel
// opens, the test plays the terminal on the master. The slave stays open here as well, so its line
// settings can be read back and the master never sees a hang-up while the channel reopens the port.
#include <string>
#include <string_view>

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return fMaster >= 0; }
    const std::string& SlaveName() const { return fSlaveName; }
    int SlaveFd() const { return fSlave; }
    // Writes everything to the master (what the channel will read).
    bool Send(std::string_view aBytes);
    // Reads from the master until aCount bytes came or aTimeoutMs passed (what the channel wrote).
    std::string Receive(std::size_t aCount, int aTimeoutMs);
    // Closes the master: the slave side hangs up.
    void CloseMaster();

private:
    int fMaster = -1;
    int fSlave = -1;
    std::string fSlaveName;
};
