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
#include "base/ZRBaseDefs.h"

// windows.h maps GetMessage to GetMessageW; the member keeps its own name wherever this header comes last.
#ifdef GetMessage
#undef GetMessage
#endif

class tZR_LogWriter;
class PlatformWaitWindow;
class PlatformNotifyIcon;

// A value of the settings store and an argument of GetMessage: empty, integer, floating point, Boolean or
// text.
using tZR_Value = std::variant<std::monostate, std::int64_t, double, bool, Text>;

// One version of the history: its number, release date, author and change notes.
class tZR_ApplicationHistory {
public:
    virtual ~tZR_ApplicationHistory() = default;
    const Text& Version() const { return fVersion; }
    void SetVersion(const Text& aValue) { fVersion = aValue; }
    TDateTime ReleaseDate() const { return fReleaseDate; }
    void SetReleaseDate(TDateTime aValue) { fReleaseDate = aValue; }
    const Text& Author() const { return fAuthor; }
    void SetAuthor(const Text& aValue) { fAuthor = aValue; }
    // The change notes (the history's Text property), one per "$PTEXT" or "$TEXT" entry.
    const TextList& Notes() const { return fText; }
    TextList& Notes() { return fText; }

private:
    Text fVersion;
    TDateTime fReleaseDate = 0;
    Text fAuthor;
    TextList fText;
};

// tZR_ApplicationInfo: description, rights notice, version, release date and history, read once from the
// library's string table (identifiers 10000 upward, each "key=value").
class tZR_ApplicationInfo {
public:
    using StringReader = std::function<Text(std::uint32_t aId)>;

    tZR_ApplicationInfo() = default;
    virtual ~tZR_ApplicationInfo() = default;
    tZR_ApplicationInfo(const tZR_ApplicationInfo&) = delete;
    tZR_ApplicationInfo& operator=(const tZR_ApplicationInfo&) = delete;

    // Reads the library's own string table. Raises ZrError for an impossible release date.
    void Load();
    // The same from any source of strings (a missing identifier reads as the empty text).
    void Load(const StringReader& aRead);

    const Text& Description() const { return fDescription; }
    void SetDescription(const Text& aValue) { fDescription = aValue; }
    const Text& Copyright() const { return fCopyright; }
    void SetCopyright(const Text& aValue) { fCopyright = aValue; }
    const Text& Version() const { return fVersion; }
    void SetVersion(const Text& aValue) { fVersion = aValue; }
    TDateTime ReleaseDate() const { return fReleaseDate; }
    void SetReleaseDate(TDateTime aValue) { fReleaseDate = aValue; }
    const std::vector<std::unique_ptr<tZR_ApplicationHistory>>& History() const { return fHistory; }
    std::vector<std::unique_ptr<tZR_ApplicationHistory>>& History() { return fHistory; }
    // "[" + Version + " - " + ReleaseDate in the host's short date format + "]".
    Text VersionString() const;

private:
    Text fDescription;
    Text fCopyright;
    Text fVersion;
    TDateTime fReleaseDate = 0;
    std::vector<std::unique_ptr<tZR_ApplicationHistory>> fHistory;
};

class tZR_SetupEntry {
public:
    virtual ~tZR_SetupEntry() = default;
    const Text& Name() const { return fName; }
    void SetName(const Text& aValue) { fName = aValue; }
    const tZR_Value& Value() const { return fValue; }
    void SetValue(const tZR_Value& aValue) { fValue = aValue; }

private:
    Text fName;
    tZR_Value fValue;
};

// tZR_Setup: names (compared case-insensitively) with values, in the order they were first set.
class tZR_Setup {
public:
    tZR_Setup() = default;
    virtual ~tZR_Setup() = default;
    tZR_Setup(const tZR_Setup&) = delete;
    tZR_Setup& operator=(const tZR_Setup&) = delete;

    // SetValue with the empty value.
    void Define(const Text& aName);
    // A copy of the value, or the empty value when the name is unknown.
    tZR_Value GetValue(const Text& aName) const;
    void SetValue(const Text& aName, const tZR_Value& aValue);
    std::size_t Count() const { return fList.size(); }

private:
    tZR_SetupEntry* FindEntry(const Text& aName) const;
    std::vector<std::unique_ptr<tZR_SetupEntry>> fList;
};

// tZR_Wait: a small stay-on-top "please wait" window with one label (Windows only; elsewhere it keeps its
// state and shows nothing).
class tZR_Wait {
public:
    tZR_Wait();
    virtual ~tZR_Wait();
    tZR_Wait(const tZR_Wait&) = delete;
    tZR_Wait& operator=(const tZR_Wait&) = delete;

    void Start(const Text& aText);
    void Stop();
    // The text for the language of gApplication, and aValue on a second line when it is not empty.
    void SetText(const Text& aValue);
    bool Started() const { return fStarted; }
    const Text& LabelText() const { return fLabel; }

private:
    std::unique_ptr<PlatformWaitWindow> fForm; // created when first shown
    Text fBase;
    Text fLabel;
    bool fStarted = false;
    const Text fText_IT = u"Attendere prego ...";
    const Text fText_EN = u"Wait please ...";
    const Text fText_ES = u"Espere, por favor ...";
    const Text fText_PT = u"Aguarde, por favor ...";
    const Text fText_FR = u"Veuillez patienter ...";
};

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
    // The LogFiles folder chosen at construction (ChooseLogFolder): the device logs go to its Payment
    // folder.
    const Text& LogFolder() const { return fLogFolder; }
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
    Text fLogFolder;
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
