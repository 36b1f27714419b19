#include "platform/guid.h"

#include <cstdio>

namespace qv::platform {

std::string GuidToString(REFGUID g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), static_cast<unsigned>(g.Data2),
                  static_cast<unsigned>(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::optional<GUID> ParseGuid(std::string_view t) {
    if (t.size() == 38) {
        if (t.front() != '{' || t.back() != '}') return std::nullopt;
        t = t.substr(1, 36);
    }
    if (t.size() != 36) return std::nullopt;
    // Digit positions of the 32 hexadecimal digits; dashes at 8, 13, 18 and 23.
    uint8_t bytes[16] = {};
    int n = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (t[i] != '-') return std::nullopt;
            continue;
        }
        int v = HexValue(t[i]);
        if (v < 0) return std::nullopt;
        bytes[n / 2] = static_cast<uint8_t>(bytes[n / 2] << 4 | v);
        ++n;
    }
    GUID g{};
    g.Data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
              static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    g.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    g.Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
    return g;
}

}  // namespace qv::platform
