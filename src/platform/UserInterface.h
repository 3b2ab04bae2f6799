#pragma once
// The little user interface of the application context: message boxes, a please-wait window, a
// notification-area icon and the host's termination request. Windows has them all; elsewhere a message box
// becomes a line on standard error and the window and the icon do nothing.
#include <cstdint>
#include <memory>

#include "base/Text.h"

enum class tZR_BoxKind : std::uint8_t { bk_Information, bk_Error };

// A modal box centred on the screen with one OK button. False when the platform has no boxes: the text
// then went to standard error, and the caller logs it too.
bool ShowModalMessage(tZR_BoxKind aKind, const Text& aTitle, const Text& aText);
// Runs the window messages already waiting for the calling thread (a bounded number of them).
void ProcessPendingMessages();
// Asks the host to end its message loop (Windows: the calling thread's); nothing elsewhere.
void RequestHostTermination();

// A borderless, stay-on-top window centred on the screen: client area 100 x 50 pixels at first, dark blue,
// one centred label in white bold 10-point type; the width follows the label (label width x 1.3).
class PlatformWaitWindow {
public:
    PlatformWaitWindow();
    ~PlatformWaitWindow();
    PlatformWaitWindow(const PlatformWaitWindow&) = delete;
    PlatformWaitWindow& operator=(const PlatformWaitWindow&) = delete;
    void SetText(const Text& aText);
    void Show();
    void Hide();

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
};

// The notification-area icon of a host window: the host's application icon, callback message 1124.
class PlatformNotifyIcon {
public:
    PlatformNotifyIcon();
    ~PlatformNotifyIcon();
    PlatformNotifyIcon(const PlatformNotifyIcon&) = delete;
    PlatformNotifyIcon& operator=(const PlatformNotifyIcon&) = delete;
    void Add(void* aWindow);
    void Remove();

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
};
