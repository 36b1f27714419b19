// GUID text forms: parsing and the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "qvcomm/com_types.h"

namespace qv::platform {

// The 38-character form that StringFromCLSID produces: upper-case hexadecimal in braces.
std::string GuidToString(REFGUID guid);

// Reads a GUID written with or without braces, in either case. Anything else gives nothing.
std::optional<GUID> ParseGuid(std::string_view text);

}  // namespace qv::platform
