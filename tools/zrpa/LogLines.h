#pragma once
// The lines of a device log as the library writes them: "yyyy-mm-dd hh:mm:ss:zzz - " (or " - ERROR - ")
// and a text. Older logs carry the link's bytes raw, so a check character that happens to be a line
// break splits a line; newer ones name control characters (<STX>, <0A>). Both read the same here.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DeviceLogLine {
    std::string Stamp;      // "yyyy-mm-dd hh:mm:ss:zzz"
    bool Error = false;     // written as " - ERROR - "
    std::string Text;       // UTF-8 as written, line breaks inside the text kept
    std::size_t Number = 0; // line number in the file, from 1
};

// Every stamped line of aContent; text before the first stamp is skipped, and an unstamped line
// continues the previous one (a raw line break inside a frame). Never fails.
std::vector<DeviceLogLine> SplitLogLines(std::string_view aContent);

// True when aText begins with a well-formed "yyyy-mm-dd hh:mm:ss:zzz".
bool IsLogStamp(std::string_view aText);

// Milliseconds since 1970-01-01 of a stamp (as UTC; only differences are used); -1 when malformed.
std::int64_t StampMilliseconds(std::string_view aStamp);

// The link bytes of a logged message: the hex dump when the line has a well-formed one, else the text
// with named control characters (<STX>, <0A>) turned back into bytes and characters U+0080..U+00FF
// into single bytes (the log file is UTF-8).
std::string MessageBytes(std::string_view aLoggedMessage);

// A logged "Title:message [hex dump]" without its hex dump; unchanged when it has none.
std::string WithoutHexDump(std::string_view aLine);

// Link bytes for display: control characters named (<STX>, <ACK>, <0A>), bytes above 0x7F as their
// Latin-1 characters in UTF-8.
std::string ShowBytes(std::string_view aBytes);

// A whole frame for display: as ShowBytes, with the check character after ETX or EOT shown apart
// ("<ACK><ETX> LRC=7A"), so that it is not read as data. Bytes that do not end so are as ShowBytes.
std::string ShowFrame(std::string_view aBytes);
