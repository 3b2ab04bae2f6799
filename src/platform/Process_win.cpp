#include <windows.h>

#include "platform/Process.h"

Text ExecutablePath() {
    wchar_t buf[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buf, 32768);
    return Text(reinterpret_cast<const char16_t*>(buf), n);
}

Text ExecutableDirectory() {
    const Text path = ExecutablePath();
    const auto slash = path.find_last_of(u"\\/");
    return slash == Text::npos ? Text(u".") : path.substr(0, slash);
}

char16_t PathSeparator() { return u'\\'; }
