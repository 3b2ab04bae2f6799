// zrpa: the technician's tool. Checks a terminal through the library's exports (pay, refund, void,
// reprint, totals, dayclose, send, status, version), reads device logs (log), runs a day at the till
// against the built-in emulator (demo) and plays a terminal (emulator). See zrpa --help.
#include <string>
#include <vector>

#include "Console.h"
#include "ZrpaCommands.h"

int main(int argc, char** argv) {
    UseBinaryOutput();
    return RunZrpa(std::vector<std::string>(argv + 1, argv + argc), argc, argv);
}
