#pragma once
// The fuzzed entry points, shared by the libFuzzer programs (fuzz/) and the replay of the committed
// corpora (FuzzReplayTest). Each takes any bytes, must return normally, and reports a broken promise of
// the library through FuzzFailure (which aborts, so the fuzzer keeps the input).
#include <cstddef>
#include <cstdint>
#include <string>

// Prints what broke and aborts.
[[noreturn]] void FuzzFailure(const std::string& aWhat);

// One request through one export. The first byte picks the export (P R O C S D T V N K: PAY, REPRINT, OPEN,
// CLOSE, GETSTATUS, DAYCLOSE, GETTOTALS, VERIFYTRAN, VERSION, CANCEL; lower case: the rest is raw UTF-16LE,
// so lone surrogates and NULs reach the export; any other byte picks by its value). The rest is the request
// text in UTF-8. Devices are built by a driver whose terminal answers every request at once over no
// transport, so no input reaches a network, a serial line, a library or a printer. The library must be
// loaded (LibraryLoad) and the fuzz driver installed.
void FuzzRequest(const std::uint8_t* aData, std::size_t aSize);
// Registers the fuzz driver under the product's driver name; RemoveFuzzDriver puts the real one back.
void InstallFuzzDriver();
void RemoveFuzzDriver();

// The terminal side: the first byte picks the operation (and the print location), the rest is what the
// terminal sends, cut at each 0xFF byte into the replies to the driver's successive writes.
void FuzzTerminal(const std::uint8_t* aData, std::size_t aSize);

// A refund reference as a host hands it back (one character per byte; first byte 'W': UTF-16LE).
void FuzzRefundReference(const std::uint8_t* aData, std::size_t aSize);
