#include "LoadedLibrary.h"

std::string Utf16ToUtf8(const std::u16string& aText) {
    std::string out;
    for (std::size_t i = 0; i < aText.size(); ++i) {
        char32_t cp = aText[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < aText.size() && aText[i + 1] >= 0xDC00 && aText[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (aText[++i] - 0xDC00);
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string& aText) {
    std::u16string out;
    for (std::size_t i = 0; i < aText.size();) {
        const auto c = static_cast<unsigned char>(aText[i]);
        char32_t cp = c;
        std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (len > 1 && i + len <= aText.size()) {
            cp = c & (0xFF >> (len + 1));
            for (std::size_t k = 1; k < len; ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(aText[i + k]) & 0x3F);
            }
        } else if (len > 1) {
            cp = 0xFFFD;
            len = 1;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += len;
    }
    return out;
}

LoadedLibrary::Outcome LoadedLibrary::Call(const std::string& aExport, const std::u16string& aRequest) {
    Outcome o;
    auto fn = reinterpret_cast<CommandFn>(Symbol(aExport.c_str()));
    if (fn == nullptr) {
        o.Result = -2;
        o.ErrorMessage = Utf8ToUtf16("export " + aExport + " not found");
        return o;
    }
    BSTR request = Alloc(aRequest);
    BSTR output = nullptr;
    BSTR error = nullptr;
    o.Result = fn(request, &output, &error);
    Free(request);
    o.Output = TakeText(output, o.OutputWasNull);
    o.ErrorMessage = TakeText(error, o.ErrorWasNull);
    return o;
}

LoadedLibrary::Outcome LoadedLibrary::Version(const std::u16string& aDriverName) {
    Outcome o;
    auto fn = reinterpret_cast<VersionFn>(Symbol("VERSION"));
    if (fn == nullptr) {
        o.Result = -2;
        o.ErrorMessage = u"export VERSION not found";
        return o;
    }
    BSTR name = Alloc(aDriverName);
    BSTR version = nullptr;
    BSTR error = nullptr;
    o.Result = fn(name, &version, &error);
    Free(name);
    o.Output = TakeText(version, o.OutputWasNull);
    o.ErrorMessage = TakeText(error, o.ErrorWasNull);
    return o;
}
