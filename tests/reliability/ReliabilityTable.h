#pragma once
// The tables the reliability tests produce for docs/reliability.md: when ZR_RELIABILITY_OUT names a
// folder, a test writes its table there as Markdown (scripts/reliability-tables.sh puts them into the
// document). Without it nothing is written.
#include <string>
#include <vector>

#include "base/Text.h"

// One Markdown table: a header row and the rows, cells escaped for Markdown ("|" and line breaks).
void WriteReliabilityTable(const std::string& aName, const std::vector<std::string>& aHeader,
                           const std::vector<std::vector<std::string>>& aRows);
// A text as a table cell shows it: control characters as <xx>, at most aMax characters and "…".
std::string CellText(const Text& aText, std::size_t aMax = 110);
