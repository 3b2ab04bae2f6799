#include "interface/PaymentRegistry.h"

#include "base/ZrError.h"

tZR_PaymentDevices* gPaymentDevices = nullptr;
tZR_PaymentDrivers* gPaymentDrivers = nullptr;
std::recursive_mutex* gPaymentLock = nullptr;
std::int32_t gLastDeviceHandle = 0;

void CreatePaymentState() {
    FreePaymentState();
    gPaymentDevices = new tZR_PaymentDevices();
    gPaymentDrivers = new tZR_PaymentDrivers();
    gPaymentLock = new std::recursive_mutex();
    gLastDeviceHandle = 0;
}

void FreePaymentState() {
    // The table is detached first, so nothing can find a device while the devices are being freed.
    tZR_PaymentDevices* devices = gPaymentDevices;
    gPaymentDevices = nullptr;
    delete devices;
    delete gPaymentDrivers;
    gPaymentDrivers = nullptr;
    delete gPaymentLock;
    gPaymentLock = nullptr;
}

void RegisterPaymentDriver(const Text& aName, kPaymentClass aClass) {
    CheckPaymentState();
    std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
    (*gPaymentDrivers)[aName] = aClass;
}

void CheckPaymentState() {
    if (gPaymentLock == nullptr || gPaymentDevices == nullptr || gPaymentDrivers == nullptr) {
        throw ZrError(u"The payment library is not initialised");
    }
}
