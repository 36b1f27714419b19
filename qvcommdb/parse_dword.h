// Text to a 32-bit number, for IDBValue::GetDWord.
//
// Leading blanks are skipped; then an optional sign, then either "0x" or "0X" and hexadecimal
// digits or decimal digits, read as far as they go. The value is taken modulo 2^32 and negated
// for a "-", so "-1" and "4294967295" both give 0xFFFFFFFF: every text SetDWord writes (the
// signed decimal form) reads back as the same 32 bits. A text without digits gives 0.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::db {

uint32_t ParseDWord(std::string_view text);

}  // namespace qv::db
