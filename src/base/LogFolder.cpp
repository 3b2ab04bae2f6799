#include "base/LogFolder.h"

#include "base/LogWriter.h"
#include "base/ZrError.h"
#include "platform/Files.h"

namespace {
// A constant, not a Text object: the library's load builds the application context from another unit's
// initialisation, possibly before this unit's objects exist (an empty name put the logs beside the host).
constexpr char16_t kLogFiles[] = u"LogFiles";

// Empty when aFolder can hold the logs, otherwise what went wrong.
Text Unusable(const Text& aFolder, const Text& aProbeName) {
    if (!CreateDirectories(aFolder)) {
        return u"cannot be created";
    }
    if (!AppendToFile(JoinPath(aFolder, aProbeName), std::string_view())) {
        return u"cannot be written";
    }
    return Text();
}
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
    try {
        const Text problem = Unusable(choice.Folder, aProbeName);
        if (problem.empty()) {
            choice.Note = why;
            return choice;
        }
        why += u"The log folder " + choice.Folder + u" " + problem;
        const Text fallback = aUserStateFolder.empty()
                                  ? Text()
                                  : JoinPath(JoinPath(aUserStateFolder, u"ZRPA_RIVEVEDEV17_10"), kLogFiles);
        if (!fallback.empty() && Unusable(fallback, aProbeName).empty()) {
            choice.Folder = fallback;
            choice.Note = why + u": the logs go to " + fallback + u".";
        } else {
            choice.Note = why + u", nor can the user's folder " +
                          (fallback.empty() ? u"(none known)" : fallback) + u": no log can be kept.";
        }
    } catch (const ZrError& e) {
        // A user folder with characters that no path may hold: the first choice stays.
        choice.Note = why + u" (" + e.Message() + u").";
    }
    return choice;
}
