#include "platform/bstr.h"

#include "platform/codepage.h"

namespace qv::platform {

namespace {
size_t WideLength(const OLECHAR* s) {
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}
}  // namespace

std::string BstrToAnsi(const OLECHAR* s) {
    if (!s) return {};
    return WideToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(s), WideLength(s)));
}

BSTR AnsiToBstr(std::string_view text) {
    std::u16string w = AnsiToWide(text);
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(w.data()), static_cast<UINT>(w.size()));
}

Bstr Bstr::FromAnsi(std::string_view text) { return Bstr(AnsiToBstr(text)); }

Bstr Bstr::FromWide(std::u16string_view text) {
    return Bstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                  static_cast<UINT>(text.size())));
}

std::string Bstr::ToAnsi() const { return BstrToAnsi(s_); }

}  // namespace qv::platform
