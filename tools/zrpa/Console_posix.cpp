#include <unistd.h>

#include "Console.h"

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

void UseBinaryOutput() {}
