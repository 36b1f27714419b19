// What DllRegisterServer and DllUnregisterServer do: the registry entries of DBManager and the
// registration of the type library.
#pragma once

#include <string>

#include "platform/type_library.h"
#include "qvcomm/com_types.h"

namespace qv::db {

// The type library: QVCOMMDBLib 1.0, neutral locale, 32-bit Windows.
const platform::TypeLibraryInfo& TypeLibrary();
// The library's description as embedded in the module (its IDL text).
const char* TypeLibraryDescription();

inline constexpr char kProgId[] = "QVCommDB.DBManager.1";
inline constexpr char kVersionIndependentProgId[] = "QVCommDB.DBManager";
inline constexpr char kClassHelp[] = "DBManager Class";

// Writes the class's entries with `module_path` as its server, then registers the type
// library. The first failure is returned, else the type library registration's result.
HRESULT RegisterServer(const std::string& module_path);
// Removes the two ProgID keys and the class key with everything below them, then the type
// library's registration. S_OK in every case.
HRESULT UnregisterServer(const std::string& module_path);

}  // namespace qv::db
