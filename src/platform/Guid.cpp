#include "platform/Guid.h"

Text GuidToText(const ZrGuid& aGuid) {
    Text out;
    out.reserve(38);
    out.push_back(u'{');
    out += IntToHex(aGuid.Data1, 8);
    out.push_back(u'-');
    out += IntToHex(aGuid.Data2, 4);
    out.push_back(u'-');
    out += IntToHex(aGuid.Data3, 4);
    out.push_back(u'-');
    out += IntToHex(aGuid.Data4[0], 2);
    out += IntToHex(aGuid.Data4[1], 2);
    out.push_back(u'-');
    for (int i = 2; i < 8; ++i) {
        out += IntToHex(aGuid.Data4[i], 2);
    }
    out.push_back(u'}');
    return out;
}
