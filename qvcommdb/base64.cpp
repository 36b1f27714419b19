#include "qvcommdb/base64.h"

namespace qv::db {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

unsigned SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;  // "=" and anything outside the alphabet
}
}  // namespace

std::string Base64Encode(const unsigned char* data, size_t size) {
    std::string out;
    if (size == 0 || !data) return out;
    out.reserve((size + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = static_cast<unsigned>(data[i]) << 16 | static_cast<unsigned>(data[i + 1]) << 8 | data[i + 2];
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(kAlphabet[v >> 6 & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    if (const size_t rest = size - i) {
        unsigned v = static_cast<unsigned>(data[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned>(data[i + 1]) << 8;
        out.push_back(kAlphabet[v >> 18 & 63]);
        out.push_back(kAlphabet[v >> 12 & 63]);
        out.push_back(rest == 2 ? kAlphabet[v >> 6 & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::vector<unsigned char> Base64Decode(const std::string& text) {
    std::vector<unsigned char> out;
    size_t c = text.find('=');
    if (c == std::string::npos) c = text.size();
    size_t p = 0;
    while (c + p < text.size() && text[c + p] == '=') ++p;
    const size_t groups = (c + p) / 4;
    // 3 bytes a group, less one for every "=": the last group gives 3 - p bytes. A longer run
    // of "=" than a group can hold cuts into the groups before it, down to nothing.
    const size_t total = groups * 3 > p ? groups * 3 - p : 0;
    out.reserve(groups * 3);
    for (size_t g = 0; g < groups; ++g) {
        unsigned v = 0;
        for (size_t k = 0; k < 4; ++k) v = v << 6 | SextetOf(text[g * 4 + k]);
        out.push_back(static_cast<unsigned char>(v >> 16));
        out.push_back(static_cast<unsigned char>(v >> 8));
        out.push_back(static_cast<unsigned char>(v));
    }
    out.resize(total);
    return out;
}

}  // namespace qv::db
