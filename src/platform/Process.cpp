#include "platform/Process.h"

Text ExecutableDirectory() {
    const Text path = ExecutablePath();
    const std::size_t cut = path.find_last_of(u"/\\");
    if (cut == Text::npos) {
        return u".";  // unknown: the current folder rather than the root
    }
    // The root folder keeps its separator ("/" or "C:\").
    if (cut == 0 || (cut == 2 && path[1] == u':')) {
        return path.substr(0, cut + 1);
    }
    return path.substr(0, cut);
}
