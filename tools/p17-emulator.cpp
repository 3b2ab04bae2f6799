// p17-emulator: a Protocol 17 payment terminal on 127.0.0.1 or on a pseudo-terminal, for trying the
// library without a terminal. Prints every frame it receives and sends, decoded. Stop it with Ctrl-C.
#include "emulator/EmulatorProgram.h"

int main(int argc, char** argv) {
    return RunEmulatorProgram("p17-emulator", argc, argv);
}
