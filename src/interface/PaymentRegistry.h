#pragma once
// The state shared by every call: the driver registry, the table of open devices and the handle
// counter, one object guarded by its own lock (PaymentRegistry.cpp). Created at library load, freed at
// unload; the commands open, find and close devices through tZR_PaymentRegistry only.
//
// The table holds its devices through std::shared_ptr: a command that uses a device keeps its own
// reference, so a CLOSE from another thread removes the device from the table but frees it only when
// the last call using it returns. The lock is held while a device is looked up, created and inserted,
// or removed; never while a device talks to its terminal.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/Text.h"
#include "payment/Payment.h"

using tZR_PaymentDrivers = std::map<Text, kPaymentClass>;
using tZR_PaymentDevices = std::map<std::int32_t, std::shared_ptr<kPaymentDevice>>;

// Creates the shared state: an empty registry and device table; the handle counter starts at 0, so the
// first device gets 1 (handles are never reused).
void CreatePaymentState();
// Frees the device table (every device still open, with its channel), then the registry, then the
// lock. Does not take the lock: the host has finished its calls when it unloads the library.
void FreePaymentState();
// Adds a driver class under aName (exact, case-sensitive); a second registration of a name replaces
// the first.
void RegisterPaymentDriver(const Text& aName, kPaymentClass aClass);
// Raises ZrError when the shared state does not exist (a call before load or after unload).
void CheckPaymentState();

// The registry's operations. Each raises "The payment library is not initialised" without the shared
// state and takes the lock for its own length only.
class tZR_PaymentRegistry {
public:
    // A new device of the driver aHandler names (fDriver), entered under the next handle, which it also
    // carries. Raises "Payment Driver [<name>] not registered." / "... created no device." and
    // "No device handle left: ..." once every positive handle was issued; the device's constructor may
    // raise too. Nothing is entered then.
    static std::shared_ptr<kPaymentDevice> Open(const kPaymentHandler& aHandler);
    // The open device of aHandle; raises "Device Handle not found".
    static std::shared_ptr<kPaymentDevice> Find(std::int32_t aHandle);
    // Takes the device of aHandle out of the table and hands it to the caller, who frees it outside the
    // lock (a command of another thread still using it keeps it alive). Raises "Device Handle not found".
    static std::shared_ptr<kPaymentDevice> Close(std::int32_t aHandle);
    // Takes aDevice out of the table when it is still the entry of its handle. Never raises: without the
    // shared state there is nothing to take out.
    static void Forget(const std::shared_ptr<kPaymentDevice>& aDevice) noexcept;
    // True when a driver class is registered under aName (exact, case-sensitive).
    static bool HasDriver(const Text& aName);
    // The last handle issued (0 before the first) and the number of open devices.
    static std::int32_t LastHandle();
    static std::size_t OpenDevices();
    // Takes every device out of the table and hands them to the caller, who frees them outside the lock.
    static std::vector<std::shared_ptr<kPaymentDevice>> CloseAll();
};
