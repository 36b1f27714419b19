// The blob text form: base64 with the standard alphabet and "=" padding, no line breaks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qv::db {

std::string Base64Encode(const unsigned char* data, size_t size);

// Decodes the characters before the first "=" (c of them) and the run of "=" after them (p):
// (c + p) / 4 groups give 3 bytes each, less p. Characters after that run are not read; a
// character outside the alphabet counts as 0.
std::vector<unsigned char> Base64Decode(const std::string& text);

}  // namespace qv::db
