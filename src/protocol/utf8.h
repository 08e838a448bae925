#pragma once

// Texts are UTF-8 throughout; what reaches the wire is checked here once.

#include <cstdint>
#include <string_view>

namespace protocol {

// True for well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates or
// code points above U+10FFFF.
bool isValidUtf8(std::string_view text);

// A decimal integer read like the C library's atoi: leading blanks, an optional sign, then
// digits up to the first other character; 0 when there are none. Values beyond 64 bits
// saturate instead of wrapping.
std::int64_t parseDecimal(std::string_view text);

} // namespace protocol
