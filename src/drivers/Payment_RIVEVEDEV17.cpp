// Placeholder until the driver exists.
#include "drivers/Payment_RIVEVEDEV17.h"

#include "base/ZrError.h"

std::unique_ptr<kPaymentDevice> CreatePayment_RIVEVEDEV17(const kPaymentHandler&) {
    throw ZrError(u"The Protocol 17 driver is not available in this build");
}
