#pragma once
// Helpers of the interface tests: in-process calls of the exports, request texts, a fake driver
// registered beside the real one, and log file reading.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/Text.h"
#include "platform/Bstr.h"
#include "support/PaymentLogs.h"

struct ExportOutcome {
    std::int32_t Result = 0;
    Text Output;
    Text ErrorMessage;
    bool OutputWasNull = true;
    bool ErrorWasNull = true;
};

using CommandExport = std::int16_t(ZRPA_CALL*)(BSTR, BSTR*, BSTR*);

// Calls one command export of the library linked into the tests; both outputs are freed here.
ExportOutcome CallExport(CommandExport aExport, const Text& aRequest);
ExportOutcome CallVersion(const Text& aDriverName);

// A request document: envelope, TCP connection to 127.0.0.1:1 (never connected by the fake driver) and
// an optional command section given as raw XML.
struct RequestSpec {
    Text Driver;
    Text Handle; // empty: no Handle element
    Text LogId = u"unit";
    Text Section;
};
Text MakeRequest(const RequestSpec& aSpec);

// A GETSTATUS document whose every element is at its default (a status that set no field).
inline const Text kStatusDocument =
    u"<DayOpened>False</DayOpened>\r\n<DateTime>1899-12-30T00:00:00</DateTime>\r\n<PaperEnd>False</"
    u"PaperEnd>\r\n"
    u"<PaperNearEnd>False</PaperNearEnd>\r\n<CoverOpen>False</CoverOpen>\r\n"
    u"<FiscalReceiptOpen>False</FiscalReceiptOpen>\r\n<ReceiptOpen>False</ReceiptOpen>\r\n"
    u"<TrainingMode>False</TrainingMode>\r\n<FirmwareVersion></FirmwareVersion>\r\n"
    u"<SerialNumber></SerialNumber>\r\n<FiscalMode></FiscalMode>\r\n<Error>False</Error>\r\n"
    u"<ErrorText></ErrorText>\r\n<LogFileName></LogFileName>";

// The text of one element of a flat result document ("" when absent).
Text ElementOf(const Text& aDocument, const Text& aName);
bool HasElement(const Text& aDocument, const Text& aName);

// The whole file as UTF-8 bytes ("" when it cannot be read), and it removed.
std::string ReadFileBytes(const Text& aPath);
void RemoveFile(const Text& aPath);

// A log identifier nobody else uses in this run (the log file is named after it).
Text UniqueLogId(const char* aPrefix);

// The fake driver, registered under kFakeDriverName (and kBrokenDriverName, whose construction always
// raises). Its operations fill a few fields, log one line each and can be held at a gate, so tests can
// overlap calls deterministically.
inline constexpr const char16_t* kFakeDriverName = u"ZRTEST_FAKE";
inline constexpr const char16_t* kBrokenDriverName = u"ZRTEST_BROKEN";

struct FakeDriverControl {
    std::mutex Lock;
    std::condition_variable Changed;
    bool GateClosed = false;    // operations wait (bounded) while it is closed
    int Inside = 0;             // operations running now, on any device
    int MaxInsideOneDevice = 0; // most operations seen at once on one device
    int Entered = 0;            // operations started
    bool RaiseInOperation = false;
    bool SetChannelError = false;
    std::atomic<int> Destroyed{0};

    void Reset();
    void CloseGate();
    void OpenGate();
    // Waits (bounded) until aCount operations are inside at the same time; false if that never happened.
    bool WaitInside(int aCount);
    bool WaitEntered(int aCount);
};
FakeDriverControl& FakeControl();
void RegisterFakeDrivers();

// The last handle issued so far (read under the registry lock) and the number of open devices.
std::int32_t LastHandle();
std::size_t OpenDeviceCount();
