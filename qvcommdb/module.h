// Module-wide state of the database library: the count that decides whether it may be
// unloaded, and the guard that keeps exceptions inside COM methods.
#pragma once

#include "qvcomm/com_types.h"

namespace qv::db {

// One for every live object of the four database classes, every outstanding LockServer(TRUE)
// and every client reference to the class object.
void ModuleAddRef();
void ModuleRelease();
LONG ModuleObjectCount();

// Counts one live object for as long as it exists.
struct ModuleObjectToken {
    ModuleObjectToken() { ModuleAddRef(); }
    ModuleObjectToken(const ModuleObjectToken&) = delete;
    ModuleObjectToken& operator=(const ModuleObjectToken&) = delete;
    ~ModuleObjectToken() { ModuleRelease(); }
};

// Runs the body of a COM method: any exception becomes a failure code and goes no further.
template <class F>
HRESULT ComGuard(F&& body, HRESULT on_failure = E_FAIL) noexcept {
    try {
        return body();
    } catch (...) {
        return on_failure;
    }
}

}  // namespace qv::db
