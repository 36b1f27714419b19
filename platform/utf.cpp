#include "platform/utf.h"

namespace qv::platform {

std::string Utf16ToUtf8(std::u16string_view w) {
    std::string out;
    out.reserve(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        uint32_t c = w[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 &&
            w[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00u);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back('?');
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view a) {
    std::u16string out;
    out.reserve(a.size());
    const auto* p = reinterpret_cast<const unsigned char*>(a.data());
    const size_t n = a.size();
    size_t i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<char16_t>(c));
            ++i;
            continue;
        }
        int extra;
        uint32_t cp, min;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            out.push_back(u'?');
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < n;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if ((p[i + k] & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = cp << 6 | (p[i + k] & 0x3F);
            }
        }
        if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'?');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace qv::platform
