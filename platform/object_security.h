// Access rules for named kernel objects that processes of other users and sessions must open.
#pragma once

namespace qv::platform {

// Whether object names may carry the "Global\\" prefix (a machine-wide namespace).
bool HasGlobalNamespace();

// What the backend hands to the creation of a named object: on Windows a SECURITY_ATTRIBUTES
// pointer (a descriptor that lets every user open the object), on POSIX the permission bits
// of the object, open to every user.
struct SharedObjectSecurity {
    void* attributes;  // Windows: SECURITY_ATTRIBUTES*; POSIX: null
    unsigned mode;     // POSIX permission bits
};
const SharedObjectSecurity* GetSharedObjectSecurity();

}  // namespace qv::platform
