#pragma once
// The documents zrpa exchanges with the library: the request it writes from its options, and the flat
// result document it reads back ("<Name>value</Name>" elements, entities resolved).
#include <string>
#include <utility>
#include <vector>

#include "ZrpaOptions.h"

using ResultFields = std::vector<std::pair<std::string, std::string>>;

// aText with &, <, >, " and ' escaped.
std::string XmlEscape(const std::string& aText);

// The request for aExport (PAY, REPRINT, GETTOTALS, DAYCLOSE, OPEN, CLOSE) with the connection of
// aOptions; aAction is PAY, REFUND or VOID for PAY; aHandle empty for none.
std::string ZrpaRequest(const ZrpaOptions& aOptions, const std::string& aExport, const std::string& aAction,
                        const std::string& aHandle);

// The elements of a flat result document in order; text outside elements is ignored. Never fails.
ResultFields ReadResultDocument(const std::string& aDocument);
// The value of aName, or "" when absent.
std::string ResultField(const ResultFields& aFields, const std::string& aName);
