#include "qvcommdb/parse_dword.h"

namespace qv::db {

uint32_t ParseDWord(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t' || t[i] == '\n' || t[i] == '\r')) ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    uint32_t v = 0;
    if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        for (i += 2; i < t.size(); ++i) {
            const char c = t[i];
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<uint32_t>(c - 'A' + 10);
            else
                break;
            v = v * 16u + d;
        }
    } else {
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
            v = v * 10u + static_cast<uint32_t>(t[i] - '0');
    }
    return negative ? 0u - v : v;
}

}  // namespace qv::db
