#include "interface/PaymentRegistry.h"

#include <limits>

#include "base/ZrError.h"

namespace {
// Members in this order, so the devices (with their channels) are freed first and the lock last.
struct tZR_PaymentState {
    std::recursive_mutex Lock;
    tZR_PaymentDrivers Drivers;
    tZR_PaymentDevices Devices;
    std::int32_t LastHandle = 0;
};

// Null before load and after unload.
tZR_PaymentState* gState = nullptr;

// The shared state, or ZrError "The payment library is not initialised".
tZR_PaymentState& State() {
    if (gState == nullptr) {
        throw ZrError(u"The payment library is not initialised");
    }
    return *gState;
}

// The table entry of aHandle; raises "Device Handle not found". The caller holds the lock.
tZR_PaymentDevices::iterator EntryOf(tZR_PaymentState& aState, std::int32_t aHandle) {
    const auto it = aState.Devices.find(aHandle);
    if (it == aState.Devices.end()) {
        throw ZrError(u"Device Handle not found");
    }
    return it;
}
} // namespace

void CreatePaymentState() {
    FreePaymentState();
    gState = new tZR_PaymentState();
}

void FreePaymentState() {
    // The state is detached first, so nothing can find a device while the devices are being freed.
    tZR_PaymentState* state = gState;
    gState = nullptr;
    delete state;
}

void RegisterPaymentDriver(const Text& aName, kPaymentClass aClass) {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    state.Drivers[aName] = aClass;
}

void CheckPaymentState() {
    State();
}

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Open(const kPaymentHandler& aHandler) {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    const auto driver = state.Drivers.find(aHandler.fDriver);
    if (driver == state.Drivers.end() || driver->second == nullptr) {
        throw ZrError(u"Payment Driver [" + CutValue(aHandler.fDriver) + u"] not registered.");
    }
    // Handles are never reused, so the counter must not wrap into the numbers already issued.
    if (state.LastHandle == std::numeric_limits<std::int32_t>::max()) {
        throw ZrError(u"No device handle left: " + IntToText(state.LastHandle) + u" devices were opened");
    }
    std::shared_ptr<kPaymentDevice> device = driver->second(aHandler);
    if (!device) {
        throw ZrError(u"Payment Driver [" + CutValue(aHandler.fDriver) + u"] created no device.");
    }
    ++state.LastHandle;
    device->SetHandle(state.LastHandle);
    state.Devices.emplace(state.LastHandle, device);
    return device;
}

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Find(std::int32_t aHandle) {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    return EntryOf(state, aHandle)->second;
}

std::shared_ptr<kPaymentDevice> tZR_PaymentRegistry::Close(std::int32_t aHandle) {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    const auto it = EntryOf(state, aHandle);
    std::shared_ptr<kPaymentDevice> device = std::move(it->second);
    state.Devices.erase(it);
    return device;
}

void tZR_PaymentRegistry::Forget(const std::shared_ptr<kPaymentDevice>& aDevice) noexcept {
    try {
        if (tZR_PaymentState* state = gState; state != nullptr && aDevice) {
            std::lock_guard<std::recursive_mutex> lock(state->Lock);
            const auto it = state->Devices.find(aDevice->Handle());
            if (it != state->Devices.end() && it->second == aDevice) {
                state->Devices.erase(it);
            }
        }
    } catch (...) {
        // Left in the table: unloading frees it.
    }
}

bool tZR_PaymentRegistry::HasDriver(const Text& aName) {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    return state.Drivers.count(aName) != 0;
}

std::int32_t tZR_PaymentRegistry::LastHandle() {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    return state.LastHandle;
}

std::size_t tZR_PaymentRegistry::OpenDevices() {
    tZR_PaymentState& state = State();
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    return state.Devices.size();
}

std::vector<std::shared_ptr<kPaymentDevice>> tZR_PaymentRegistry::CloseAll() {
    tZR_PaymentState& state = State();
    std::vector<std::shared_ptr<kPaymentDevice>> devices;
    std::lock_guard<std::recursive_mutex> lock(state.Lock);
    for (auto& [handle, device] : state.Devices) {
        devices.push_back(std::move(device));
    }
    state.Devices.clear();
    return devices;
}
