#pragma once
// The emulator as a program: its command line, the start on TCP or a pseudo-terminal, the frame log on
// standard output, and the stop on Ctrl-C. Shared by p17-emulator and `zrpa emulator`.
#include <string>

// argv[1..argc-1] are the options (argv[0] is not read). aProgram names the program in the help and in
// messages. Returns the exit status: 0 after Ctrl-C or --help, 1 when the transport cannot be opened,
// 2 for a wrong option.
int RunEmulatorProgram(const std::string& aProgram, int argc, char** argv);
