#pragma once
// The library's life: created when the host loads it, torn down when the host unloads it.
// The test programs call these two directly around the parts they exercise.
//
// Load: the application context, then the shared state of the commands (device table, driver
// registry, their lock), then the driver's registration. Unload in reverse: the devices still open
// (each channel logs its STOP line), the registry and the lock, then the application context.
// Neither waits without limit: both run inside the Windows loader lock.

// False when a part could not be set up; the commands then fail with a clear error text.
bool LibraryLoad() noexcept;
// aProcessExiting: the process is ending and other threads are already gone (Windows loader).
void LibraryUnload(bool aProcessExiting = false) noexcept;
