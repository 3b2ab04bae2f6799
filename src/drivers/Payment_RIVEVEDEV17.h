#pragma once
// The Protocol 17 terminal driver, registered under "ZRPA_RIVEVEDEV17_10".
#include <memory>

#include "payment/Payment.h"

// The registry's factory for the driver class (a kPaymentClass).
std::unique_ptr<kPaymentDevice> CreatePayment_RIVEVEDEV17(const kPaymentHandler& aHandler);
