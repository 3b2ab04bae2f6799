#pragma once
// The library's own phrases and internal names, as they appear in its error texts and device log
// lines, said in a technician's words. The raw text stays available (zrpa --verbose, the log itself).
#include <string>
#include <string_view>

// aText with every known library phrase replaced by its plain words ("ReadUpTo Unexpected
// error:Connection Closed Gracefully." gives "the terminal closed the connection"); other text as it
// is.
std::string TechnicianText(std::string_view aText);

// The link a device log's channel line names ("kIOHandler_TCP" gives "network (TCP)"); aName itself
// without its class prefix when unknown.
std::string ChannelName(std::string_view aName);

// The step of an operation that a device log line (without its time stamp) shows, in words:
// "connecting", "waiting for the card and the terminal's answer", "receiving the receipt", ...;
// empty for a line that says nothing of the step.
std::string ProgressStep(std::string_view aLogLine);
