#pragma once
// A mutex shared by every process of the machine under one name (single-instance mode).
#include <cstdint>

#include "base/Text.h"

enum class tZR_MutexResult : std::uint8_t { mr_Acquired, mr_OwnedElsewhere, mr_Failed };

// Opens or creates the mutex aName (not initially owned) and tries to take it without waiting. On
// mr_Acquired aHandle holds it; otherwise aHandle is 0 and nothing stays open.
tZR_MutexResult AcquireNamedMutex(const Text& aName, std::intptr_t& aHandle);
// Releases the mutex; the handle stays open (so the name stays reserved for this process's use).
void ReleaseNamedMutex(std::intptr_t aHandle);
