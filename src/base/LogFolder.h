#pragma once
// Where the library keeps its logs: the LogFiles folder beside the host executable (or inside the folder
// that ZRPA_LOG_DIR names), and the user's own LogFiles folder when that one cannot be written, as for a
// cashier's account under a program installed in a protected folder.
#include "base/Text.h"

struct tZR_LogFolder {
    Text Folder; // the LogFiles folder the logs go to
    Text Note;   // why they go elsewhere than the first choice, and where; empty when they do not
};

// The first choice is aLogDirVariable joined with "LogFiles" when the variable is set, otherwise
// aApplicationPath joined with "LogFiles". It is kept when it can be created and aProbeName (the
// application log's file name) can be created or appended to inside it. Otherwise aUserStateFolder +
// "ZRPA_RIVEVEDEV17_10" + "LogFiles" is tried the same way; when that fails too the first choice stays
// (its lines will be counted as lost). Never raises: a variable with characters invalid in a path is
// ignored and said so in the note.
tZR_LogFolder ChooseLogFolder(const Text& aApplicationPath, const Text& aLogDirVariable,
                              const Text& aUserStateFolder, const Text& aProbeName);
