// What the application context does on a desktop: single-instance mutex, tray icon, message boxes and
// the end of the host.
#include <chrono>
#include <thread>

#include "platform/NamedMutex.h"
#include "platform/Process.h"
#include "platform/UserInterface.h"
#include "runtime/Application.h"

void tZR_Application::SetSingleInstance(bool aValue) {
    if (aValue == fSingleInstance) {
        return;
    }
    fSingleInstance = aValue;
    if (aValue) {
        std::intptr_t handle = 0;
        if (AcquireNamedMutex(fApplicationName, handle) != tZR_MutexResult::mr_Acquired) {
            MessageOrLogPausingWait(tZR_MessageType::let_error, u"Impossible to enter single instance mode.");
            RequestHostTermination();
            return;
        }
        fSingleInstanceMutexHandle = handle;
    } else if (fSingleInstanceMutexHandle != 0) {
        ReleaseNamedMutex(fSingleInstanceMutexHandle);
        fSingleInstanceMutexHandle = 0;
    }
}

void tZR_Application::CreateNotifyIcon(void* aWindow) {
    fIconData->Add(aWindow);
    fNotifyIcon = true;
}

void tZR_Application::DeleteNotifyIcon() {
    if (fNotifyIcon) {
        fIconData->Remove();
        fNotifyIcon = false;
    }
}

void tZR_Application::Terminate() {
    ProcessPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    RequestHostTermination();
}

void tZR_Application::HandleException(const Text& aMessage) {
    if (!aMessage.empty()) {
        MessageOrLogPausingWait(tZR_MessageType::let_error, aMessage);
    }
    if (fIsBatch && fTerminateOnExceptionIfBatch) {
        RequestHostTermination();
    }
}

void tZR_Application::MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage) {
    if (fIsBatch) {
        Log(aEntryType, aMessage);
        return;
    }
    const tZR_BoxKind kind =
        aEntryType == tZR_MessageType::let_error ? tZR_BoxKind::bk_Error : tZR_BoxKind::bk_Information;
    if (!ShowModalMessage(kind, fApplicationName, aMessage)) {
        Log(aEntryType, aMessage);
    }
}

void tZR_Application::MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage) {
    if (!fWait->Started()) {
        MessageOrLog(aEntryType, aMessage);
        return;
    }
    fWait->Stop();
    MessageOrLog(aEntryType, aMessage);
    fWait->Start(Text());
}

void MessageOrLog(tZR_MessageType aEntryType, const Text& aMessage) {
    if (gApplication != nullptr) {
        gApplication->MessageOrLog(aEntryType, aMessage);
        return;
    }
    ShowModalMessage(aEntryType == tZR_MessageType::let_error ? tZR_BoxKind::bk_Error
                                                              : tZR_BoxKind::bk_Information,
                     GetApplicationName(), aMessage);
}

void MessageOrLogPausingWait(tZR_MessageType aEntryType, const Text& aMessage) {
    if (gApplication != nullptr) {
        gApplication->MessageOrLogPausingWait(aEntryType, aMessage);
        return;
    }
    MessageOrLog(aEntryType, aMessage);
}
