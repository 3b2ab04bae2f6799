#include "interface/Library.h"

#include "drivers/Payment_RIVEVEDEV17.h"
#include "interface/PaymentRegistry.h"

bool LibraryLoad() noexcept {
    try {
        CreatePaymentState();
        RegisterPaymentDriver(u"ZRPA_RIVEVEDEV17_10", &CreatePayment_RIVEVEDEV17);
        return true;
    } catch (...) {
        return false;
    }
}

void LibraryUnload(bool) noexcept {
    try {
        FreePaymentState();
    } catch (...) {
    }
}
