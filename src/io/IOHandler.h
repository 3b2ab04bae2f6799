#pragma once
// kIOHandler: the channel through which a driver talks to its device. One concrete class per transport;
// each writes every step into its own log file (a tZR_LogWriter owned by the channel).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/Currency.h"
#include "base/Text.h"
#include "io/Connection.h"
#include "platform/Cancel.h"

class kByteStream;
#include "runtime/LogWriter.h"

class kIOHandler {
public:
    // Copies the time-outs of aConnection (may be null: both stay 0). With a non-empty directory and file
    // name it creates the log writer (daily file, no length limit) and logs the START line.
    kIOHandler(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName);
    // Logs the STOP line and frees the writer. Concrete channels release their transport first.
    virtual ~kIOHandler();
    kIOHandler(const kIOHandler&) = delete;
    kIOHandler& operator=(const kIOHandler&) = delete;

    // --- the channel contract, in slot order ---------------------------------------------------------
    virtual bool GetConnected() = 0;
    // Writes the header block (class name, version, time-outs) and returns true; concrete channels call
    // it first and then open their transport.
    virtual bool Connect();
    virtual bool Disconnect() = 0;
    virtual bool Write(const Text& aMessage) = 0;
    // The text of a channel-specific error code; the empty text unless the channel knows codes.
    virtual Text DecodeError(std::int32_t aErrorCode);
    // A channel-specific setting (an HTTP header, for one); ignored unless the channel has settings.
    virtual void SetParameter(const Text& aName, const Text& aValue);
    // The class name written in the connect header block, e.g. u"kIOHandler_TCP".
    virtual Text ClassName() const = 0;
    // The channel's byte stream (the same object), or null for a channel that only writes or calls.
    virtual kByteStream* ByteStream() { return nullptr; }

    bool Connected() { return GetConnected(); }

    // The signal of the command that uses the channel now (null between commands): every wait of the
    // channel ends within kCancelSliceMs of it being raised, with tZR_Cancelled. The device sets it for
    // the length of one operation; channels that wait in a transport of their own pass it on.
    virtual void SetCancelSignal(const tZR_CancelSignal* aSignal) { fCancelSignal = aSignal; }
    const tZR_CancelSignal* CancelSignal() const { return fCancelSignal; }

    // --- logging -------------------------------------------------------------------------------------
    // aTitle + ":" + aMessage, then " [" + hex dump + "]" when HexLog is set. Silent without a writer.
    void WriteLog(tZR_MessageType aEntryType, const Text& aTitle, const Text& aMessage);
    // aMessage as one line, unchanged. Silent without a writer.
    void Debug(tZR_MessageType aEntryType, Text aMessage);
    // The log's file; empty without a writer or while no log folder can be written.
    Text GetLogFileName() const;
    // Before an operation: a log folder that is gone or no longer a folder is replaced now (the writer's
    // ConfirmFolder), so GetLogFileName names the file the operation's lines go to.
    void ConfirmLogFolder();
    tZR_LogWriter* Logger() const { return fLogger.get(); }

    // What the driver makes of received text before the channel logs it. The channel knows no protocol;
    // the driver does, and knows which of the device's messages carry card data that no log may keep.
    using ReceivedLogMask = std::function<Text(const Text& aReceived)>;
    // From now on every "Read" and "Read Timeout" line (and its hex dump) shows aMask of the received text;
    // the reader still gets the text as it came. An empty mask logs the text as it came.
    void SetReceivedLogMask(ReceivedLogMask aMask) { fReceivedLogMask = std::move(aMask); }

    // --- error fields --------------------------------------------------------------------------------
    void SetCustomError(std::int32_t aErrorCode, const Text& aErrorMessage);
    // Only the message: ErrorFound and ErrorCode stay as they are (a spooler failure is told this way).
    void SetErrorMessage(const Text& aErrorMessage) { fErrorMessage = aErrorMessage; }
    void ResetCustomError();
    bool ErrorFound() const { return fErrorFound; }
    std::int32_t ErrorCode() const { return fErrorCode; }
    const Text& ErrorMessage() const { return fErrorMessage; }

    // --- time-outs and settings ----------------------------------------------------------------------
    void SetTemporaryReadTimeout(std::int32_t aNewTimeout);
    void ResetTemporaryReadTimeout();
    bool HexLog() const { return fHexLog; }
    void SetHexLog(bool aValue) { fHexLog = aValue; }
    std::int32_t ConnectTimeout() const { return fConnectTimeout; }
    void SetConnectTimeout(std::int32_t aValue) { fConnectTimeout = aValue; }
    std::int32_t ReadTimeout() const { return fReadTimeout; }
    void SetReadTimeout(std::int32_t aValue) { fReadTimeout = aValue; }
    const Text& Version() const { return fVersion; }
    void SetVersion(const Text& aValue) { fVersion = aValue; }
    std::int32_t CodePage() const { return fCodePage; }
    void SetCodePage(std::int32_t aValue) { fCodePage = aValue; }

    // Lower-case hex codes, at least two digits each, separated by one blank: STX A B C ETX -> "02 41 42 43
    // 03".
    static Text TextToHex(TextView aText);
    // Shortest decimal form with "." and no ",", "-" before negative amounts.
    static Text CurrencyToText(Currency aValue);

protected:
    // WriteLog of text the channel received, through the received-text mask.
    void LogReceived(tZR_MessageType aEntryType, const Text& aTitle, const Text& aReceived);
    // The "Waiting for:" line that ReadUpTo of the byte channels logs before it waits.
    void LogTerminators(const std::vector<std::uint8_t>& aChars);

private:
    bool fErrorFound = false;
    std::int32_t fErrorCode = 0;
    Text fErrorMessage;
    std::unique_ptr<tZR_LogWriter> fLogger;
    ReceivedLogMask fReceivedLogMask;
    bool fHexLog = false;
    std::int32_t fConnectTimeout = 0;
    std::int32_t fReadTimeout = 0;
    std::int32_t fTemporaryReadTimeout = 0;
    Text fVersion;
    std::int32_t fCodePage = 0;
    const tZR_CancelSignal* fCancelSignal = nullptr;
};
