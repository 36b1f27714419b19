#include "platform/codepage.h"

#include "platform/utf.h"

namespace qv::platform {

// The narrow encoding of this system is UTF-8.
std::string WideToAnsi(std::u16string_view wide) { return Utf16ToUtf8(wide); }
std::u16string AnsiToWide(std::string_view ansi) { return Utf8ToUtf16(ansi); }

}  // namespace qv::platform
