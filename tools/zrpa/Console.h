#pragma once
// The few console and environment questions zrpa asks of the operating system.
#include <string>

// True when standard error is a terminal (progress is then updated in place).
bool StandardErrorIsTerminal();
// Standard output and error take bytes as written (no newline translation on Windows).
void UseBinaryOutput();
// An environment variable as UTF-8; empty when it is not set.
std::string EnvironmentText(const char* aName);
// The user's own folder for program state, where the library puts its logs when the folder beside the
// host cannot be written (Linux: $XDG_STATE_HOME, else ~/.local/state; Windows: %LOCALAPPDATA%). Empty
// when the environment does not name one.
std::string UserStatePath();
// What a technician needs to know about the device behind serial port aPort ("COM9") when it could not
// be opened: Linux names the device looked for and the variable that names another; empty where the
// port is the system's own name (Windows).
std::string SerialDeviceNote(const std::string& aPort);
