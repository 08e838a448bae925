#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Small text rules of the wire form: XML escaping, names, paths, numbers, dates.
namespace server {

// Appends text with &, <, > and " replaced by entity references. A character that
// XML cannot carry at all (a control character other than tab, LF and CR, U+FFFE,
// U+FFFF) becomes U+FFFD, so an answer is always well-formed XML.
void appendEscaped(std::string &out, std::string_view text);
// Finds, in valid UTF-8 XML text, the first character or character reference that
// XML does not allow (NUL and the other control characters but tab, LF and CR,
// U+FFFE, U+FFFF, beyond U+10FFFF); returns its code point, or -1 when there is none.
long firstForbiddenCharacter(std::string_view xml);
bool isValidUtf8(std::string_view text);
// A name of a folder or file: 1 to 255 characters, no "\", "/", control character,
// not "." or "..".
bool isValidName(std::string_view name);
// The form in which names are compared: every character of the Basic Multilingual
// Plane upper-cased one for one, as Windows servers compare names; the stored name
// keeps the case it was given. Works on whole paths too ("\" stays).
std::string nameKey(std::string_view name);
bool sameName(std::string_view a, std::string_view b);
// True when text holds no control character other than tab, CR and LF.
bool isPrintableText(std::string_view text);
// The names of a server path; "\" separates them, empty names are skipped, so
// "", "\" and "\\" all name the root.
std::vector<std::string> splitServerPath(std::string_view path);
std::string joinServerPath(const std::vector<std::string> &names);
// "true"/"false" (any case) and "1"/"0", as XML Schema booleans allow.
bool parseBool(std::string_view text, bool &value);
// A decimal integer with an optional sign and nothing else.
bool parseInt(std::string_view text, std::int64_t &value);
// "yyyy/MM/dd HH:mm:ss" in local time.
std::string formatWireTime(std::time_t time);
// Accepts six numbers as the client reads them ("%d/%d/%d %d:%d:%d") when they form
// a real date and time, and writes them back in the canonical form.
bool normalizeWireTime(std::string_view text, std::string &canonical);

} // namespace server
