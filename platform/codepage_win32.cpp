#include "platform/codepage.h"

#include "qvcomm/com_types.h"

namespace qv::platform {

std::string WideToAnsi(std::u16string_view w) {
    if (w.empty()) return {};
    const auto* src = reinterpret_cast<const wchar_t*>(w.data());
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, static_cast<int>(w.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, src, static_cast<int>(w.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::u16string AnsiToWide(std::string_view a) {
    if (a.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()), nullptr, 0);
    if (n <= 0) return {};
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, a.data(), static_cast<int>(a.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

}  // namespace qv::platform
