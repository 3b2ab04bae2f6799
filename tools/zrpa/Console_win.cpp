#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "Console.h"

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void UseBinaryOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
