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
