// UTF-8 and UTF-16, whatever the system's narrow code page: for texts that cross a line or a file
// whose encoding is fixed. An unpaired surrogate and every byte of a malformed UTF-8 sequence
// become "?".
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace qv::platform
