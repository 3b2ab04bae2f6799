#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "Console.h"
#include "DayCount.h"
#include "DeviceLog.h"
#include "LoadedLibrary.h"
#include "PlainWords.h"
#include "Progress.h"
#include "ZrpaCommands.h"
#include "ZrpaFiles.h"
#include "ZrpaOutput.h"

namespace {
struct OperationKind {
    const char* Command;
    const char* Export;
    const char* Action;
    bool Card;
};
constexpr OperationKind kOperations[] = {
    {"pay", "PAY", "PAY", true},        {"refund", "PAY", "REFUND", true},
    {"void", "PAY", "VOID", true},      {"reprint", "REPRINT", "", false},
    {"totals", "GETTOTALS", "", false}, {"dayclose", "DAYCLOSE", "", false},
};

bool Digits(const std::string& aText, std::size_t aMax) {
    return !aText.empty() && aText.size() <= aMax &&
           aText.find_first_not_of("0123456789") == std::string::npos;
}

// A positive amount with "." and at most two decimals, at most 999999.99.
bool ValidAmount(const std::string& aText) {
    const std::size_t point = aText.find('.');
    const std::string whole = aText.substr(0, point);
    const std::string cents = point == std::string::npos ? "" : aText.substr(point + 1);
    return Digits(whole, 6) && (point == std::string::npos || Digits(cents, 2));
}

bool Usage(const std::string& aMessage) {
    std::cerr << "zrpa: " << aMessage << "\n";
    return false;
}

// The command line of an operation makes sense before anything is sent.
bool CheckOperation(const OperationKind& aKind, ZrpaOptions& aOptions) {
    const std::size_t wanted = std::string(aKind.Command) == "pay" ||
                                       std::string(aKind.Command) == "refund" ||
                                       std::string(aKind.Command) == "void"
                                   ? 1
                                   : 0;
    if (aOptions.Arguments.size() != wanted) {
        return Usage(std::string(aKind.Command) + (wanted ? " takes one argument" : " takes no argument") +
                     " (see zrpa " + aKind.Command + " --help)");
    }
    if (std::string(aKind.Action) == "VOID") {
        aOptions.Reference = aOptions.Arguments[0];
        // Counted in characters: a Latin-1 letter of the authorisation code is two bytes here.
        const auto characters =
            std::count_if(aOptions.Reference.begin(), aOptions.Reference.end(),
                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
        if (characters != 34) {
            return Usage("refund reference " + aOptions.Reference +
                         " invalid: a refund reference has 34 characters (as zrpa pay shows it)");
        }
    } else if (wanted == 1) {
        aOptions.Amount = aOptions.Arguments[0];
    }
    const std::size_t point = aOptions.Amount.find('.');
    if (point != std::string::npos && aOptions.Amount.size() - point - 1 > 2 &&
        ValidAmount(aOptions.Amount.substr(0, point + 3))) {
        // Rounding would charge another amount than the one typed: the technician decides.
        return Usage("amount " + aOptions.Amount +
                     " invalid: it has more than two decimals, and the terminal charges whole cents "
                     "(type " +
                     aOptions.Amount.substr(0, point + 3) + " or the amount you mean)");
    }
    if (!aOptions.Amount.empty() && !ValidAmount(aOptions.Amount)) {
        return Usage("amount " + aOptions.Amount +
                     " invalid. Allowed are amounts such as 12.34 (\".\" as decimal "
                     "point), 0 to 999999.99");
    }
    // The terminal charges in euros whatever the request's currency says: an amount meant in another
    // currency would be charged as euros.
    if (aKind.Card && aOptions.Currency != "EUR") {
        return Usage("currency " + aOptions.Currency +
                     " invalid: the terminal charges in euros only. Allowed value is: EUR");
    }
    if (aOptions.Tcp.empty() && aOptions.Serial.empty()) {
        return Usage(
            "no terminal given: use --tcp HOST:PORT or --serial COMn (or set ZRPA_TCP or ZRPA_SERIAL_PORT)");
    }
    if (aOptions.Serial.empty()) {
        const std::size_t colon = aOptions.Tcp.rfind(':');
        const std::string port = colon == std::string::npos ? "" : aOptions.Tcp.substr(colon + 1);
        if (colon == 0 || !Digits(port, 5) || std::stol(port) < 1 || std::stol(port) > 65535) {
            return Usage("--tcp " + aOptions.Tcp +
                         " invalid: expected HOST:PORT with a port from 1 to 65535");
        }
    } else if (!aOptions.Serial.starts_with("COM") || !Digits(aOptions.Serial.substr(3), 3)) {
        return Usage("--serial " + aOptions.Serial + " invalid: expected COM1, COM2, ...");
    }
    for (const auto* value : {&aOptions.ConnectTimeout, &aOptions.ReadTimeout}) {
        if (!value->empty() && !Digits(*value, 7)) {
            return Usage("time-out " + *value + " invalid: expected milliseconds, 0 to 9999999");
        }
    }
    if (!Digits(aOptions.Speed, 7) || !Digits(aOptions.DataBits, 1) || !Digits(aOptions.StopBits, 1)) {
        return Usage("serial settings " + aOptions.Speed + " " + aOptions.DataBits + " " + aOptions.StopBits +
                     " invalid: expected numbers (--speed 9600 --data-bits 8 --stop-bits 1)");
    }
    if (aOptions.Print != "ECR" && aOptions.Print != "EFT") {
        return Usage("print location " + aOptions.Print + " invalid. Allowed values are: ECR, EFT");
    }
    return true;
}

// The last operation of the device log aPath, as zrpa log reads it.
void ReadLoggedOutcome(const std::string& aPath, ZrpaResult& aResult) {
    std::string content;
    if (aPath.empty() || !ReadWholeFile(aPath, content)) {
        return;
    }
    aResult.LogFile = aPath;
    const auto ops = ReadDeviceLog(content, aPath);
    if (!ops.empty()) {
        aResult.LogOutcome = LogOutcomeName(ops.back().Outcome);
        aResult.LogReason = ops.back().Reason;
        if (ops.back().Name == "VOID") {
            for (const auto& [name, value] : ops.back().Answer) {
                aResult.MovedAmount = name == "amount" ? value : aResult.MovedAmount;
            }
        }
    }
}

// An amount as whole cents; -1 when it is not one.
long long Cents(const std::string& aAmount) {
    char* end = nullptr;
    const double value = std::strtod(aAmount.c_str(), &end);
    return aAmount.empty() || *end != '\0' ? -1 : std::llround(value * 100);
}

// A void moves the amount its reference names, whatever the request's amount says.
void WarnOfAnotherAmount(ZrpaResult& aResult) {
    const std::string asked = ResultField(ReadResultDocument(aResult.Document), "PaymentAmount");
    if (aResult.MovedAmount.empty() || Cents(asked) <= 0 || Cents(asked) == Cents(aResult.MovedAmount)) {
        return;
    }
    aResult.Warning = "--amount " + MoneyText(asked, "") +
                      " is not the amount of the voided payment: the terminal takes back the " +
                      MoneyText(aResult.MovedAmount, "") + " its refund reference names";
}

int Print(ZrpaResult& aResult, const ZrpaOptions& aOptions) {
    if (aOptions.Xml) {
        std::cout << aResult.Document << (aResult.Document.ends_with('\n') ? "" : "\n");
    } else if (aOptions.Json) {
        std::cout << ResultJson(aResult);
    } else {
        std::cout << SummaryText(aResult);
    }
    std::cout.flush();
    return aResult.ExitStatus;
}

void Classify(ZrpaResult& aResult, bool aCard) {
    const ResultFields f = ReadResultDocument(aResult.Document);
    const bool hasErrorFlag = !ResultField(f, "Error").empty();
    const bool error = hasErrorFlag ? ResultField(f, "Error") != "False" : aResult.ResultCode != 0;
    std::string text = ResultField(f, "ErrorText");
    if (text.empty()) {
        text = aResult.ErrorMessage;
    }
    aResult.ExitStatus = ExitStatusOf(error || aResult.ResultCode != 0, text, aResult.LogOutcome);
    aResult.Outcome = OutcomeWord(aResult.ExitStatus, aCard,
                                  aResult.LogOutcome == "declined" || ResultField(f, "DeviceId").size() == 8);
}

ZrpaResult FromOutcome(const std::string& aCommand, const std::string& aExport,
                       const LoadedLibrary::Outcome& aOut) {
    ZrpaResult r;
    r.Command = aCommand;
    r.Export = aExport;
    r.ResultCode = aOut.Result;
    r.Document = Utf16ToUtf8(aOut.Output);
    r.ErrorMessage = Utf16ToUtf8(aOut.ErrorMessage);
    return r;
}
} // namespace

int ExitStatusOf(bool aError, const std::string& aErrorText, const std::string& aLoggedOutcome) {
    if (!aError) {
        return kExitDone;
    }
    if (aErrorText.starts_with("Outcome unknown") || aLoggedOutcome == "outcome unknown") {
        return kExitUnknown;
    }
    // The library's validation messages list the allowed values: the request was at fault.
    if (aErrorText.find("Allowed") != std::string::npos ||
        aErrorText.starts_with("Invalid Refund Reference")) {
        return kExitUsage;
    }
    return kExitFailed;
}

int RunOperation(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions) {
    ZrpaResult r;
    if (!CallOperation(aLibrary, aOptions, r)) {
        return kExitUsage;
    }
    if (aOptions.Command == "totals" && r.ExitStatus == kExitDone) {
        // The totals answer carries no count: the journal's count of the day is shown beside it.
        std::vector<std::string> journals, unreadable;
        for (const auto& folder : DeviceLogFolders()) {
            journals.push_back(folder + "/Journal");
        }
        std::size_t damaged = 0;
        r.DayCount = DayCountText(ReadJournalFiles(journals, unreadable, damaged),
                                  aOptions.Serial.empty() ? aOptions.Tcp : aOptions.Serial, TodayText());
    }
    return Print(r, aOptions);
}

bool CallOperation(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions, ZrpaResult& aResult) {
    const OperationKind* kind = nullptr;
    for (const auto& k : kOperations) {
        if (aOptions.Command == k.Command) {
            kind = &k;
        }
    }
    ZrpaOptions options = aOptions;
    if (kind == nullptr || !CheckOperation(*kind, options)) {
        return false;
    }
    // OPEN and CLOSE around the operation: closing the device finishes its log, which is then read.
    const auto open = aLibrary.Call("OPEN", Utf8ToUtf16(ZrpaRequest(options, "OPEN", "", "")));
    const std::string handle = ResultField(ReadResultDocument(Utf16ToUtf8(open.Output)), "Handle");
    if (open.Result != 0 || handle.empty()) {
        ZrpaResult r = FromOutcome(options.Command, "OPEN", open);
        Classify(r, false);
        if (r.ExitStatus == kExitDone) {
            r.ExitStatus = kExitFailed;
        }
        r.Verbose = options.Verbose;
        r.Hint = options.Serial.empty() ? std::string() : SerialDeviceNote(options.Serial);
        aResult = std::move(r);
        return true;
    }
    LoadedLibrary::Outcome outcome;
    const std::string request = ZrpaRequest(options, kind->Export, kind->Action, handle);
    const std::vector<std::string> folders = DeviceLogFolders();
    const std::string prefix = "ZRPA_RIVEVEDEV17_10_" + options.LogId + "_";
    // The progress shows this operation's lines only, not the end of the one before.
    const LogMark before = MarkNewestLog(folders, prefix);
    RunWithProgress(
        [&]() { outcome = aLibrary.Call(kind->Export, Utf8ToUtf16(request)); },
        [&]() { aLibrary.Call("CANCEL", Utf8ToUtf16("<Cancel><Handle>" + handle + "</Handle></Cancel>")); },
        // The step in words; the raw line beside it with --verbose. A line that tells no step keeps the
        // last step shown.
        [&, step = std::string("connecting to the terminal")]() mutable {
            const std::string raw = LatestLogLine(folders, prefix, before, 50);
            const std::string words = ProgressStep(raw);
            step = words.empty() ? step : words;
            return options.Verbose && !raw.empty() ? step + " | " + raw : step;
        },
        StandardErrorIsTerminal(), stderr);
    aLibrary.Call("CLOSE", Utf8ToUtf16(ZrpaRequest(options, "CLOSE", "", handle)));
    ZrpaResult r = FromOutcome(options.Command, kind->Export, outcome);
    // A raised error leaves the log file out of the result: then the newest log of this log id.
    std::string logFile = ResultField(ReadResultDocument(r.Document), "LogFileName");
    ReadLoggedOutcome(logFile.empty() ? NewestLogFile(folders, prefix) : logFile, r);
    WarnOfAnotherAmount(r);
    Classify(r, kind->Card);
    r.Verbose = options.Verbose;
    if (r.ExitStatus == kExitFailed && !options.Serial.empty()) {
        r.Hint = SerialDeviceNote(options.Serial);
    }
    aResult = std::move(r);
    return true;
}

int RunSend(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions) {
    if (aOptions.Arguments.size() != 2) {
        std::cerr << "zrpa: send takes an export and a file (see zrpa send --help)\n";
        return kExitUsage;
    }
    const std::string& exportName = aOptions.Arguments[0];
    std::string request;
    if (aOptions.Arguments[1] == "-") {
        request.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else if (!ReadWholeFile(aOptions.Arguments[1], request)) {
        std::cerr << "zrpa: cannot read " << aOptions.Arguments[1] << "\n";
        return kExitUsage;
    }
    if (aLibrary.Symbol(exportName.c_str()) == nullptr || exportName.starts_with("Sys")) {
        std::cerr << "zrpa: export " << exportName
                  << " unknown. Allowed are: PAY, REPRINT, OPEN, CLOSE, GETSTATUS, DAYCLOSE, GETTOTALS, "
                     "VERIFYTRAN, CANCEL, VERSION\n";
        return kExitUsage;
    }
    LoadedLibrary::Outcome outcome;
    RunWithProgress(
        [&]() {
            outcome = exportName == "VERSION" ? aLibrary.Version(Utf8ToUtf16(request))
                                              : aLibrary.Call(exportName, Utf8ToUtf16(request));
        },
        // The request may name a handle or none: Ctrl+C cancels whatever the library runs.
        [&]() { aLibrary.Call("CANCEL", u"<Cancel/>"); }, [] { return std::string(); },
        StandardErrorIsTerminal(), stderr);
    ZrpaResult r = FromOutcome("send " + exportName, exportName, outcome);
    Classify(r, exportName == "PAY");
    return Print(r, aOptions);
}

int RunStatusOrVersion(LoadedLibrary& aLibrary, const ZrpaOptions& aOptions) {
    if (!aOptions.Arguments.empty()) {
        std::cerr << "zrpa: " << aOptions.Command << " takes no argument\n";
        return kExitUsage;
    }
    const bool version = aOptions.Command == "version";
    const auto outcome = version ? aLibrary.Version(u"ZRPA_RIVEVEDEV17_10") : aLibrary.Call("GETSTATUS", u"");
    ZrpaResult r = FromOutcome(aOptions.Command, version ? "VERSION" : "GETSTATUS", outcome);
    Classify(r, false);
    if (version && !aOptions.Xml && !aOptions.Json) {
        std::cout << (r.ExitStatus == 0 ? r.Document : "version: " + r.ErrorMessage) << "\n";
        return r.ExitStatus;
    }
    return Print(r, aOptions);
}
