// zrpa-host: drives the library through its exports, as a cash register does.
//
//   zrpa-host demo                  a short session: status, version and a request the library rejects
//   zrpa-host COMMAND [FILE|-]      one export (PAY, OPEN, ..., VERSION) with the request read from FILE
//                                   or standard input; prints the result code, error text and document
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "LoadedLibrary.h"

namespace {
void Print(const std::string& aTitle, const LoadedLibrary::Outcome& o) {
    std::cout << "=== " << aTitle << ": result " << o.Result << "\n";
    std::cout << "--- error text" << (o.ErrorWasNull ? " (null)" : "") << ": " << Utf16ToUtf8(o.ErrorMessage) << "\n";
    std::cout << "--- document" << (o.OutputWasNull ? " (null)" : "") << ":\n" << Utf16ToUtf8(o.Output) << "\n\n";
}

int Demo(LoadedLibrary& lib) {
    Print("GETSTATUS", lib.Call("GETSTATUS", u""));
    Print("VERSION ZRPA_RIVEVEDEV17_10", lib.Version(u"ZRPA_RIVEVEDEV17_10"));
    Print("PAY with a request that is not XML", lib.Call("PAY", u"this is not a request"));
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "demo";
    LoadedLibrary lib;
    if (!lib.IsLoaded()) {
        std::cerr << "cannot load the library: " << lib.LoadError() << "\n";
        return 2;
    }
    if (command == "demo") {
        return Demo(lib);
    }
    std::stringstream request;
    if (argc > 2 && std::string(argv[2]) != "-") {
        std::ifstream in(argv[2], std::ios::binary);
        if (!in) {
            std::cerr << "cannot read " << argv[2] << "\n";
            return 2;
        }
        request << in.rdbuf();
    } else if (command != "GETSTATUS") {
        request << std::cin.rdbuf();
    }
    const auto outcome = command == "VERSION" ? lib.Version(Utf8ToUtf16(request.str()))
                                              : lib.Call(command, Utf8ToUtf16(request.str()));
    Print(command, outcome);
    return outcome.Result == 0 ? 0 : 1;
}
