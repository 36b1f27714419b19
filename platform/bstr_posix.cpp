// OLE Automation strings for POSIX, with the Win32 layout: a 32-bit byte length, then the
// 16-bit characters, then a 16-bit zero. The BSTR points at the first character.
#include <cstdlib>
#include <cstring>

#include "qvcomm/com_types.h"

namespace {
constexpr size_t kMaxChars = 0x7FFFFFF0u / sizeof(OLECHAR);

BSTR Allocate(UINT chars) {
    if (chars > kMaxChars) return nullptr;
    const size_t bytes = sizeof(uint32_t) + (static_cast<size_t>(chars) + 1) * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!block) return nullptr;
    const uint32_t byte_len = chars * static_cast<uint32_t>(sizeof(OLECHAR));
    std::memcpy(block, &byte_len, sizeof byte_len);
    auto* s = reinterpret_cast<OLECHAR*>(block + sizeof(uint32_t));
    s[chars] = 0;
    return s;
}
}  // namespace

extern "C" {

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    UINT n = 0;
    while (psz[n] != 0) ++n;
    return SysAllocStringLen(psz, n);
}

BSTR SysAllocStringLen(const OLECHAR* str, UINT chars) {
    BSTR s = Allocate(chars);
    if (!s) return nullptr;
    if (str)
        std::memcpy(s, str, static_cast<size_t>(chars) * sizeof(OLECHAR));
    else
        std::memset(s, 0, static_cast<size_t>(chars) * sizeof(OLECHAR));
    return s;
}

UINT SysStringByteLen(BSTR s) {
    if (!s) return 0;
    uint32_t byte_len;
    std::memcpy(&byte_len, reinterpret_cast<unsigned char*>(s) - sizeof(uint32_t), sizeof byte_len);
    return byte_len;
}

UINT SysStringLen(BSTR s) { return SysStringByteLen(s) / sizeof(OLECHAR); }

void SysFreeString(BSTR s) {
    if (s) std::free(reinterpret_cast<unsigned char*>(s) - sizeof(uint32_t));
}
}
