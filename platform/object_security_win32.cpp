#include "platform/object_security.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

bool HasGlobalNamespace() {
    // Every Windows since terminal services came into the system has the global namespace.
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&v)) return true;
#pragma GCC diagnostic pop
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5;
}

const SharedObjectSecurity* GetSharedObjectSecurity() {
    // A descriptor with a null access list: every user may open the objects.
    static SECURITY_DESCRIPTOR descriptor;
    static SECURITY_ATTRIBUTES attributes;
    static SharedObjectSecurity security = [] {
        SharedObjectSecurity s{nullptr, 0};
        if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
            attributes.nLength = sizeof attributes;
            attributes.lpSecurityDescriptor = &descriptor;
            attributes.bInheritHandle = FALSE;
            s.attributes = &attributes;
        }
        return s;
    }();
    return &security;
}

}  // namespace qv::platform
