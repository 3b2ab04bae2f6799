#include <iostream>

#include "Console.h"
#include "LoadedLibrary.h"
#include "ZrpaCommands.h"
#include "ZrpaHelp.h"
#include "emulator/EmulatorProgram.h"

int RunZrpa(const std::vector<std::string>& aArgs, int aArgc, char** aArgv) {
    ZrpaOptions options;
    std::string error;
    if (!ParseZrpaOptions(aArgs, EnvironmentText, options, error)) {
        std::cerr << "zrpa: " << error << "\n"
                  << "Run zrpa --help for the usage.\n";
        return kExitUsage;
    }
    if (options.Command.empty()) {
        std::cerr << ZrpaUsage();
        return kExitUsage;
    }
    if (options.Command == "help") {
        const std::string topic = options.Arguments.empty() ? "" : options.Arguments[0];
        const std::string help = topic.empty() ? ZrpaUsage() : ZrpaCommandHelp(topic);
        if (help.empty()) {
            std::cerr << "zrpa: no help on " << topic << "\n";
            return kExitUsage;
        }
        std::cout << help;
        return kExitDone;
    }
    if (options.Command == "emulator") {
        // argv[0] "zrpa", argv[1] "emulator": the emulator reads from argv[2] on.
        return RunEmulatorProgram("zrpa emulator", aArgc - 1, aArgv + 1);
    }
    const std::string help = ZrpaCommandHelp(options.Command);
    if (help.empty()) {
        std::cerr << "zrpa: unknown command " << options.Command << "\n" << ZrpaUsage();
        return kExitUsage;
    }
    if (options.Help) {
        std::cout << help;
        return kExitDone;
    }
    if (options.Xml && options.Json) {
        std::cerr << "zrpa: --xml and --json exclude each other\n";
        return kExitUsage;
    }
    if (options.Command == "log") {
        return RunLog(options);
    }
    if (options.Command == "journal") {
        return RunJournal(options);
    }
    LoadedLibrary library;
    if (!library.IsLoaded()) {
        std::cerr << "zrpa: cannot load the library " << LoadedLibrary::DefaultPath() << ": "
                  << library.LoadError() << "\n";
        return kExitFailed;
    }
    if (options.Command == "demo") {
        return RunDemo(library, options);
    }
    if (options.Command == "send") {
        return RunSend(library, options);
    }
    if (options.Command == "check") {
        return RunCheck(library, options);
    }
    if (options.Command == "status" || options.Command == "version") {
        return RunStatusOrVersion(library, options);
    }
    return RunOperation(library, options);
}
