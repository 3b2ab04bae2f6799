#include <limits.h>
#include <unistd.h>

#include "platform/Process.h"

Text ExecutablePath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? Utf8ToText(std::string_view(buf, static_cast<std::size_t>(n))) : Text();
}

Text ExecutableDirectory() {
    const Text path = ExecutablePath();
    const auto slash = path.find_last_of(u'/');
    return slash == Text::npos ? Text(u".") : path.substr(0, slash);
}

char16_t PathSeparator() { return u'/'; }
