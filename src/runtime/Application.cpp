#include "runtime/Application.h"

#include "platform/Locale.h"
#include "platform/Process.h"
#include "platform/UserInterface.h"
#include "runtime/LogFolder.h"
#include "runtime/LogRetention.h"
#include "runtime/LogWriter.h"

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
    // The first choice is remembered also when it failed: it is tried again first whenever a log moves.
    fLogRoot = std::make_shared<tZR_LogRoot>(logFolder.First, logFolder.Fallback, logFolder.Folder);
    fLogger = std::make_unique<tZR_LogWriter>(fApplicationName, Text(), 0, false);
    fLogger->PlaceUnder(fLogRoot, Text());
    // Cleared first thing in the destructor: a log thread still running then tells nothing.
    fLogRoot->SetReporter([this](tZR_MessageType aType, const Text& aMessage) { Log(aType, aMessage); });
    if (logFolder.Folder.empty()) {
        // A till goes on taking payments without a log; the host learns it once, here.
        AnnounceNoLogFolder(logFolder.Note);
    } else if (!logFolder.Note.empty()) {
        fLogger->Write(tZR_MessageType::let_info, logFolder.Note);
    }
    const tZR_LogKeepDays keep = ParseLogKeepDays(EnvironmentVariable(u"ZRPA_LOG_KEEP_DAYS"));
    fLogKeepDays = keep.Days;
    if (!keep.Note.empty()) {
        fLogger->Write(tZR_MessageType::let_error, keep.Note);
    }
    fIsBatch = !GetCommandLineSwitch(u"/BATCH", true, aHost.Parameters).empty();
    fIsDebug = !GetCommandLineSwitch(u"/DEBUG", true, aHost.Parameters).empty();
    fIsTest = !GetCommandLineSwitch(u"/TEST", true, aHost.Parameters).empty();
    fInfo = std::move(info);
    LoadMessages(u"MESSAGES");
}

tZR_Application::~tZR_Application() {
    if (fLogRoot) {
        fLogRoot->SetReporter(nullptr);
    }
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

Text tZR_Application::LogFolder() const {
    const Text current = fLogRoot->Current();
    return current.empty() ? fLogRoot->Folders().front() : current;
}

Text tZR_Application::WritableLogFolder() {
    return fLogRoot->Confirmed(fApplicationName + u".log");
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
    fLogger->SetDirectory(relative ? JoinPath(LogFolder(), aNewDir) : aNewDir);
}

void tZR_Application::ChangeLogFilename(const Text& aNewFileName) {
    fLogger->SetFileName(aNewFileName);
}

void CreateApplicationContext() {
    if (gApplication == nullptr) {
        gApplication = new tZR_Application();
        SetProcessLogRoot(gApplication->LogRoot());
    }
}

void FreeApplicationContext(bool aIsDLLFinalization) {
    tZR_Application* application = gApplication;
    gApplication = nullptr;
    SetProcessLogRoot(nullptr);
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
