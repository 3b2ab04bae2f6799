#pragma once
// Where the library keeps its logs: the LogFiles folder beside the host executable (or inside the folder
// that ZRPA_LOG_DIR names), and the user's own LogFiles folder when that one cannot be written, as for a
// cashier's account under a program installed in a protected folder. The choice is made at load and made
// again whenever writing fails later, so a log always names a file that is really written, or none.
#include <functional>
#include <memory>
#include <mutex>

#include "base/Text.h"
#include "runtime/ZRBaseDefs.h"

struct tZR_LogFolder {
    Text Folder;   // the LogFiles folder the logs go to; empty when no folder can be written
    Text First;    // the first choice, also when it cannot be written
    Text Fallback; // the user's LogFiles folder; empty when none is known
    Text Note;     // why they go elsewhere than the first choice, and where; empty when they do not
};

// The first choice is aLogDirVariable joined with "LogFiles" when the variable is set, otherwise
// aApplicationPath joined with "LogFiles". It is kept when it can be created, is no link, and aProbeName (the
// application log's file name) can be created or appended to inside it. Otherwise aUserStateFolder +
// "ZRPA_RIVEVEDEV17_10" + "LogFiles" is tried the same way; when that fails too, Folder is empty (no log
// can be kept). Never raises: a variable with characters invalid in a path is ignored and said so in the
// note.
tZR_LogFolder ChooseLogFolder(const Text& aApplicationPath, const Text& aLogDirVariable,
                              const Text& aUserStateFolder, const Text& aProbeName);

// The LogFiles folders of one application context, shared by its log writers (and their threads): the
// first choice, the fallback, and the one in use now. Thread-safe.
class tZR_LogRoot {
public:
    // aFirst: the first choice; aFallback: the user's folder ("" when unknown); aCurrent: the one in use
    // ("" when none can be written).
    tZR_LogRoot(const Text& aFirst, const Text& aFallback, const Text& aCurrent);

    // The LogFiles folder in use; empty when no folder can be written.
    Text Current() const;
    void SetCurrent(const Text& aFolder);
    // The folder in use after checking it now: one that is gone or no longer a folder is replaced by the
    // first of Folders where aProbeName can be appended to (Current changes); empty when none can be.
    Text Confirmed(const Text& aProbeName);
    // The folders that may hold logs, in the order they are tried: the first choice, then the fallback.
    TextList Folders() const;
    // True when aDirectory is one of the folders or lies below one; aSubfolder gets the part below it
    // (empty for the folder itself).
    bool Contains(const Text& aDirectory, Text& aSubfolder) const;

    // Where the logs tell their moves and refusals: the application log of the context that owns the root.
    // The owner clears it before it goes, so a log thread that outlives the owner (let go by a bounded
    // close) tells nothing instead of reaching freed memory.
    using tReporter = std::function<void(tZR_MessageType, const Text&)>;
    void SetReporter(tReporter aReporter);
    void Report(tZR_MessageType aType, const Text& aMessage) const;

private:
    const Text fFirst;
    const Text fFallback;
    mutable std::mutex fLock;
    Text fCurrent;
    mutable std::mutex fReportLock; // held while a report runs, so clearing the reporter waits for it
    tReporter fReporter;
};

// The root of the library's own application context (gApplication): writers made in a folder below it
// follow its fallback. Null before the load and after the unload.
std::shared_ptr<tZR_LogRoot> ProcessLogRoot();
void SetProcessLogRoot(std::shared_ptr<tZR_LogRoot> aRoot);

// Says on the host's standard error, once per process, that no log folder can be written and why: the
// library goes on without logs.
void AnnounceNoLogFolder(const Text& aWhy);
