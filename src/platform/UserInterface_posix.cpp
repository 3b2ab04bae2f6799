#include <cstdio>

#include "platform/UserInterface.h"

bool ShowModalMessage(tZR_BoxKind aKind, const Text& aTitle, const Text& aText) {
    const std::string line =
        TextToUtf8(aTitle) + (aKind == tZR_BoxKind::bk_Error ? ": ERROR: " : ": ") + TextToUtf8(aText) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return false;
}

void ProcessPendingMessages() {}
void RequestHostTermination() {}

struct PlatformWaitWindow::Impl {};
PlatformWaitWindow::PlatformWaitWindow() = default;
PlatformWaitWindow::~PlatformWaitWindow() = default;
void PlatformWaitWindow::SetText(const Text&) {}
void PlatformWaitWindow::Show() {}
void PlatformWaitWindow::Hide() {}

struct PlatformNotifyIcon::Impl {};
PlatformNotifyIcon::PlatformNotifyIcon() = default;
PlatformNotifyIcon::~PlatformNotifyIcon() = default;
void PlatformNotifyIcon::Add(void*) {}
void PlatformNotifyIcon::Remove() {}
