// Conversion between narrow text in the system ANSI code page and UTF-16.
//
// Windows: the code page is CP_ACP; a character the page lacks becomes the page's default
// character, never a look-alike. POSIX: the narrow encoding is UTF-8; an unpaired surrogate
// becomes "?" and so does every byte of a malformed UTF-8 sequence.
#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

std::string WideToAnsi(std::u16string_view wide);
std::u16string AnsiToWide(std::string_view ansi);

}  // namespace qv::platform
