#include "interface/Library.h"

#include "drivers/Payment_RIVEVEDEV17.h"
#include "interface/PaymentRegistry.h"
#include "runtime/Application.h"
#include "runtime/LogWriter.h"

bool LibraryLoad() noexcept {
    // The loader lock may be held: the log writers made here start their threads with the first
    // line logged after the load.
    tZR_LogWriter::SetThreadStartDeferred(true);
    bool loaded = false;
    try {
        tZR_LogWriter::SetLibraryUnloading(false);
        CreateApplicationContext();
        CreatePaymentState();
        RegisterPaymentDriver(u"ZRPA_RIVEVEDEV17_10", &CreatePayment_RIVEVEDEV17);
        loaded = true;
    } catch (...) {
    }
    tZR_LogWriter::SetThreadStartDeferred(false);
    return loaded;
}

void LibraryUnload(bool aProcessExiting) noexcept {
    // From here on no log writer waits more than its bounded time for its thread: the loader lock may
    // be held, and a thread that has to end cannot while it is.
    tZR_LogWriter::SetLibraryUnloading(true);
    try {
        FreePaymentState();
    } catch (...) {
    }
    try {
        FreeApplicationContext(true);
    } catch (...) {
    }
    (void)aProcessExiting;
}
