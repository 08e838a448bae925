#include "wiretext.h"

#include "serverconstants.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cwctype>
#include <locale.h>

namespace server {

static bool isXmlChar(std::uint32_t cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
           (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

void appendEscaped(std::string &out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            out += kReplacement;
            continue;
        }
        // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
        if (u == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
            out += kReplacement;
            i += 2;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\r':
            // A raw CR would be turned into LF by the reader's end-of-line handling.
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
}

// Returns the length of the UTF-8 sequence at text[i], or 0 when it is not valid.
static std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong =
        (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

// Decodes the UTF-8 sequence at text[i] (already known valid) into cp.
static std::size_t decodeAt(std::string_view text, std::size_t i, std::uint32_t &cp)
{
    const std::size_t length = utf8SequenceLength(text, i);
    if (length == 0) {
        cp = static_cast<unsigned char>(text[i]);
        return 1;
    }
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    cp = static_cast<unsigned char>(text[i]) & kLeadMask[length];
    for (std::size_t k = 1; k < length; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return length;
}

static void appendUtf8(std::string &out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The C.UTF-8 locale's case table, independent of the process locale; null where
// the C library has none, and then only ASCII letters are folded.
static locale_t caseLocale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

long firstForbiddenCharacter(std::string_view xml)
{
    for (std::size_t i = 0; i < xml.size();) {
        const auto u = static_cast<unsigned char>(xml[i]);
        if (u < 0x80) {
            if (!isXmlChar(u))
                return u;
            if (xml[i] == '&' && i + 1 < xml.size() && xml[i + 1] == '#') {
                // A character reference: &#digits; or &#xhex;
                std::size_t at = i + 2;
                const bool hex = at < xml.size() && (xml[at] == 'x' || xml[at] == 'X');
                at += hex ? 1 : 0;
                std::uint64_t cp = 0;
                std::size_t digits = 0;
                for (; at < xml.size() && xml[at] != ';'; ++at, ++digits) {
                    const char d = xml[at];
                    int v = -1;
                    if (d >= '0' && d <= '9')
                        v = d - '0';
                    else if (hex && d >= 'a' && d <= 'f')
                        v = d - 'a' + 10;
                    else if (hex && d >= 'A' && d <= 'F')
                        v = d - 'A' + 10;
                    if (v < 0)
                        break;
                    cp = std::min<std::uint64_t>(cp * (hex ? 16 : 10) + static_cast<unsigned>(v),
                                                 0x7FFFFFFF);
                }
                // A malformed reference is the parser's to refuse.
                if (digits > 0 && at < xml.size() && xml[at] == ';' &&
                    !isXmlChar(static_cast<std::uint32_t>(cp)))
                    return static_cast<long>(cp);
            }
            ++i;
            continue;
        }
        std::uint32_t cp = 0;
        i += decodeAt(xml, i, cp);
        if (!isXmlChar(cp))
            return static_cast<long>(cp);
    }
    return -1;
}

std::string nameKey(std::string_view name)
{
    std::string key;
    key.reserve(name.size());
    const locale_t locale = caseLocale();
    for (std::size_t i = 0; i < name.size();) {
        std::uint32_t cp = 0;
        i += decodeAt(name, i, cp);
        if (cp >= 'a' && cp <= 'z') {
            cp -= 'a' - 'A';
        } else if (cp >= 0x80 && cp < 0x10000 && locale) {
            const auto upper =
                static_cast<std::uint32_t>(towupper_l(static_cast<wint_t>(cp), locale));
            // One for one within the plane, as the Windows table maps.
            if (upper < 0x10000 && upper >= 0x80)
                cp = upper;
        }
        appendUtf8(key, cp);
    }
    return key;
}

bool sameName(std::string_view a, std::string_view b)
{
    return nameKey(a) == nameKey(b);
}

static bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

bool isValidName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || !isValidUtf8(name))
        return false;
    std::size_t characters = 0;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (isControl(u) || c == '\\' || c == '/')
            return false;
        if ((u & 0xC0) != 0x80)
            ++characters;
    }
    return characters <= constants::kMaxNameCharacters;
}

bool isPrintableText(std::string_view text)
{
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (isControl(u) && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

std::vector<std::string> splitServerPath(std::string_view path)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start)
            names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string joinServerPath(const std::vector<std::string> &names)
{
    std::string path;
    for (const std::string &name : names) {
        if (!path.empty())
            path += '\\';
        path += name;
    }
    return path;
}

static std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

static std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool parseBool(std::string_view text, bool &value)
{
    const std::string lower = lowerAscii(trimmed(text));
    if (lower == "true" || lower == "1") {
        value = true;
        return true;
    }
    if (lower == "false" || lower == "0") {
        value = false;
        return true;
    }
    return false;
}

bool parseInt(std::string_view text, std::int64_t &value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string formatWireTime(std::time_t time)
{
    std::tm local{};
    localtime_r(&time, &local);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return buffer;
}

static bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool normalizeWireTime(std::string_view text, std::string &canonical)
{
    const std::string copy(trimmed(text));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%d/%d/%d %d:%d:%d%n", &year, &month, &day, &hour, &minute,
                    &second, &consumed) != 6 ||
        static_cast<std::size_t>(consumed) != copy.size()) {
        return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59) {
        return false;
    }
    const int monthDays = kDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
    if (day > monthDays)
        return false;
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    canonical = buffer;
    return true;
}

} // namespace server
