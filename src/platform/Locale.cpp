#include "platform/Locale.h"

#include "base/Formatting.h"

bool IsNumeric(const Text& aText) {
    double unused = 0;
    return TryTextToFloat(aText, unused);
}

bool TryTextToFloat(const Text& aText, double& aOut) {
    return TryTextToFloat(aText, HostDecimalSeparator(), aOut);
}

Text FormatNumberFixed(const Text& aValue, std::int32_t aLength, std::int32_t aDecimals, bool aSigned,
                       const Text& aDecimalSeparator) {
    return FormatNumberFixed(aValue, HostDecimalSeparator(), aLength, aDecimals, aSigned, aDecimalSeparator);
}
