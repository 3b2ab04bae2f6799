#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/UserInterface.h"

namespace {
const wchar_t* Wide(const Text& aText) {
    return reinterpret_cast<const wchar_t*>(aText.c_str());
}

HMODULE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

constexpr COLORREF kBackground = RGB(12, 25, 117);
constexpr int kClientWidth = 100;
constexpr int kClientHeight = 50;
const wchar_t kWaitClass[] = L"ZrWaitWindow";

// What the window procedure paints: kept in the window's user data.
struct WaitState {
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    Text text;
    RECT label{};
};

LRESULT CALLBACK WaitWindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam) {
    auto* state = reinterpret_cast<WaitState*>(GetWindowLongPtrW(aWindow, GWLP_USERDATA));
    if (aMessage == WM_PAINT && state != nullptr) {
        PAINTSTRUCT paint{};
        const HDC dc = BeginPaint(aWindow, &paint);
        RECT client{};
        GetClientRect(aWindow, &client);
        FillRect(dc, &client, state->brush);
        const HGDIOBJ old = SelectObject(dc, state->font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        DrawTextW(dc, Wide(state->text), static_cast<int>(state->text.size()), &state->label,
                  DT_CENTER | DT_NOPREFIX);
        SelectObject(dc, old);
        EndPaint(aWindow, &paint);
        return 0;
    }
    return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
}
} // namespace

bool ShowModalMessage(tZR_BoxKind aKind, const Text& aTitle, const Text& aText) {
    const UINT icon = aKind == tZR_BoxKind::bk_Error ? MB_ICONERROR : MB_ICONINFORMATION;
    // No owner window: the box is centred on the screen and blocks the calling thread until OK.
    MessageBoxW(nullptr, Wide(aText), Wide(aTitle), MB_OK | icon | MB_TASKMODAL | MB_SETFOREGROUND);
    return true;
}

void ProcessPendingMessages() {
    MSG message{};
    for (int i = 0; i < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the host's own loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void RequestHostTermination() {
    PostQuitMessage(0);
}

struct PlatformWaitWindow::Impl {
    HWND window = nullptr;
    bool registered = false;
    WaitState state;

    // Windows are made on first use, never while the library is being loaded.
    bool Ensure() {
        if (window != nullptr) {
            return true;
        }
        const HINSTANCE instance = OwnModule();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WaitWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
        wc.lpszClassName = kWaitClass;
        registered = RegisterClassExW(&wc) != 0; // fails harmlessly when the class exists already
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWaitClass, L"", WS_POPUP, 0, 0,
                                 kClientWidth, kClientHeight, nullptr, nullptr, instance, nullptr);
        if (window == nullptr) {
            return false;
        }
        const HDC dc = GetDC(window);
        const int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
        ReleaseDC(window, dc);
        state.font =
            CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
        state.brush = CreateSolidBrush(kBackground);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
        return true;
    }

    void Layout() {
        const HDC dc = GetDC(window);
        const HGDIOBJ old = SelectObject(dc, state.font);
        RECT measure{0, 0, 0, 0};
        DrawTextW(dc, Wide(state.text), static_cast<int>(state.text.size()), &measure,
                  DT_CALCRECT | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(window, dc);
        const int labelWidth = measure.right - measure.left;
        const int labelHeight = measure.bottom - measure.top;
        const int clientWidth = static_cast<int>(labelWidth * 1.3);
        const int left = (clientWidth - labelWidth) / 2;
        const int top = (kClientHeight - labelHeight) / 2;
        state.label = RECT{left, top, left + labelWidth, top + labelHeight};
        const int x = (GetSystemMetrics(SM_CXSCREEN) - clientWidth) / 2;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - kClientHeight) / 2;
        SetWindowPos(window, HWND_TOPMOST, x, y, clientWidth, kClientHeight, SWP_NOACTIVATE);
        InvalidateRect(window, nullptr, TRUE);
    }

    ~Impl() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
        if (state.font != nullptr) {
            DeleteObject(state.font);
        }
        if (state.brush != nullptr) {
            DeleteObject(state.brush);
        }
        // The class points into this module: it must not outlive an unloaded library.
        if (registered) {
            UnregisterClassW(kWaitClass, OwnModule());
        }
    }
};

PlatformWaitWindow::PlatformWaitWindow() : fImpl(std::make_unique<Impl>()) {}
PlatformWaitWindow::~PlatformWaitWindow() = default;

void PlatformWaitWindow::SetText(const Text& aText) {
    fImpl->state.text = aText;
    if (fImpl->window != nullptr) {
        fImpl->Layout();
    }
}

void PlatformWaitWindow::Show() {
    if (!fImpl->Ensure()) {
        return;
    }
    fImpl->Layout();
    ShowWindow(fImpl->window, SW_SHOWNOACTIVATE);
    UpdateWindow(fImpl->window);
}

void PlatformWaitWindow::Hide() {
    if (fImpl->window != nullptr) {
        ShowWindow(fImpl->window, SW_HIDE);
    }
}

struct PlatformNotifyIcon::Impl {
    NOTIFYICONDATAW data{};
};

PlatformNotifyIcon::PlatformNotifyIcon() : fImpl(std::make_unique<Impl>()) {}
PlatformNotifyIcon::~PlatformNotifyIcon() = default;

void PlatformNotifyIcon::Add(void* aWindow) {
    NOTIFYICONDATAW& d = fImpl->data;
    d = NOTIFYICONDATAW{};
    static_assert(sizeof(void*) != 4 || sizeof(NOTIFYICONDATAW) == 956, "the 32-bit record has 956 bytes");
    d.cbSize = sizeof d;
    d.hWnd = static_cast<HWND>(aWindow);
    d.uCallbackMessage = WM_USER + 100;
    d.uID = 1;
    const HMODULE host = GetModuleHandleW(nullptr);
    d.hIcon = LoadIconW(host, L"MAINICON");
    if (d.hIcon == nullptr) {
        d.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    }
    d.uFlags = NIF_MESSAGE | NIF_ICON;
    Shell_NotifyIconW(NIM_ADD, &d);
}

void PlatformNotifyIcon::Remove() {
    fImpl->data.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &fImpl->data);
}
