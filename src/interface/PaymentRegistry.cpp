#include "interface/PaymentRegistry.h"

#include <limits>

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

namespace {
// The table entry of aHandle; raises "Device Handle not found". The caller holds gPaymentLock.
tZR_PaymentDevices::iterator EntryOf(std::int32_t aHandle) {
    const auto it = gPaymentDevices->find(aHandle);
    if (it == gPaymentDevices->end()) {
        throw ZrError(u"Device Handle not found");
    }
    return it;
}
} // namespace

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Open(const kPaymentHandler& aHandler) {
    CheckPaymentState();
    std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
    const auto driver = gPaymentDrivers->find(aHandler.fDriver);
    if (driver == gPaymentDrivers->end() || driver->second == nullptr) {
        throw ZrError(u"Payment Driver [" + CutValue(aHandler.fDriver) + u"] not registered.");
    }
    // Handles are never reused, so the counter must not wrap into the numbers already issued.
    if (gLastDeviceHandle == std::numeric_limits<std::int32_t>::max()) {
        throw ZrError(u"No device handle left: " + IntToText(gLastDeviceHandle) + u" devices were opened");
    }
    std::shared_ptr<kPaymentDevice> device = driver->second(aHandler);
    if (!device) {
        throw ZrError(u"Payment Driver [" + CutValue(aHandler.fDriver) + u"] created no device.");
    }
    ++gLastDeviceHandle;
    device->SetHandle(gLastDeviceHandle);
    gPaymentDevices->emplace(gLastDeviceHandle, device);
    return device;
}

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Find(std::int32_t aHandle) {
    CheckPaymentState();
    std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
    return EntryOf(aHandle)->second;
}

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Close(std::int32_t aHandle) {
    CheckPaymentState();
    std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
    const auto it = EntryOf(aHandle);
    std::shared_ptr<kPaymentDevice> device = std::move(it->second);
    gPaymentDevices->erase(it);
    return device;
}

void tZR_PaymentRegistry::Forget(const std::shared_ptr<kPaymentDevice>& aDevice) noexcept {
    try {
        if (gPaymentLock != nullptr && gPaymentDevices != nullptr && aDevice) {
            std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
            const auto it = gPaymentDevices->find(aDevice->Handle());
            if (it != gPaymentDevices->end() && it->second == aDevice) {
                gPaymentDevices->erase(it);
            }
        }
    } catch (...) {
        // Left in the table: unloading frees it.
    }
}

bool tZR_PaymentRegistry::HasDriver(const Text& aName) {
    CheckPaymentState();
    std::lock_guard<std::recursive_mutex> lock(*gPaymentLock);
    return gPaymentDrivers->count(aName) != 0;
}
