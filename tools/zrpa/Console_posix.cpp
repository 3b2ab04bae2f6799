#include <unistd.h>

#include <cstdlib>

#include "Console.h"

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void UseBinaryOutput() {}

std::string EnvironmentText(const char* aName) {
    const char* value = std::getenv(aName);
    return value == nullptr ? std::string() : std::string(value);
}

// The library takes only absolute folders from the environment; so does this.
std::string UserStatePath() {
    const std::string state = EnvironmentText("XDG_STATE_HOME");
    if (!state.empty() && state[0] == '/') {
        return state;
    }
    const std::string home = EnvironmentText("HOME");
    return home.empty() || home[0] != '/' ? std::string() : home + "/.local/state";
}

// The library's serial channel opens ZRPA_SERIAL_COM<n>, else /dev/ttyS<n-1>.
std::string SerialDeviceNote(const std::string& aPort) {
    const std::string digits = aPort.size() > 3 ? aPort.substr(3) : std::string();
    if (!aPort.starts_with("COM") || digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos || std::stoi(digits) < 1) {
        return std::string();
    }
    const std::string variable = "ZRPA_SERIAL_" + aPort;
    const std::string named = EnvironmentText(variable.c_str());
    if (!named.empty()) {
        return aPort + " is " + named + " (" + variable +
               "): check that this device exists and that you may open it";
    }
    return aPort + " is /dev/ttyS" + std::to_string(std::stoi(digits) - 1) +
           " on this computer; for a USB adapter or another device set " + variable + " (for example " +
           variable + "=/dev/ttyUSB0)";
}
