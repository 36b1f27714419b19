// Named kernel objects shared by the processes of a machine: a mutex and a shared block.
//
// Both behave as the Win32 objects do on every backend:
// - a mutex belongs to the thread that obtained it, is recursive for that thread, waits with a
//   time-out, and when its owner dies it is abandoned: the next waiter obtains it, told so;
// - a shared block is created zero-filled, its creator is told that it did not exist before,
//   and it disappears when the last process that has it open closes it (or dies).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/object_security.h"

namespace qv::platform {

// Win32 error codes reported by the backends.
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorNotOwner = 288;

class NamedMutex {
public:
    enum class WaitResult { kObtained, kAbandoned, kTimeout, kFailed };

    // Creates the mutex or opens the existing one. When `initial_owner` is set and the mutex
    // did not exist, the caller owns it on return. Null on failure, with the error code.
    static std::unique_ptr<NamedMutex> CreateOrOpen(const std::string& name, const SharedObjectSecurity* security,
                                                    bool initial_owner, bool* created, uint32_t* error);
    virtual ~NamedMutex() = default;

    virtual WaitResult Wait(uint32_t timeout_ms) = 0;
    // False when the calling thread does not own the mutex.
    virtual bool Release() = 0;
};

class SharedBlock {
public:
    // Creates the block (zero-filled) or opens the existing one, mapped for reading and writing.
    static std::unique_ptr<SharedBlock> CreateOrOpen(const std::string& name, size_t size,
                                                     const SharedObjectSecurity* security, bool* existed,
                                                     uint32_t* error);
    virtual ~SharedBlock() = default;
    virtual void* data() = 0;
    virtual size_t size() const = 0;
};

}  // namespace qv::platform
