#pragma once
// The command line of zrpa: the subcommand, its arguments and the options, with defaults from the
// environment (ZRPA_TCP, ZRPA_SERIAL_PORT, ...) so a technician types the connection once.
#include <functional>
#include <string>
#include <vector>

struct ZrpaOptions {
    std::string Command;                // pay, refund, void, reprint, totals, dayclose, status, version,
                                        // send, log, demo, emulator, help
    std::vector<std::string> Arguments; // the subcommand's own arguments (files, amount, reference)
    bool Help = false;
    // Connection.
    std::string Tcp;    // HOST:PORT
    std::string Serial; // COMn
    std::string Speed = "9600", DataBits = "8", Parity = "NONE", StopBits = "1";
    std::string ConnectTimeout, ReadTimeout; // ms; empty: the library's default
    std::string LogId = "zrpa";
    bool HexLog = false;
    // Operation.
    std::string Print = "ECR"; // ECR: the cash register prints the receipt; EFT: the terminal does
    std::string Till = "1";
    std::string Reference;
    std::string Currency = "EUR";
    std::string Amount;
    // Output.
    bool Xml = false, Json = false;
    // The library's own texts beside the technician's words (its error text, the log's lines).
    bool Verbose = false;
    // zrpa log.
    std::string Since, Until, Outcome;
    // zrpa journal: only the operations that nothing has settled.
    bool Unresolved = false;
    // zrpa demo.
    bool Frames = false;
};

using EnvironmentFn = std::function<std::string(const char*)>;

// Parses argv[1..]. False with aError naming the offending argument; a --help anywhere sets Help.
// Environment values come first, the command line overrides them. The emulator's options are taken
// as its arguments without being read here.
bool ParseZrpaOptions(const std::vector<std::string>& aArgs, const EnvironmentFn& aEnvironment,
                      ZrpaOptions& aOptions, std::string& aError);
