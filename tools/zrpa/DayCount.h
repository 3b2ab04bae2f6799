#pragma once
// The day's approved payments, refunds and voids of one terminal as this computer's journal holds them,
// shown beside the terminal's total: the totals answer carries no count, so this is what a technician
// compares the terminal's own list with.
#include <string>
#include <vector>

#include "JournalReport.h"

// "2 payments, 1 refund, 1 void approved" for the operations in aEntries whose request went to
// aTerminal (the connection as the journal names it: "192.168.1.50:1234", "COM3") and began on aDay
// ("yyyy-mm-dd"); with ", 1 outcome unknown" when some are not settled.
std::string DayCountText(const std::vector<JournalEntry>& aEntries, const std::string& aTerminal,
                         const std::string& aDay);
