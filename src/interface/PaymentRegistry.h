#pragma once
// The state shared by every call: the driver registry, the table of open devices and the handle
// counter, all guarded by gPaymentLock. Created at library load, freed at unload.
//
// The table holds its devices through std::shared_ptr: a command that uses a device keeps its own
// reference, so a CLOSE from another thread removes the device from the table but frees it only when
// the last call using it returns. gPaymentLock is held while a device is looked up, created and
// inserted, or removed; never while a device talks to its terminal.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "base/Text.h"
#include "payment/Payment.h"

using tZR_PaymentDrivers = std::map<Text, kPaymentClass>;
using tZR_PaymentDevices = std::map<std::int32_t, std::shared_ptr<kPaymentDevice>>;

// Null before load and after unload.
extern tZR_PaymentDevices* gPaymentDevices;
extern tZR_PaymentDrivers* gPaymentDrivers;
extern std::recursive_mutex* gPaymentLock;
// The last handle issued: 0 at load, so the first device gets 1. Handles are never reused.
extern std::int32_t gLastDeviceHandle;

// Creates the device table, the registry and the lock (in this order); the handle counter starts at 0.
void CreatePaymentState();
// Frees the device table (every device still open, with its channel), then the registry, then the
// lock. Does not take the lock: the host has finished its calls when it unloads the library.
void FreePaymentState();
// Adds a driver class under aName (exact, case-sensitive); a second registration of a name replaces
// the first.
void RegisterPaymentDriver(const Text& aName, kPaymentClass aClass);
// Raises ZrError when the shared state does not exist (a call before load or after unload).
void CheckPaymentState();
