#include "platform/Guid.h"

namespace {
void AppendHex(Text& aOut, std::uint64_t aValue, int aDigits) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    for (int shift = (aDigits - 1) * 4; shift >= 0; shift -= 4) {
        aOut.push_back(kHex[(aValue >> shift) & 0xF]);
    }
}
} // namespace

Text GuidToText(const ZrGuid& aGuid) {
    Text out;
    out.reserve(38);
    out.push_back(u'{');
    AppendHex(out, aGuid.Data1, 8);
    out.push_back(u'-');
    AppendHex(out, aGuid.Data2, 4);
    out.push_back(u'-');
    AppendHex(out, aGuid.Data3, 4);
    out.push_back(u'-');
    AppendHex(out, aGuid.Data4[0], 2);
    AppendHex(out, aGuid.Data4[1], 2);
    out.push_back(u'-');
    for (int i = 2; i < 8; ++i) {
        AppendHex(out, aGuid.Data4[i], 2);
    }
    out.push_back(u'}');
    return out;
}
