#include "interface/Library.h"

#include "base/Application.h"
#include "base/LogWriter.h"
#include "drivers/Payment_RIVEVEDEV17.h"
#include "interface/PaymentRegistry.h"

bool LibraryLoad() noexcept {
    try {
        tZR_LogWriter::SetLibraryUnloading(false);
        CreateApplicationContext();
        CreatePaymentState();
        RegisterPaymentDriver(u"ZRPA_RIVEVEDEV17_10", &CreatePayment_RIVEVEDEV17);
        return true;
    } catch (...) {
        return false;
    }
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
