#include "base/Application.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <thread>

#include "base/Formatting.h"
#include "base/LogFolder.h"
#include "base/LogWriter.h"
#include "base/ZrError.h"
#include "platform/Locale.h"
#include "platform/NamedMutex.h"
#include "platform/Process.h"
#include "platform/StringTable.h"
#include "platform/UserInterface.h"

tZR_Application* gApplication = nullptr;

namespace {
Text WithTrailingSeparator(const Text& aPath) {
    if (aPath.empty() || aPath.back() == u'/' || aPath.back() == u'\\') {
        return aPath;
    }
    return aPath + PathSeparator();
}

Text FolderOf(const Text& aPath) {
    const std::size_t cut = aPath.find_last_of(u"/\\");
    return cut == Text::npos ? Text() : aPath.substr(0, cut + 1);
}

Text NameWithoutExtension(const Text& aPath) {
    const std::size_t cut = aPath.find_last_of(u"/\\");
    Text name = cut == Text::npos ? aPath : aPath.substr(cut + 1);
    const std::size_t dot = name.find_last_of(u'.');
    if (dot != Text::npos) {
        name.resize(dot);
    }
    return name;
}

// --- %-placeholders of message templates: [index ":"] ["-"] [width] ["." precision] type ---------------
class TemplateFormatter {
public:
    TemplateFormatter(const Text& aTemplate, const std::vector<tZR_Value>& aValues)
        : fTemplate(aTemplate), fValues(aValues) {}

    Text Run() {
        Text out;
        std::size_t i = 0;
        while (i < fTemplate.size()) {
            const char16_t c = fTemplate[i++];
            if (c != u'%') {
                out.push_back(c);
                continue;
            }
            if (i < fTemplate.size() && fTemplate[i] == u'%') {
                out.push_back(u'%');
                ++i;
                continue;
            }
            out += Placeholder(i);
        }
        return out;
    }

private:
    [[noreturn]] void Fail() const {
        throw ZrError(u"Format '" + fTemplate + u"' invalid or incompatible with argument");
    }

    bool ReadNumber(std::size_t& i, int& aOut) const {
        bool any = false;
        int v = 0;
        while (i < fTemplate.size() && fTemplate[i] >= u'0' && fTemplate[i] <= u'9') {
            v = std::min(v * 10 + (fTemplate[i] - u'0'), 100000);
            any = true;
            ++i;
        }
        aOut = v;
        return any;
    }

    Text Placeholder(std::size_t& i) {
        int number = 0;
        bool left = false;
        int width = 0;
        int precision = -1;
        if (ReadNumber(i, number)) {
            if (i < fTemplate.size() && fTemplate[i] == u':') {
                fNext = static_cast<std::size_t>(number);
                ++i;
            } else {
                width = number;
            }
        }
        if (i < fTemplate.size() && fTemplate[i] == u'-') {
            left = true;
            ++i;
        }
        if (width == 0) {
            ReadNumber(i, width);
        }
        if (i < fTemplate.size() && fTemplate[i] == u'.') {
            ++i;
            if (!ReadNumber(i, precision)) {
                Fail();
            }
        }
        if (i >= fTemplate.size()) {
            Fail();
        }
        const char16_t type = static_cast<char16_t>(fTemplate[i++] | 0x20);
        if (fNext >= fValues.size()) {
            Fail();
        }
        const tZR_Value& value = fValues[fNext++];
        Text text = Render(type, value, precision);
        if (static_cast<int>(text.size()) < width) {
            const Text pad(static_cast<std::size_t>(width) - text.size(), u' ');
            text = left ? text + pad : pad + text;
        }
        return text;
    }

    Text Render(char16_t aType, const tZR_Value& aValue, int aPrecision) const {
        const auto* integer = std::get_if<std::int64_t>(&aValue);
        const auto* real = std::get_if<double>(&aValue);
        const auto* text = std::get_if<Text>(&aValue);
        switch (aType) {
        case u'd':
        case u'u':
        case u'x': {
            if (integer == nullptr) {
                Fail();
            }
            Text digits;
            bool negative = false;
            if (aType == u'x') {
                char buffer[24];
                const auto r =
                    std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::uint64_t>(*integer), 16);
                for (const char* p = buffer; p != r.ptr; ++p) {
                    digits.push_back(static_cast<char16_t>(*p >= 'a' ? *p - 'a' + 'A' : *p));
                }
            } else if (aType == u'u') {
                digits = UIntToText(static_cast<std::uint64_t>(*integer));
            } else {
                negative = *integer < 0;
                digits = UIntToText(negative ? 0 - static_cast<std::uint64_t>(*integer)
                                             : static_cast<std::uint64_t>(*integer));
            }
            if (aPrecision > static_cast<int>(digits.size())) {
                digits.insert(0, static_cast<std::size_t>(aPrecision) - digits.size(), u'0');
            }
            return negative ? u"-" + digits : digits;
        }
        case u's':
            if (text == nullptr) {
                Fail();
            }
            return aPrecision >= 0 && static_cast<std::size_t>(aPrecision) < text->size()
                       ? text->substr(0, static_cast<std::size_t>(aPrecision))
                       : *text;
        case u'f':
        case u'e':
        case u'g': {
            if (real == nullptr && integer == nullptr) {
                Fail();
            }
            const double v = real != nullptr ? *real : static_cast<double>(*integer);
            if (!std::isfinite(v)) {
                return Utf8ToText(std::isnan(v) ? "NAN" : (v < 0 ? "-INF" : "INF"));
            }
            char buffer[400];
            std::to_chars_result r{};
            if (aType == u'f') {
                const int decimals = aPrecision < 0 ? 2 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
            } else if (aType == u'e') {
                const int digits = aPrecision < 1 ? 15 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific,
                                  digits - 1);
            } else {
                const int digits = aPrecision < 1 ? 15 : std::min(aPrecision, 18);
                r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, digits);
            }
            if (r.ec != std::errc()) {
                Fail();
            }
            const Text separator = HostDecimalSeparator();
            Text out;
            for (const char* p = buffer; p != r.ptr; ++p) {
                if (*p == '.') {
                    out += separator;
                } else {
                    out.push_back(static_cast<char16_t>(*p == 'e' ? 'E' : *p));
                }
            }
            return out;
        }
        default:
            Fail();
        }
    }

    const Text& fTemplate;
    const std::vector<tZR_Value>& fValues;
    std::size_t fNext = 0;
};

Text ReplaceBackslashN(const Text& aText) {
    Text out;
    out.reserve(aText.size());
    for (std::size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == u'\\' && i + 1 < aText.size() && aText[i + 1] == u'n') {
            out += u"\r\n";
            ++i;
        } else {
            out.push_back(aText[i]);
        }
    }
    return out;
}

TextList SplitLines(const Text& aText) {
    TextList lines;
    std::size_t start = 0;
    while (start <= aText.size()) {
        std::size_t end = aText.find(u'\n', start);
        if (end == Text::npos) {
            end = aText.size();
        }
        Text line = aText.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
        }
        if (!(end == aText.size() && line.empty())) {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}
} // namespace

tZR_HostProcess tZR_HostProcess::Current() {
    return {::ExecutablePath(), ::CommandLineParameters()};
}

tZR_Application::tZR_Application() : tZR_Application(tZR_HostProcess::Current()) {}

tZR_Application::tZR_Application(const tZR_HostProcess& aHost) {
    fApplicationPath = WithTrailingSeparator(FolderOf(aHost.ExecutablePath));
    fApplicationName = NameWithoutExtension(aHost.ExecutablePath);
    // The version table is read first, so a malformed table fails before any thread exists: a thread left
    // behind by a failed load (inside the Windows loader) could not be joined.
    auto info = std::make_unique<tZR_ApplicationInfo>();
    info->Load();

    fWait = std::make_unique<tZR_Wait>();
    fSetup = std::make_unique<tZR_Setup>();
    fIconData = std::make_unique<PlatformNotifyIcon>();
    fTerminateOnExceptionIfBatch = true;
    const tZR_LogFolder logFolder = ChooseLogFolder(fApplicationPath, EnvironmentVariable(u"ZRPA_LOG_DIR"),
                                                    UserStateFolder(), fApplicationName + u".log");
    fLogFolder = logFolder.Folder;
    fLogger = std::make_unique<tZR_LogWriter>(fApplicationName, fLogFolder, 0, false);
    if (!logFolder.Note.empty()) {
        fLogger->Write(tZR_MessageType::let_info, logFolder.Note);
    }
    fIsBatch = !GetCommandLineSwitch(u"/BATCH", true, aHost.Parameters).empty();
    fIsDebug = !GetCommandLineSwitch(u"/DEBUG", true, aHost.Parameters).empty();
    fIsTest = !GetCommandLineSwitch(u"/TEST", true, aHost.Parameters).empty();
    fInfo = std::move(info);
    LoadMessages(u"MESSAGES");
}

tZR_Application::~tZR_Application() {
    DeleteNotifyIcon();
    fSetup.reset();
    if (fLogger) {
        fLogger->SetIsDLLFinalization(fIsDLLFinalization);
        fLogger.reset();
    }
    fWait.reset();
    fMessages.clear();
    fInfo.reset();
    fTimers.clear();
}

void tZR_Application::Log(tZR_MessageType aEntryType, const Text& aMessage) {
    if (aEntryType == tZR_MessageType::let_error) {
        std::lock_guard<std::mutex> lock(fLastErrorLock);
        fLastError = aMessage;
    }
    fLogger->Write(aEntryType, aMessage);
}

Text tZR_Application::LastError() const {
    std::lock_guard<std::mutex> lock(fLastErrorLock);
    return fLastError;
}

const Text& tZR_Application::Version() const {
    return fInfo->Version();
}
TDateTime tZR_Application::ReleaseDate() const {
    return fInfo->ReleaseDate();
}

Text tZR_Application::GetLogDirectory() const {
    return fLogger->Directory();
}
Text tZR_Application::GetLogFileName() const {
    return fLogger->FileName();
}

void tZR_Application::ChangeLogDirectory(const Text& aNewDir) {
    const bool relative = aNewDir.empty() || !(aNewDir[0] == u'\\' || aNewDir[0] == u'/' ||
                                               (aNewDir.size() >= 2 && aNewDir[1] == u':'));
    fLogger->SetDirectory(relative ? JoinPath(fLogFolder, aNewDir) : aNewDir);
}

void tZR_Application::ChangeLogFilename(const Text& aNewFileName) {
    fLogger->SetFileName(aNewFileName);
}

Text tZR_Application::GetMessage(const Text& aMessageId) const {
    return GetMessage(aMessageId, {});
}

Text tZR_Application::GetMessage(const Text& aMessageId, const std::vector<tZR_Value>& aValues) const {
    Text messageTemplate = aMessageId;
    auto found = fMessages.find(fLanguage + u"." + aMessageId);
    if (found == fMessages.end()) {
        found = fMessages.find(aMessageId + u"." + fDefaultLanguage);
    }
    if (found != fMessages.end()) {
        messageTemplate = found->second;
    }
    return ReplaceBackslashN(TemplateFormatter(messageTemplate, aValues).Run());
}

void tZR_Application::AddMessages(const TextList& aLines) {
    for (const Text& line : aLines) {
        fMessages.emplace(ExtractField(line, 1, u':', false), ExtractField(line, 2, u':', false));
    }
}

void tZR_Application::LoadMessages(const Text& aResourceName) {
    std::string bytes;
    if (!LoadOwnRawResource(aResourceName, bytes)) {
        return;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        bytes.erase(0, 3);
    }
    AddMessages(SplitLines(Utf8ToText(bytes)));
}

void tZR_Application::StartTimer() {
    StartTimerAt(Now());
}
std::int32_t tZR_Application::StopTimer() {
    return StopTimerAt(Now());
}
std::int32_t tZR_Application::GetTimerValue() const {
    return GetTimerValueAt(Now());
}

void tZR_Application::StartTimerAt(TDateTime aNow) {
    fTimers.push_back(aNow);
}

std::int32_t tZR_Application::StopTimerAt(TDateTime aNow) {
    const std::int32_t value = GetTimerValueAt(aNow);
    fTimers.pop_back();
    return value;
}

std::int32_t tZR_Application::GetTimerValueAt(TDateTime aNow) const {
    if (fTimers.empty()) {
        throw ZrError(u"No timer is running: StartTimer was not called");
    }
    return TimeToMilliseconds(aNow) - TimeToMilliseconds(fTimers.back());
}

void tZR_Application::SetSingleInstance(bool aValue) {
    if (aValue == fSingleInstance) {
        return;
    }
    fSingleInstance = aValue;
    if (aValue) {
        std::intptr_t handle = 0;
        if (AcquireNamedMutex(fApplicationName, handle) != tZR_MutexResult::mr_Acquired) {
            MessageOrLogPausingWait(tZR_MessageType::let_error, u"Impossible to enter single instance mode.");
            RequestHostTermination();
            return;
        }
        fSingleInstanceMutexHandle = handle;
    } else if (fSingleInstanceMutexHandle != 0) {
        ReleaseNamedMutex(fSingleInstanceMutexHandle);
        fSingleInstanceMutexHandle = 0;
    }
}

void tZR_Application::CreateNotifyIcon(void* aWindow) {
    fIconData->Add(aWindow);
    fNotifyIcon = true;
}

void tZR_Application::DeleteNotifyIcon() {
    if (fNotifyIcon) {
        fIconData->Remove();
        fNotifyIcon = false;
    }
}

void tZR_Application::Terminate() {
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    RequestHostTermination();
}

void tZR_Application::HandleException(const Text& aMessage) {
    if (!aMessage.empty()) {
        MessageOrLogPausingWait(tZR_MessageType::let_error, aMessage);
    }
    if (fIsBatch && fTerminateOnExceptionIfBatch) {
        RequestHostTermination();
    }
}

void tZR_Application::MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage) {
    if (fIsBatch) {
        Log(aEntryType, aMessage);
        return;
    }
    const tZR_BoxKind kind =
        aEntryType == tZR_MessageType::let_error ? tZR_BoxKind::bk_Error : tZR_BoxKind::bk_Information;
    if (!ShowModalMessage(kind, fApplicationName, aMessage)) {
        Log(aEntryType, aMessage);
    }
}

void tZR_Application::MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage) {
    if (!fWait->Started()) {
        MessageOrLog(aEntryType, aMessage);
        return;
    }
    fWait->Stop();
    MessageOrLog(aEntryType, aMessage);
    fWait->Start(Text());
}

void CreateApplicationContext() {
    if (gApplication == nullptr) {
        gApplication = new tZR_Application();
    }
}

void FreeApplicationContext(bool aIsDLLFinalization) {
    tZR_Application* application = gApplication;
    gApplication = nullptr;
    if (application != nullptr) {
        application->SetIsDLLFinalization(aIsDLLFinalization);
        delete application;
    }
}

Text FormatShortDate(TDateTime aDate) {
    const DateTimeParts p = DecodeDateTime(aDate);
    return HostShortDate(p.Year, p.Month, p.Day);
}

Text GetApplicationPath() {
    return WithTrailingSeparator(ExecutableDirectory());
}

Text GetApplicationName() {
    return NameWithoutExtension(ExecutablePath());
}

Text GetCommandLineSwitch(const Text& aSwitch, bool aWholeParameter) {
    return GetCommandLineSwitch(aSwitch, aWholeParameter, CommandLineParameters());
}

Text GetCommandLineSwitch(const Text& aSwitch, bool aWholeParameter, const TextList& aParameters) {
    if (aSwitch.empty()) {
        return Text();
    }
    const Text wanted = HostLowerCase(aSwitch);
    for (const Text& parameter : aParameters) {
        const Text lower = HostLowerCase(parameter);
        const bool match = lower == wanted ||
                           (lower.size() > wanted.size() && lower.compare(0, wanted.size(), wanted) == 0 &&
                            (lower[wanted.size()] == u':' || lower[wanted.size()] == u'='));
        if (match) {
            return aWholeParameter ? parameter
                                   : parameter.substr(std::min(parameter.size(), aSwitch.size() + 1));
        }
    }
    return Text();
}

void MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage) {
    if (gApplication != nullptr) {
        gApplication->MessageOrLog(aEntryType, aMessage);
        return;
    }
    ShowModalMessage(aEntryType == tZR_MessageType::let_error ? tZR_BoxKind::bk_Error
                                                              : tZR_BoxKind::bk_Information,
                     GetApplicationName(), aMessage);
}

void MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage) {
    if (gApplication != nullptr) {
        gApplication->MessageOrLogPausingWait(aEntryType, aMessage);
        return;
    }
    MessageOrLog(aEntryType, aMessage);
}
