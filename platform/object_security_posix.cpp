#include "platform/object_security.h"

namespace qv::platform {

// Named objects of this system live in one machine-wide namespace already.
bool HasGlobalNamespace() { return true; }

const SharedObjectSecurity* GetSharedObjectSecurity() {
    static const SharedObjectSecurity security{nullptr, 0666};
    return &security;
}

}  // namespace qv::platform
