#pragma once
// The host process as the library sees it.
#include "base/Text.h"

// Full path of the host's executable (not of this library).
Text ExecutablePath();
// Folder of the host's executable, without a trailing separator.
Text ExecutableDirectory();
// The platform's path separator: u'\\' on Windows, u'/' elsewhere.
char16_t PathSeparator();
// The host's command-line parameters, the executable itself left out.
TextList CommandLineParameters();
// The value of the environment variable aName, empty when it is not set.
Text EnvironmentVariable(const Text& aName);
// The folder where this user's programs keep data of their own: %LOCALAPPDATA% on Windows; elsewhere
// $XDG_STATE_HOME when it is an absolute path, else $HOME/.local/state. Empty when none is known.
Text UserStateFolder();
// Writes aLine and a line break to the host's standard error (UTF-8); nothing when the host has none (a
// Windows program without a console).
void WriteStandardError(const Text& aLine);
