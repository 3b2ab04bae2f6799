#pragma once
// tZR_ResultDocument: the flat result document of a command. Elements follow each other separated by
// CR LF, with no declaration, no root element and no line break after the last one. Every value form
// is fixed, whatever the host's regional settings.
#include <cstdint>

#include "base/Currency.h"
#include "base/DateTime.h"
#include "base/Text.h"

class tZR_ResultDocument {
public:
    // Escaped with EscapeXml; tab, CR and LF pass unchanged, every other character that XML 1.0 cannot
    // carry becomes a space (XmlCharactersOnly).
    void AddText(TextView aName, const Text& aValue);
    // Shortest decimal form with "." ("12.5", "0", "-2.5").
    void AddAmount(TextView aName, Currency aValue);
    void AddInteger(TextView aName, std::int32_t aValue);
    // "True" or "False".
    void AddFlag(TextView aName, bool aValue);
    // "yyyy-mm-ddThh:nn:ss"; the date-time 0 is "1899-12-30T00:00:00".
    void AddDateTime(TextView aName, TDateTime aValue);

    const Text& Document() const { return fDocument; }

    // "&" first, then "<", ">", '"' and "'", so no entity is escaped twice.
    static Text EscapeXml(TextView aText);

private:
    // aValue is written as it is: callers pass it escaped.
    void AddElement(TextView aName, TextView aValue);
    // The separator before every element but the first, then "<" + aName + ">".
    void OpenElement(TextView aName);
    // "</" + aName + ">".
    void CloseElement(TextView aName);

    Text fDocument;
};
