#pragma once
// The subcommands of zrpa. Each returns the process's exit status: 0 approved or done, 1 declined or
// failed, 2 wrong command line or request, 3 outcome unknown.
#include <string>
#include <vector>

#include "ZrpaOptions.h"

class LoadedLibrary;
struct ZrpaResult;

enum ZrpaExit : int { kExitDone = 0, kExitFailed = 1, kExitUsage = 2, kExitUnknown = 3 };

// Runs zrpa with argv[1..] (aArgs) and the process's environment. aArgv is the original argv (the
// emulator takes its options from there).
int RunZrpa(const std::vector<std::string>& aArgs, int aArgc, char** aArgv);

// pay, refund, void, reprint, totals, dayclose against the terminal of aOptions.
int RunOperation(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions);
// The same without showing the result: false (after saying why on standard error) when the command
// line is wrong and nothing was called; else aResult holds what the library and its log said.
bool CallOperation(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions, ZrpaResult& aResult);
// check: connects, asks for the totals (a request that moves no money), and shows the round-trip time
// or, when it fails, what to look at.
int RunCheck(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions);
// send EXPORT FILE, status, version.
int RunSend(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions);
int RunStatusOrVersion(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions);
// log FILE...
int RunLog(const ZrpaOptions& aOptions);
// journal [FILE|FOLDER...] [--unresolved]: the payment journals (default: the Journal folders beside the
// device logs).
int RunJournal(const ZrpaOptions& aOptions);
// demo: a day at the till against the built-in emulator; 1 when any result is not what a till expects.
int RunDemo(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions);

// The exit status of a command's result: its document's Error flag and error text, and the outcome of
// the operation as the device log tells it ("" when not known).
int ExitStatusOf(bool aError, const std::string& aErrorText, const std::string& aLoggedOutcome);
