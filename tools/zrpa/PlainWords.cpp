#include "PlainWords.h"

namespace {
struct Phrase {
    std::string_view Library;
    std::string_view Plain;
};
// Longest first: a phrase that contains another is replaced whole.
constexpr Phrase kPhrases[] = {
    {"ReadUpTo Unexpected error:Connection Closed Gracefully.", "the terminal closed the connection"},
    {"ReadUpTo Unexpected error:", "reading from the terminal failed: "},
    {"Connection Closed Gracefully.", "the terminal closed the connection"},
    {"Unable to connect to device", "could not connect to the terminal at"},
    {"Invalid Packet Received", "the terminal sent a damaged message"},
    {"Unexpected error", "an unexpected error in the library"},
};

constexpr Phrase kChannels[] = {
    {"kIOHandler_TCP", "network (TCP)"},
    {"kIOHandler_Serial", "serial line"},
    {"kIOHandler_Unavailable", "no connection"},
};
} // namespace

std::string TechnicianText(std::string_view aText) {
    std::string out(aText);
    for (const auto& [library, plain] : kPhrases) {
        for (std::size_t at = out.find(library); at != std::string::npos;
             at = out.find(library, at + plain.size())) {
            out.replace(at, library.size(), plain);
        }
    }
    return out;
}

std::string ChannelName(std::string_view aName) {
    for (const auto& [library, plain] : kChannels) {
        if (aName == library) {
            return std::string(plain);
        }
    }
    return std::string(aName.starts_with("kIOHandler_") ? aName.substr(11) : aName);
}

std::string ProgressStep(std::string_view aLine) {
    if (aLine.starts_with("kIOHandler_") || aLine.starts_with("Host=") || aLine.starts_with("Port=") ||
        aLine.starts_with("SerialPort=") || aLine.starts_with("Speed=") || aLine.starts_with("Connect")) {
        return "connecting to the terminal";
    }
    if (aLine.starts_with("Request:") || aLine.starts_with("Write:")) {
        return "sending the request";
    }
    if (aLine.starts_with("Set Read Timeout") || aLine.starts_with("Waiting for") ||
        aLine.starts_with("Read Timeout:")) {
        return "waiting for the terminal (the customer may be at the card reader)";
    }
    if (aLine.starts_with("Read:")) {
        std::string_view bytes = aLine.substr(5);
        if (bytes.starts_with("<ACK>")) {
            return "the terminal took the request: waiting for its answer";
        }
        if (bytes.starts_with("<SOH>")) {
            return "the terminal is working (status message)";
        }
        if (bytes.size() <= 1) {
            return std::string(); // a frame's check character, logged on its own
        }
        bytes = bytes.starts_with("<STX>") ? bytes.substr(5) : bytes;
        return bytes.size() > 9 && bytes[9] == 'S' ? "receiving the receipt" : "receiving the answer";
    }
    if (aLine.starts_with("Result:")) {
        return "finishing";
    }
    if (aLine.starts_with("Disconnect")) {
        return "closing the connection";
    }
    return std::string();
}
