#include "runtime/LogFolder.h"

#include <atomic>
#include <new>

#include "base/ZrError.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "runtime/LogWriter.h"

namespace {
// A plain array: the folder is chosen while the library loads, possibly before this file's own objects
// would have been constructed.
constexpr char16_t kLogFiles[] = u"LogFiles";

// Empty when aFolder can hold the logs, otherwise what went wrong.
Text Unusable(const Text& aFolder, const Text& aProbeName) {
    if (!CreateDirectories(aFolder)) {
        return u"cannot be created";
    }
    switch (AppendToFile(JoinPath(aFolder, aProbeName), std::string_view())) {
    case tZR_AppendResult::ar_Written:
        return Text();
    case tZR_AppendResult::ar_Refused:
        return u"is a link or holds a link at " + aProbeName;
    default:
        return u"cannot be written";
    }
}

bool StartsWithFolder(const Text& aPath, const Text& aFolder, Text& aRest) {
    if (aFolder.empty() || aPath.compare(0, aFolder.size(), aFolder) != 0) {
        return false;
    }
    if (aPath.size() == aFolder.size()) {
        aRest.clear();
        return true;
    }
    const char16_t next = aPath[aFolder.size()];
    if (next != u'/' && next != u'\\') {
        return false;
    }
    aRest = aPath.substr(aFolder.size() + 1);
    return true;
}

std::mutex gRootLock;
// Writers keep their own reference: one destroyed after this (a device still open at exit) is not affected.
// Never destroyed: at a process exit the static objects' destructors may run before the library's unload,
// which then still clears it (a destroyed shared_ptr cleared again would release its root twice). It lives
// in the library's own static storage, not on the heap, so an unloaded library leaves nothing behind.
alignas(std::shared_ptr<tZR_LogRoot>) unsigned char gRootStorage[sizeof(std::shared_ptr<tZR_LogRoot>)];
std::shared_ptr<tZR_LogRoot>& Root() {
    static auto* const root = new (gRootStorage) std::shared_ptr<tZR_LogRoot>();
    return *root;
}
std::atomic<bool> gAnnounced{false};
} // namespace

tZR_LogFolder ChooseLogFolder(const Text& aApplicationPath, const Text& aLogDirVariable,
                              const Text& aUserStateFolder, const Text& aProbeName) {
    tZR_LogFolder choice;
    Text why;
    try {
        choice.Folder = JoinPath(aLogDirVariable.empty() ? aApplicationPath : aLogDirVariable, kLogFiles);
    } catch (const ZrError& e) {
        choice.Folder = JoinPath(aApplicationPath, kLogFiles);
        why = u"ZRPA_LOG_DIR ignored (" + e.Message() + u"). ";
    }
    choice.First = choice.Folder;
    Text userProblem = u"(none known)";
    try {
        choice.Fallback = aUserStateFolder.empty()
                              ? Text()
                              : JoinPath(JoinPath(aUserStateFolder, u"ZRPA_RIVEVEDEV17_10"), kLogFiles);
    } catch (const ZrError& e) {
        // A user folder with characters that no path may hold.
        userProblem = u"(" + e.Message() + u")";
    }
    try {
        const Text problem = Unusable(choice.Folder, aProbeName);
        if (problem.empty()) {
            choice.Note = why;
            return choice;
        }
        why += u"The log folder " + choice.Folder + u" " + problem;
        if (!choice.Fallback.empty() && Unusable(choice.Fallback, aProbeName).empty()) {
            choice.Folder = choice.Fallback;
            choice.Note = why + u": the logs go to " + choice.Fallback + u".";
            return choice;
        }
        choice.Note = why + u", nor can the user's folder " +
                      (choice.Fallback.empty() ? userProblem : choice.Fallback) + u": no log can be kept.";
    } catch (const ZrError& e) {
        choice.Note = why + u" (" + e.Message() + u"): no log can be kept.";
    }
    choice.Folder.clear();
    return choice;
}

tZR_LogRoot::tZR_LogRoot(const Text& aFirst, const Text& aFallback, const Text& aCurrent)
    : fFirst(aFirst), fFallback(aFallback), fCurrent(aCurrent) {}

Text tZR_LogRoot::Current() const {
    std::lock_guard<std::mutex> lock(fLock);
    return fCurrent;
}

void tZR_LogRoot::SetCurrent(const Text& aFolder) {
    std::lock_guard<std::mutex> lock(fLock);
    fCurrent = aFolder;
}

Text tZR_LogRoot::Confirmed(const Text& aProbeName) {
    const Text current = Current();
    if (!current.empty() && FolderExists(current)) {
        return current;
    }
    for (const Text& folder : Folders()) {
        try {
            if (Unusable(folder, aProbeName).empty()) {
                SetCurrent(folder);
                return folder;
            }
        } catch (const ZrError&) {
        }
    }
    SetCurrent(Text());
    return Text();
}

TextList tZR_LogRoot::Folders() const {
    TextList out;
    for (const Text& folder : {fFirst, fFallback}) {
        if (!folder.empty() && (out.empty() || out.front() != folder)) {
            out.push_back(folder);
        }
    }
    return out;
}

bool tZR_LogRoot::Contains(const Text& aDirectory, Text& aSubfolder) const {
    return StartsWithFolder(aDirectory, fFirst, aSubfolder) ||
           StartsWithFolder(aDirectory, fFallback, aSubfolder);
}

void tZR_LogRoot::SetReporter(tReporter aReporter) {
    std::lock_guard<std::mutex> lock(fReportLock);
    fReporter = std::move(aReporter);
}

void tZR_LogRoot::Report(tZR_MessageType aType, const Text& aMessage) const {
    std::lock_guard<std::mutex> lock(fReportLock);
    if (fReporter) {
        fReporter(aType, aMessage);
    }
}

std::shared_ptr<tZR_LogRoot> ProcessLogRoot() {
    std::lock_guard<std::mutex> lock(gRootLock);
    return Root();
}

void SetProcessLogRoot(std::shared_ptr<tZR_LogRoot> aRoot) {
    std::lock_guard<std::mutex> lock(gRootLock);
    Root() = std::move(aRoot);
}

void AnnounceNoLogFolder(const Text& aWhy) {
    if (!gAnnounced.exchange(true)) {
        WriteStandardError(u"ZRPA_RIVEVEDEV17_10: no log folder can be written, the library keeps no log. " +
                           aWhy);
    }
}
