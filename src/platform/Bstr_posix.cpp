// OLE string layout without OLE: [uint32 byte length][UTF-16 text][uint16 NUL], the BSTR pointing at
// the text.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/Bstr.h"

BSTR AllocBstr(const char16_t* aText, uint32_t aLength) {
    // The byte length must fit the 32-bit prefix; refuse anything larger rather than wrap.
    if (aLength > (std::numeric_limits<uint32_t>::max() - 8) / 2) {
        return nullptr;
    }
    const std::size_t bytes = static_cast<std::size_t>(aLength) * 2;
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(char16_t)));
    if (block == nullptr) {
        return nullptr;
    }
    const auto byteLength = static_cast<uint32_t>(bytes);
    std::memcpy(block, &byteLength, sizeof byteLength);
    auto* text = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
    if (aText != nullptr) {
        std::memcpy(text, aText, bytes);
    } else {
        std::memset(text, 0, bytes);
    }
    text[aLength] = u'\0';
    return text;
}

void FreeBstr(BSTR aText) {
    if (aText != nullptr) {
        std::free(reinterpret_cast<unsigned char*>(aText) - sizeof(uint32_t));
    }
}

uint32_t BstrLength(BSTR aText) {
    if (aText == nullptr) {
        return 0;
    }
    uint32_t byteLength = 0;
    std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(aText) - sizeof(uint32_t), sizeof byteLength);
    return byteLength / 2;
}

Text BstrToText(BSTR aValue) {
    if (aValue == nullptr) {
        return Text();
    }
    return Text(aValue, BstrLength(aValue));
}

BSTR TextToBstr(const Text& aText) {
    if (aText.empty()) {
        return nullptr;
    }
    BSTR out = AllocBstr(aText.data(), static_cast<uint32_t>(aText.size()));
    if (out == nullptr) {
        throw std::bad_alloc();
    }
    return out;
}
