#pragma once
// Switches the process to a locale whose decimal separator is a comma for one test, where the platform
// lets a test do that (POSIX: setlocale; Windows reads the user's settings, which a test leaves alone).

class ScopedCommaLocale {
public:
    ScopedCommaLocale();
    ~ScopedCommaLocale();
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;
    // False when no such locale is available here; the test then skips.
    bool Active() const { return fActive; }

private:
    bool fActive = false;
    char fPrevious[256] = {};
};
