#pragma once

#include <string>
#include <string_view>

// Base64 with the standard alphabet of RFC 4648 section 4.
namespace server {

// One line, padded with "=", no line breaks.
std::string encodeBase64(std::string_view bytes);
// Appends the decoded bytes to out. Line breaks, blanks and tabs are skipped, as
// the client breaks its text into 76-character lines; "=" may only pad the last
// group. Returns false (out then undefined) for any other character or a dangling
// single character.
bool decodeBase64(std::string_view text, std::string &out);

} // namespace server
