#include "ZrpaOptions.h"

namespace {
struct ValueOption {
    const char* Name;
    const char* Environment; // null: no default from the environment
    std::string ZrpaOptions::*Field;
};
const ValueOption kValueOptions[] = {
    {"--tcp", "ZRPA_TCP", &ZrpaOptions::Tcp},
    {"--serial", "ZRPA_SERIAL_PORT", &ZrpaOptions::Serial},
    {"--speed", "ZRPA_SPEED", &ZrpaOptions::Speed},
    {"--data-bits", "ZRPA_DATA_BITS", &ZrpaOptions::DataBits},
    {"--parity", "ZRPA_PARITY", &ZrpaOptions::Parity},
    {"--stop-bits", "ZRPA_STOP_BITS", &ZrpaOptions::StopBits},
    {"--connect-timeout", "ZRPA_CONNECT_TIMEOUT", &ZrpaOptions::ConnectTimeout},
    {"--read-timeout", "ZRPA_READ_TIMEOUT", &ZrpaOptions::ReadTimeout},
    {"--log-id", "ZRPA_LOG_ID", &ZrpaOptions::LogId},
    {"--till", "ZRPA_TILL", &ZrpaOptions::Till},
    {"--reference", nullptr, &ZrpaOptions::Reference},
    {"--currency", "ZRPA_CURRENCY", &ZrpaOptions::Currency},
    {"--amount", nullptr, &ZrpaOptions::Amount},
    {"--since", nullptr, &ZrpaOptions::Since},
    {"--until", nullptr, &ZrpaOptions::Until},
    {"--outcome", nullptr, &ZrpaOptions::Outcome},
};

struct FlagOption {
    const char* Name;
    bool ZrpaOptions::*Field;
};
const FlagOption kFlagOptions[] = {
    {"--hex-log", &ZrpaOptions::HexLog},
    {"--xml", &ZrpaOptions::Xml},
    {"--json", &ZrpaOptions::Json},
    {"--frames", &ZrpaOptions::Frames},
    {"--help", &ZrpaOptions::Help},
    {"-h", &ZrpaOptions::Help},
    {"--unresolved", &ZrpaOptions::Unresolved},
    {"--verbose", &ZrpaOptions::Verbose},
    {"-v", &ZrpaOptions::Verbose},
};
} // namespace

bool ParseZrpaOptions(const std::vector<std::string>& aArgs, const EnvironmentFn& aEnvironment,
                      ZrpaOptions& aOptions, std::string& aError) {
    for (const auto& o : kValueOptions) {
        const std::string value = o.Environment != nullptr ? aEnvironment(o.Environment) : std::string();
        if (!value.empty()) {
            aOptions.*o.Field = value;
        }
    }
    if (!aEnvironment("ZRPA_PRINT").empty()) {
        aOptions.Print = aEnvironment("ZRPA_PRINT");
    }
    aOptions.HexLog = aEnvironment("ZRPA_HEX_LOG") == "1" || aEnvironment("ZRPA_HEX_LOG") == "true";
    // An explicit --tcp or --serial replaces the other one set in the environment.
    bool tcpGiven = false, serialGiven = false;
    for (std::size_t i = 0; i < aArgs.size(); ++i) {
        const std::string& a = aArgs[i];
        if (aOptions.Command.empty()) {
            if (a == "--help" || a == "-h") {
                aOptions.Command = "help";
                continue;
            }
            if (a.starts_with("-")) {
                aError =
                    "option " + a + " before the command; the command comes first (zrpa COMMAND [options])";
                return false;
            }
            aOptions.Command = a;
            if (a == "emulator") {
                aOptions.Arguments.assign(aArgs.begin() + static_cast<std::ptrdiff_t>(i) + 1, aArgs.end());
                return true;
            }
            continue;
        }
        if (a == "--ecr" || a == "--eft") {
            aOptions.Print = a == "--ecr" ? "ECR" : "EFT";
            continue;
        }
        bool known = false;
        for (const auto& f : kFlagOptions) {
            if (a == f.Name) {
                aOptions.*f.Field = true;
                known = true;
            }
        }
        for (const auto& o : kValueOptions) {
            if (a != o.Name) {
                continue;
            }
            if (i + 1 >= aArgs.size()) {
                aError = std::string("option ") + o.Name + " needs a value";
                return false;
            }
            aOptions.*o.Field = aArgs[++i];
            tcpGiven = tcpGiven || a == "--tcp";
            serialGiven = serialGiven || a == "--serial";
            known = true;
        }
        if (!known && a.size() > 1 && a.starts_with("-")) {
            aError = "unknown option " + a;
            return false;
        }
        if (!known) {
            aOptions.Arguments.push_back(a);
        }
    }
    if (tcpGiven && !serialGiven) {
        aOptions.Serial.clear();
    } else if (serialGiven && !tcpGiven) {
        aOptions.Tcp.clear();
    }
    return true;
}
