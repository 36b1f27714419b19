// Type libraries of COM servers: registration, identity and the system's removal routine.
//
// Windows: the library is the module's TYPELIB 1 resource, registered with RegisterTypeLib and
// removed by oleaut32's UnRegisterTypeLib. POSIX: the library is described by the module itself
// (`TypeLibraryInfo`); registration writes the keys that RegisterTypeLib writes on Windows into
// the classes root, and the removal routine "UnRegisterTypeLib" is exported by the module that
// contains this layer, so that callers look it up the same way on every system.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"
#include "qvcomm/com_types.h"

namespace qv::platform {

struct TypeLibraryInfo {
    GUID libid;
    uint16_t major;
    uint16_t minor;
    uint32_t lcid;
    int syskind;          // 1: 32-bit Windows
    std::string help;     // the library's help string
};

// Registers the type library of the module file; `help_dir` is recorded with it.
HRESULT RegisterTypeLibrary(const std::string& module_path, const std::string& help_dir, const TypeLibraryInfo& info);

// The identity of the module's type library as the system reads it from the module.
bool ReadTypeLibraryIdentity(const std::string& module_path, const TypeLibraryInfo& described, TypeLibraryInfo* identity);

// Loads the library that holds "UnRegisterTypeLib" ("oleaut32.dll" on Windows).
ModuleHandle OpenTypeLibraryRemovalModule();

using UnRegisterTypeLibRoutine = HRESULT(STDAPICALLTYPE*)(REFGUID libid, uint16_t major, uint16_t minor,
                                                          uint32_t lcid, int syskind);

}  // namespace qv::platform
