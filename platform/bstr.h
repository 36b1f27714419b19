// Owned BSTRs and the conversions between BSTRs and narrow text in the ANSI code page.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "qvcomm/com_types.h"

namespace qv::platform {

// Owns one BSTR and frees it with SysFreeString.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(BSTR adopted) : s_(adopted) {}
    // Allocates a BSTR holding the narrow text converted from the ANSI code page.
    static Bstr FromAnsi(std::string_view text);
    static Bstr FromWide(std::u16string_view text);
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) Reset(std::exchange(o.s_, nullptr));
        return *this;
    }
    ~Bstr() { Reset(); }

    BSTR get() const { return s_; }
    // Frees the current string; the address is then ready to receive an out-parameter.
    BSTR* out() {
        Reset();
        return &s_;
    }
    BSTR release() { return std::exchange(s_, nullptr); }
    void Reset(BSTR s = nullptr) {
        if (s_) SysFreeString(s_);
        s_ = s;
    }
    UINT length() const { return s_ ? SysStringLen(s_) : 0; }
    std::string ToAnsi() const;

private:
    BSTR s_ = nullptr;
};

// Narrow text (ANSI code page) of a BSTR taken in by an interface method. A null BSTR is the
// empty text; the text ends at the first zero character, as a C string would.
std::string BstrToAnsi(const OLECHAR* s);

// A new BSTR holding the text converted from the ANSI code page, or null when out of memory.
BSTR AnsiToBstr(std::string_view text);

}  // namespace qv::platform
