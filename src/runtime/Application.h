#pragma once
// tZR_Application: the process-wide context of the library (application log, version information,
// command-line switches, message dictionary, timers, settings store, please-wait window). Exactly one
// instance, gApplication, exists from library load to unload.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <variant>
#include <vector>

#include "base/DateTime.h"
#include "base/Text.h"
#include "runtime/AppInfo.h"
#include "runtime/ApplicationSetup.h"
#include "runtime/ApplicationWait.h"
#include "runtime/MessageTemplate.h"
#include "runtime/ZRBaseDefs.h"

// windows.h maps GetMessage to GetMessageW; the member keeps its own name wherever this header comes last.
#ifdef GetMessage
#undef GetMessage
#endif

class tZR_LogWriter;
class tZR_LogRoot;
class PlatformNotifyIcon;

// The host process an application context describes: normally the real one; tests may pass another.
struct tZR_HostProcess {
    Text ExecutablePath;
    TextList Parameters; // without the executable
    static tZR_HostProcess Current();
};

class tZR_Application {
public:
    // Builds the context of the running host.
    tZR_Application();
    explicit tZR_Application(const tZR_HostProcess& aHost);
    virtual ~tZR_Application();
    tZR_Application(const tZR_Application&) = delete;
    tZR_Application& operator=(const tZR_Application&) = delete;

    // Writes a line into the application log; an error line also becomes LastError.
    void Log(tZR_MessageType aEntryType, const Text& aMessage);
    // Version of the library as "1.27" and its release date, from the version-history table.
    const Text& Version() const;
    TDateTime ReleaseDate() const;

    Text GetLogDirectory() const;
    Text GetLogFileName() const;
    // The LogFiles folder in use (ChooseLogFolder at construction, its fallback once writing there failed):
    // the device logs go to its Payment folder. While no folder can be written, the first choice, where
    // logs start again once it can be (its logs have no file until then).
    Text LogFolder() const;
    // The LogFiles folder in use, checked now: one that is gone or no longer a folder is replaced by the
    // first folder that can be written, as a failed write would. Empty when none can be written.
    Text WritableLogFolder();
    // Days device logs are kept (ZRPA_LOG_KEEP_DAYS, read at construction); 0: every log is kept.
    std::int32_t LogKeepDays() const { return fLogKeepDays; }
    // The folders the logs of this context may go to, shared with its log writers.
    const std::shared_ptr<tZR_LogRoot>& LogRoot() const { return fLogRoot; }
    // A relative aNewDir (empty, or neither starting with a separator nor a drive) goes below LogFolder.
    void ChangeLogDirectory(const Text& aNewDir);
    void ChangeLogFilename(const Text& aNewFileName);

    // The template of aMessageId (language first, then the default language, else the id itself) with its
    // %-placeholders filled and every backslash-n turned into CR LF. Raises ZrError for a placeholder
    // without a matching value.
    Text GetMessage(const Text& aMessageId) const;
    Text GetMessage(const Text& aMessageId, const std::vector<tZR_Value>& aValues) const;
    // Adds "key:value" lines to the message dictionary; the first line with a key wins.
    void AddMessages(const TextList& aLines);

    void StartTimer();
    // Milliseconds since the newest StartTimer (times of day only); StopTimer also removes it. Raise ZrError
    // when no timer runs.
    std::int32_t StopTimer();
    std::int32_t GetTimerValue() const;
    std::int32_t GetTimerCount() const { return static_cast<std::int32_t>(fTimers.size()); }
    // The same with the current time given (for code that has its own clock).
    void StartTimerAt(TDateTime aNow);
    std::int32_t StopTimerAt(TDateTime aNow);
    std::int32_t GetTimerValueAt(TDateTime aNow) const;

    void ForceIsBatch() { fIsBatch = true; }
    bool SingleInstance() const { return fSingleInstance; }
    void SetSingleInstance(bool aValue);

    // aWindow: the native handle of the window that receives the icon's messages.
    void CreateNotifyIcon(void* aWindow);
    void DeleteNotifyIcon();
    // Lets pending window messages run, sleeps 500 ms and asks the host to end.
    void Terminate();
    // What an unhandled error of code built on the library should come to: the message shown (or logged in
    // batch mode), then the host asked to end when in batch mode.
    void HandleException(const Text& aMessage);

    // In batch mode the message goes to the application log; otherwise a modal box shows it.
    void MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage);
    void MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage);

    tZR_Wait& Wait() { return *fWait; }
    tZR_Setup& Setup() { return *fSetup; }
    tZR_ApplicationInfo& Info() { return *fInfo; }
    const tZR_ApplicationInfo& Info() const { return *fInfo; }
    tZR_LogWriter& Logger() { return *fLogger; }
    // A copy: Log may store a new error from another thread at any time.
    Text LastError() const;
    bool IsBatch() const { return fIsBatch; }
    bool IsDebug() const { return fIsDebug; }
    bool IsTest() const { return fIsTest; }
    bool NotifyIcon() const { return fNotifyIcon; }
    bool HideOnMinimize() const { return fHideOnMinimize; }
    void SetHideOnMinimize(bool aValue) { fHideOnMinimize = aValue; }
    bool TerminateOnExceptionIfBatch() const { return fTerminateOnExceptionIfBatch; }
    void SetTerminateOnExceptionIfBatch(bool aValue) { fTerminateOnExceptionIfBatch = aValue; }
    const Text& DefaultLanguage() const { return fDefaultLanguage; }
    void SetDefaultLanguage(const Text& aValue) { fDefaultLanguage = aValue; }
    const Text& Language() const { return fLanguage; }
    void SetLanguage(const Text& aValue) { fLanguage = aValue; }
    bool IsDLLFinalization() const { return fIsDLLFinalization; }
    void SetIsDLLFinalization(bool aValue) { fIsDLLFinalization = aValue; }
    // The host's folder (with a trailing separator) and executable name without extension.
    const Text& ApplicationPath() const { return fApplicationPath; }
    const Text& ApplicationName() const { return fApplicationName; }

private:
    void LoadMessages(const Text& aResourceName);

    Text fApplicationPath;
    Text fApplicationName;
    std::shared_ptr<tZR_LogRoot> fLogRoot;
    std::int32_t fLogKeepDays = 0;
    std::unique_ptr<tZR_Setup> fSetup;
    std::unique_ptr<tZR_Wait> fWait;
    std::unique_ptr<PlatformNotifyIcon> fIconData;
    bool fNotifyIcon = false;
    bool fHideOnMinimize = false;
    std::unique_ptr<tZR_LogWriter> fLogger;
    mutable std::mutex fLastErrorLock; // Log runs on any thread
    Text fLastError;
    bool fIsBatch = false;
    bool fIsDebug = false;
    bool fIsTest = false;
    bool fSingleInstance = false;
    std::intptr_t fSingleInstanceMutexHandle = 0;
    bool fTerminateOnExceptionIfBatch = true;
    Text fDefaultLanguage;
    Text fLanguage;
    std::map<Text, Text> fMessages;
    std::unique_ptr<tZR_ApplicationInfo> fInfo;
    std::vector<TDateTime> fTimers;
    bool fIsDLLFinalization = false;
};

// Null before load and after unload.
extern tZR_Application* gApplication;

// Called by the library's load code: creates gApplication (raises when the version table is malformed).
void CreateApplicationContext();
// Called by the library's unload code: aIsDLLFinalization bounds the wait for the log thread to 500 ms.
void FreeApplicationContext(bool aIsDLLFinalization);

// aDate in the system's short date format (the host's regional settings).
Text FormatShortDate(TDateTime aDate);

// The host executable's folder with a trailing separator, and its file name without extension.
Text GetApplicationPath();
Text GetApplicationName();
// The first host parameter equal to aSwitch, or starting with aSwitch + ":" or "=" (case-insensitive): the
// whole parameter, or what follows the ":" or "="; empty when none matches.
Text GetCommandLineSwitch(const Text& aSwitch, bool aWholeParameter);
Text GetCommandLineSwitch(const Text& aSwitch, bool aWholeParameter, const TextList& aParameters);
// Through gApplication (a box, or the application log in batch mode); before load, a box (or stderr).
void MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage);
void MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage);
