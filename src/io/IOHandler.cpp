#include "io/IOHandler.h"

namespace {
// Plain arrays, not Text objects: a channel still open when the host exits or unloads the library is
// destroyed after the exit handlers have run, and writes its STOP line then.
constexpr char16_t kStartLine[] = u"*************************** START ***************************";
constexpr char16_t kStopLine[] = u"*************************** STOP ****************************";
constexpr char16_t kHeaderLine[] = u"*************************************************************";

} // namespace

kIOHandler::kIOHandler(const kConnection* aConnection, const Text& aDirectory, const Text& aFileName) {
    if (aConnection != nullptr) {
        fReadTimeout = aConnection->ReadTimeOut();
        fConnectTimeout = aConnection->ConnectTimeOut();
    }
    if (!aDirectory.empty() && !aFileName.empty()) {
        fLogger = std::make_unique<tZR_LogWriter>(aFileName, aDirectory, 0, true);
        fLogger->Write(tZR_MessageType::let_info, kStartLine);
    }
}

kIOHandler::~kIOHandler() {
    if (fLogger) {
        fLogger->Write(tZR_MessageType::let_info, kStopLine);
        fLogger.reset();
    }
}

bool kIOHandler::Connect() {
    Debug(tZR_MessageType::let_info, kHeaderLine);
    Debug(tZR_MessageType::let_info, ClassName());
    Debug(tZR_MessageType::let_info, fVersion);
    Debug(tZR_MessageType::let_info, u"ConnectTimeout=" + IntToText(fConnectTimeout));
    Debug(tZR_MessageType::let_info, u"ReadTimeout=" + IntToText(fReadTimeout));
    return true;
}

Text kIOHandler::DecodeError(std::int32_t) {
    return Text();
}

void kIOHandler::SetParameter(const Text&, const Text&) {}

void kIOHandler::WriteLog(tZR_MessageType aEntryType, const Text& aTitle, const Text& aMessage) {
    if (!fLogger) {
        return;
    }
    // The hex dump of the message is made on the writer's thread.
    const std::size_t messageStart = aTitle.size() + 1;
    fLogger->Write(aEntryType, aTitle + u":" + aMessage, fHexLog ? messageStart : tZR_LogWriter::kNoHexDump);
}

void kIOHandler::LogReceived(tZR_MessageType aEntryType, const Text& aTitle, const Text& aReceived) {
    if (fLogger) {
        WriteLog(aEntryType, aTitle, fReceivedLogMask ? fReceivedLogMask(aReceived) : aReceived);
    }
}

void kIOHandler::Debug(tZR_MessageType aEntryType, Text aMessage) {
    if (fLogger) {
        fLogger->Write(aEntryType, std::move(aMessage));
    }
}

Text kIOHandler::GetLogFileName() const {
    return fLogger ? fLogger->FileName() : Text();
}

void kIOHandler::ConfirmLogFolder() {
    if (fLogger) {
        fLogger->ConfirmFolder();
    }
}

void kIOHandler::SetCustomError(std::int32_t aErrorCode, const Text& aErrorMessage) {
    fErrorFound = true;
    fErrorCode = aErrorCode;
    fErrorMessage = aErrorMessage;
}

void kIOHandler::ResetCustomError() {
    fErrorFound = false;
    fErrorCode = 0;
    fErrorMessage.clear();
}

void kIOHandler::SetTemporaryReadTimeout(std::int32_t aNewTimeout) {
    if (fLogger) {
        fLogger->Write(tZR_MessageType::let_info, u"Set Read Timeout to " + IntToText(aNewTimeout) +
                                                      u"ms from " + IntToText(fReadTimeout) + u" ms");
    }
    if (aNewTimeout > 0) {
        fTemporaryReadTimeout = fReadTimeout;
        fReadTimeout = aNewTimeout;
    }
}

void kIOHandler::ResetTemporaryReadTimeout() {
    if (fLogger) {
        fLogger->Write(tZR_MessageType::let_info,
                       u"Reset Timeout to " + IntToText(fTemporaryReadTimeout) + u" ms");
    }
    if (fTemporaryReadTimeout != 0) {
        fReadTimeout = fTemporaryReadTimeout;
    }
}

Text kIOHandler::TextToHex(TextView aText) {
    return HexCodes(aText);
}

Text kIOHandler::CurrencyToText(Currency aValue) {
    Text out = aValue.ToText();
    std::erase(out, u',');
    return out;
}

void kIOHandler::LogTerminators(const std::vector<std::uint8_t>& aChars) {
    if (!fLogger) {
        return;
    }
    Text line = u"Waiting for:";
    Text hex;
    for (std::size_t i = 0; i < aChars.size(); ++i) {
        if (i > 0) {
            line += u',';
            hex += u',';
        }
        line += static_cast<char16_t>(aChars[i]);
        hex += IntToHex(aChars[i], 2, true);
    }
    if (fHexLog) {
        line += u" [" + hex + u"]";
    }
    fLogger->Write(tZR_MessageType::let_info, std::move(line));
}
