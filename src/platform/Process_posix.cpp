#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "platform/Process.h"

Text ExecutablePath() {
    std::string buffer(4096, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return Text();
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return Utf8ToText(buffer);
        }
        buffer.resize(buffer.size() * 4);
    }
    return Text();
}

char16_t PathSeparator() {
    return u'/';
}

TextList CommandLineParameters() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TextList out;
    std::size_t start = 0;
    bool first = true;
    while (start < all.size()) {
        std::size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        if (!first) {
            out.push_back(Utf8ToText(std::string_view(all).substr(start, end - start)));
        }
        first = false;
        start = end + 1;
    }
    return out;
}

Text EnvironmentVariable(const Text& aName) {
    const char* value = std::getenv(TextToUtf8(aName).c_str());
    return value == nullptr ? Text() : Utf8ToText(value);
}

Text UserStateFolder() {
    const Text state = EnvironmentVariable(u"XDG_STATE_HOME");
    if (!state.empty() && state[0] == u'/') {
        return state;
    }
    const Text home = EnvironmentVariable(u"HOME");
    return home.empty() || home[0] != u'/' ? Text() : home + u"/.local/state";
}

void WriteStandardError(const Text& aLine) {
    const std::string line = TextToUtf8(aLine) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}
