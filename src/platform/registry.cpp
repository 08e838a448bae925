#include "platform/registry.h"

#include "platform/filedescriptor.h"
#include "platform/filereplacement.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

constexpr std::string_view kHeader = "Ravelind Registry 1";
constexpr char kSeparator = '\\';
// The settings file, its lock and every export file: they may hold passwords.
constexpr mode_t kFileMode = 0600;
// A settings or profile file is a few kilobytes; anything near this is not one of ours, and
// reading it whole would only cost memory.
constexpr std::uintmax_t kMaxKeyFileSize = 64u * 1024u * 1024u;

char foldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The Windows numbers for the errno values file operations give.
// A failed call that left errno at 0 is still a failure.
[[nodiscard]] ResultCode failureFromErrno(int e)
{
    return e == 0 ? kUnspecifiedFailure : fromErrno(e);
}

[[nodiscard]] ResultCode badPath()
{
    return fromWin32(err::BadPathname);
}
[[nodiscard]] ResultCode notFound()
{
    return fromWin32(err::FileNotFound);
}

// Splits "a\b\c" into its names; false when a name is invalid. The empty path has no names.
bool splitPath(std::string_view path, std::vector<std::string_view> &names)
{
    names.clear();
    if (path.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find(kSeparator, start);
        const std::string_view name =
            path.substr(start, end == std::string_view::npos ? path.npos : end - start);
        if (!isValidKeyName(name))
            return false;
        names.push_back(name);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

template<typename Key> Key *findChild(std::vector<Key> &keys, std::string_view name)
{
    for (auto &k : keys) {
        if (namesEqual(k.name, name))
            return &k;
    }
    return nullptr;
}

// Exclusive lock around a read-modify-write of the settings file, held for the object's
// life. flock() locks belong to the open file description, so two Registry objects in one
// process exclude each other just as two processes do.
class FileLock
{
public:
    [[nodiscard]] ResultCode acquire(const std::filesystem::path &lockFile)
    {
        m_fd.reset(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode));
        if (!m_fd.valid())
            return failureFromErrno(errno);
        while (::flock(m_fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                return failureFromErrno(errno);
        }
        return 0;
    }

private:
    FileDescriptor m_fd; // closing the descriptor releases the lock
};

[[nodiscard]] ResultCode readWholeFile(int fd, std::string &data)
{
    data.clear();
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failureFromErrno(errno);
        }
        if (n == 0)
            return 0;
        data.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string escape(std::string_view s)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() + 2);
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = foldCase(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void formatValue(std::string &out, const RegNamedValue &v)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    out += escape(v.name);
    out += "\"=";
    switch (v.value.type) {
    case RegType::String:
        out += '"';
        out += escape(v.value.text);
        out += '"';
        break;
    case RegType::Dword: {
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out += hex[(v.value.dword >> shift) & 0xFu];
        break;
    }
    case RegType::Binary: {
        out += "hex:";
        bool first = true;
        for (const std::uint8_t b : v.value.bytes) {
            if (!first)
                out += ',';
            first = false;
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
        break;
    }
    }
    out += '\n';
}

void formatKey(std::string &out, const std::string &parentPath, const RegKey &key)
{
    const std::string path = parentPath.empty() ? key.name : parentPath + kSeparator + key.name;
    out += "\n[";
    out += path;
    out += "]\n";
    for (const auto &v : key.values)
        formatValue(out, v);
    for (const auto &sub : key.subkeys)
        formatKey(out, path, sub);
}

// Reads a quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool parseQuoted(std::string_view s, std::size_t &pos, std::string &out, std::string &why)
{
    out.clear();
    ++pos;
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"')
            return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= s.size())
            break;
        const char e = s[pos++];
        switch (e) {
        case '\\':
        case '"':
            out += e;
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x': {
            const int hi = pos < s.size() ? hexDigit(s[pos]) : -1;
            const int lo = pos + 1 < s.size() ? hexDigit(s[pos + 1]) : -1;
            if (hi < 0 || lo < 0) {
                why = "bad \\x escape";
                return false;
            }
            out += static_cast<char>(hi * 16 + lo);
            pos += 2;
            break;
        }
        default:
            why = std::string("unknown escape \\") + e;
            return false;
        }
    }
    why = "text without closing quote";
    return false;
}

bool parseData(std::string_view s, RegValue &v, std::string &why)
{
    if (!s.empty() && s.front() == '"') {
        std::size_t pos = 0;
        std::string text;
        if (!parseQuoted(s, pos, text, why))
            return false;
        if (pos != s.size()) {
            why = "text after the closing quote";
            return false;
        }
        v = RegValue::ofString(std::move(text));
        return true;
    }
    if (s.starts_with("dword:")) {
        s.remove_prefix(6);
        if (s.empty() || s.size() > 8) {
            why = "a dword needs 1 to 8 hex digits";
            return false;
        }
        std::uint32_t d = 0;
        for (const char c : s) {
            const int h = hexDigit(c);
            if (h < 0) {
                why = "a dword needs 1 to 8 hex digits";
                return false;
            }
            d = d * 16 + static_cast<std::uint32_t>(h);
        }
        v = RegValue::ofDword(d);
        return true;
    }
    if (s.starts_with("hex:")) {
        s.remove_prefix(4);
        std::vector<std::uint8_t> bytes;
        while (!s.empty()) {
            const int hi = hexDigit(s[0]);
            const int lo = s.size() > 1 ? hexDigit(s[1]) : -1;
            if (hi < 0 || lo < 0 || (s.size() > 2 && s[2] != ',') || s.size() == 3) {
                why = "binary data must be hex byte pairs separated by commas";
                return false;
            }
            bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            s.remove_prefix(std::min<std::size_t>(s.size(), 3));
        }
        v = RegValue::ofBinary(std::move(bytes));
        return true;
    }
    why = "unknown value type";
    return false;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The parser behind parse() and readKeyFile(); `sections` receives each section's path as
// the tree spells it, in file order.
[[nodiscard]] ResultCode parseText(std::string_view text, RegKey &root, std::string &why,
                                   std::vector<std::string> *sections)
{
    root = RegKey{};
    RegKey *current = nullptr;
    bool headerSeen = false;
    std::size_t lineNo = 0;
    auto fail = [&](const std::string &reason) {
        why = "line " + std::to_string(lineNo) + ": " + reason;
        root = RegKey{};
        return fromWin32(err::RegistryCorrupt);
    };
    while (!text.empty()) {
        ++lineNo;
        const std::size_t nl = text.find('\n');
        const std::string_view line = trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (!headerSeen) {
            if (line != kHeader)
                return fail("not a Ravelind registry file (first line must be \"" +
                            std::string(kHeader) + "\")");
            headerSeen = true;
            continue;
        }
        if (line.front() == '[') {
            if (line.size() < 3 || line.back() != ']')
                return fail("bad key line");
            const std::string_view path = line.substr(1, line.size() - 2);
            current = root.ensure(path);
            if (!current)
                return fail("invalid key path");
            if (sections) {
                // The tree's spelling: a section may name an existing key in another case.
                std::vector<std::string_view> names;
                splitPath(path, names);
                std::string spelled;
                const RegKey *k = &root;
                for (const auto name : names) {
                    k = k->find(name);
                    spelled += (spelled.empty() ? "" : "\\") + k->name;
                }
                sections->push_back(std::move(spelled));
            }
            continue;
        }
        if (line.front() == '"') {
            if (!current)
                return fail("value outside a key");
            std::size_t pos = 0;
            std::string name;
            std::string reason;
            if (!parseQuoted(line, pos, name, reason))
                return fail(reason);
            // Blanks around "=" are allowed for hand-written files.
            std::string_view rest = trim(line.substr(pos));
            if (rest.empty() || rest.front() != '=')
                return fail("\"=\" expected after the value name");
            RegValue v;
            if (!parseData(trim(rest.substr(1)), v, reason))
                return fail(reason);
            current->setValue(name, std::move(v));
            continue;
        }
        return fail("unexpected text");
    }
    why.clear();
    return 0;
}

template<typename Stamp> Stamp stampFrom(const struct stat &st)
{
    Stamp s;
    s.exists = true;
    s.dev = static_cast<std::uint64_t>(st.st_dev);
    s.ino = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

std::filesystem::path homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buffer(16384);
    passwd pw{};
    passwd *result = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result &&
        result->pw_dir && *result->pw_dir)
        return result->pw_dir;
    return ".";
}

std::string utcStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &tm);
    return buffer;
}

} // namespace

bool isValidKeyName(std::string_view name)
{
    if (name.empty())
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == kSeparator || u < 0x20 || u == 0x7F;
    });
}

bool namesEqual(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return foldCase(x) == foldCase(y);
           });
}

RegValue RegValue::ofString(std::string s)
{
    RegValue v;
    v.type = RegType::String;
    v.text = std::move(s);
    return v;
}

RegValue RegValue::ofDword(std::uint32_t d)
{
    RegValue v;
    v.type = RegType::Dword;
    v.dword = d;
    return v;
}

RegValue RegValue::ofBinary(std::vector<std::uint8_t> b)
{
    RegValue v;
    v.type = RegType::Binary;
    v.bytes = std::move(b);
    return v;
}

const RegKey *RegKey::find(std::string_view path) const
{
    return const_cast<RegKey *>(this)->find(path);
}

RegKey *RegKey::find(std::string_view path)
{
    std::vector<std::string_view> names;
    if (!splitPath(path, names))
        return nullptr;
    RegKey *key = this;
    for (const auto part : names) {
        key = findChild(key->subkeys, part);
        if (!key)
            return nullptr;
    }
    return key;
}

const RegNamedValue *RegKey::value(std::string_view valueName) const
{
    for (const auto &v : values) {
        if (namesEqual(v.name, valueName))
            return &v;
    }
    return nullptr;
}

RegKey *RegKey::ensure(std::string_view path)
{
    std::vector<std::string_view> names;
    if (!splitPath(path, names))
        return nullptr;
    RegKey *key = this;
    for (const auto part : names) {
        RegKey *child = findChild(key->subkeys, part);
        if (!child) {
            key->subkeys.push_back(RegKey{std::string(part), {}, {}});
            child = &key->subkeys.back();
        }
        key = child;
    }
    return key;
}

void RegKey::setValue(std::string_view valueName, RegValue v)
{
    for (auto &existing : values) {
        if (namesEqual(existing.name, valueName)) {
            existing.value = std::move(v);
            return;
        }
    }
    values.push_back(RegNamedValue{std::string(valueName), std::move(v)});
}

bool RegKey::removeValue(std::string_view valueName)
{
    const auto it = std::find_if(values.begin(), values.end(), [&](const RegNamedValue &v) {
        return namesEqual(v.name, valueName);
    });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

bool RegKey::removeSubkey(std::string_view keyName)
{
    const auto it = std::find_if(subkeys.begin(), subkeys.end(),
                                 [&](const RegKey &k) { return namesEqual(k.name, keyName); });
    if (it == subkeys.end())
        return false;
    subkeys.erase(it);
    return true;
}

std::filesystem::path Registry::defaultFile()
{
    if (const char *dir = std::getenv("RAVELIND_CONFIG_DIR"); dir && *dir)
        return std::filesystem::path(dir) / "registry.reg";
    std::filesystem::path base;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else {
        base = homeFolder() / ".config";
    }
    return base / "Quellvane" / "Ravelind" / "registry.reg";
}

Registry::Registry(std::filesystem::path file)
    : m_file(std::move(file))
{
}

Registry::~Registry() = default;

std::optional<RegistryNotice> Registry::takeNotice()
{
    return std::exchange(m_notice, std::nullopt);
}

// Reads the file when it changed since the last read. A file that does not parse is looked
// at again under the lock before it is set aside: a writer may have been replacing it.
ResultCode Registry::refresh()
{
    struct stat st = {};
    if (::stat(m_file.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return failureFromErrno(errno);
        if (!m_loaded || m_stamp.exists) {
            m_root = RegKey{};
            m_stamp = Stamp{};
            m_loaded = true;
        }
        return 0;
    }
    if (m_loaded && stampFrom<Stamp>(st) == m_stamp)
        return 0;

    FileDescriptor fd(::open(m_file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) { // replaced and gone between stat and open: read it again
            m_loaded = false;
            return refresh();
        }
        return failureFromErrno(errno);
    }
    std::string text;
    if (const ResultCode rc = readWholeFile(fd.get(), text); rc != 0)
        return rc;
    if (::fstat(fd.get(), &st) != 0)
        return failureFromErrno(errno);
    RegKey root;
    std::string why;
    if (parseText(text, root, why, nullptr) == 0) {
        m_root = std::move(root);
        m_stamp = stampFrom<Stamp>(st);
        m_loaded = true;
        return 0;
    }
    FileLock lock;
    if (const ResultCode rc = lock.acquire(m_file.string() + ".lock"); rc != 0)
        return rc;
    return loadLocked();
}

// Reads the file afresh; the caller holds the lock. A file that does not parse is renamed
// aside and the store continues empty.
ResultCode Registry::loadLocked()
{
    FileDescriptor fd(::open(m_file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno != ENOENT)
            return failureFromErrno(errno);
        m_root = RegKey{};
        m_stamp = Stamp{};
        m_loaded = true;
        return 0;
    }
    std::string text;
    if (const ResultCode rc = readWholeFile(fd.get(), text); rc != 0)
        return rc;
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0)
        return failureFromErrno(errno);
    RegKey root;
    std::string why;
    const bool parsed = parseText(text, root, why, nullptr) == 0;
    if (parsed) {
        m_root = std::move(root);
        m_stamp = stampFrom<Stamp>(st);
        m_loaded = true;
        return 0;
    }

    // Keep the damaged file under a name nothing else writes to; a second damaged file in
    // the same second gets a counter.
    const std::string base = m_file.string() + ".bad-" + utcStamp();
    std::filesystem::path aside = base;
    std::error_code ec;
    for (int n = 1; std::filesystem::exists(aside, ec) && n < 1000; ++n)
        aside = base + "-" + std::to_string(n);
    if (::rename(m_file.c_str(), aside.c_str()) != 0)
        return failureFromErrno(errno);
    syncFolder(m_file.parent_path());
    m_notice = RegistryNotice{aside, why};
    m_root = RegKey{};
    m_stamp = Stamp{};
    m_loaded = true;
    return 0;
}

ResultCode Registry::commit(const RegKey &root)
{
    struct stat st = {};
    // A settings file kept elsewhere and linked here stays a link: the file it points to is
    // the one replaced.
    std::filesystem::path target = m_file;
    std::error_code ec;
    if (std::filesystem::is_symlink(m_file, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(m_file, ec);
        if (!ec)
            target = resolved;
    }
    if (const ResultCode rc = replaceFile(target, format(root), kFileMode, &st); rc != 0)
        return rc;
    m_stamp = stampFrom<Stamp>(st);
    m_loaded = true;
    return 0;
}

ResultCode Registry::update(const std::function<ResultCode(RegKey &root)> &change)
{
    const std::filesystem::path folder = m_file.parent_path();
    std::error_code ec;
    if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec)
            return failureFromErrno(ec.value());
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, ec);
    }
    FileLock lock;
    if (const ResultCode rc = lock.acquire(m_file.string() + ".lock"); rc != 0)
        return rc;
    // Always read afresh under the lock: a change stamp can repeat within one clock tick,
    // and a change built on a stale copy would undo another process's change.
    if (const ResultCode rc = loadLocked(); rc != 0)
        return rc;
    RegKey changed = m_root;
    if (const ResultCode rc = change(changed); rc != 0)
        return rc;
    if (const ResultCode rc = commit(changed); rc != 0)
        return rc;
    m_root = std::move(changed);
    return 0;
}

bool Registry::keyExists(std::string_view keyPath)
{
    return refresh() == 0 && m_root.find(keyPath) != nullptr;
}

ResultCode Registry::subkeyNames(std::string_view keyPath, std::vector<std::string> &names)
{
    names.clear();
    if (const ResultCode rc = refresh(); rc != 0)
        return rc;
    const RegKey *key = m_root.find(keyPath);
    if (!key)
        return notFound();
    for (const auto &k : key->subkeys)
        names.push_back(k.name);
    return 0;
}

ResultCode Registry::valueNames(std::string_view keyPath, std::vector<std::string> &names)
{
    names.clear();
    if (const ResultCode rc = refresh(); rc != 0)
        return rc;
    const RegKey *key = m_root.find(keyPath);
    if (!key)
        return notFound();
    for (const auto &v : key->values)
        names.push_back(v.name);
    return 0;
}

ResultCode Registry::readKey(std::string_view keyPath, RegKey &key)
{
    if (const ResultCode rc = refresh(); rc != 0)
        return rc;
    const RegKey *found = m_root.find(keyPath);
    if (!found)
        return notFound();
    key = *found;
    return 0;
}

ResultCode Registry::readValue(std::string_view keyPath, std::string_view name, RegValue &v)
{
    if (const ResultCode rc = refresh(); rc != 0)
        return rc;
    const RegKey *key = m_root.find(keyPath);
    if (!key)
        return notFound();
    const RegNamedValue *found = key->value(name);
    if (!found)
        return notFound();
    v = found->value;
    return 0;
}

namespace {
template<typename T, typename Get>
[[nodiscard]] ResultCode readTyped(Registry &reg, std::string_view keyPath, std::string_view name,
                                   RegType type, T &out, Get get)
{
    RegValue v;
    if (const ResultCode rc = reg.readValue(keyPath, name, v); rc != 0)
        return rc;
    if (v.type != type)
        return fromWin32(err::DatatypeMismatch);
    out = get(std::move(v));
    return 0;
}
} // namespace

ResultCode Registry::readString(std::string_view keyPath, std::string_view name, std::string &s)
{
    return readTyped(*this, keyPath, name, RegType::String, s,
                     [](RegValue v) { return std::move(v.text); });
}

ResultCode Registry::readDword(std::string_view keyPath, std::string_view name, std::uint32_t &d)
{
    return readTyped(*this, keyPath, name, RegType::Dword, d, [](RegValue v) { return v.dword; });
}

ResultCode Registry::readBinary(std::string_view keyPath, std::string_view name,
                                std::vector<std::uint8_t> &b)
{
    return readTyped(*this, keyPath, name, RegType::Binary, b,
                     [](RegValue v) { return std::move(v.bytes); });
}

ResultCode Registry::createKey(std::string_view keyPath)
{
    if (keyPath.empty())
        return badPath();
    return update([&](RegKey &root) { return root.ensure(keyPath) ? 0 : badPath(); });
}

ResultCode Registry::writeValue(std::string_view keyPath, std::string_view name, RegValue v)
{
    std::vector<RegNamedValue> values;
    values.push_back(RegNamedValue{std::string(name), std::move(v)});
    return writeValues(keyPath, std::move(values));
}

ResultCode Registry::writeString(std::string_view keyPath, std::string_view name, std::string s)
{
    return writeValue(keyPath, name, RegValue::ofString(std::move(s)));
}

ResultCode Registry::writeDword(std::string_view keyPath, std::string_view name, std::uint32_t d)
{
    return writeValue(keyPath, name, RegValue::ofDword(d));
}

ResultCode Registry::writeBinary(std::string_view keyPath, std::string_view name,
                                 std::vector<std::uint8_t> b)
{
    return writeValue(keyPath, name, RegValue::ofBinary(std::move(b)));
}

ResultCode Registry::writeValues(std::string_view keyPath, std::vector<RegNamedValue> values)
{
    // Values on the root could not be written down: the format has no section for it.
    if (keyPath.empty())
        return badPath();
    return update([&](RegKey &root) {
        RegKey *key = root.ensure(keyPath);
        if (!key)
            return badPath();
        for (auto &v : values)
            key->setValue(v.name, v.value);
        return ResultCode{0};
    });
}

ResultCode Registry::deleteValue(std::string_view keyPath, std::string_view name)
{
    return update([&](RegKey &root) {
        RegKey *key = root.find(keyPath);
        if (!key || !key->removeValue(name))
            return notFound();
        return ResultCode{0};
    });
}

ResultCode Registry::deleteKey(std::string_view keyPath)
{
    std::vector<std::string_view> names;
    if (keyPath.empty() || !splitPath(keyPath, names))
        return badPath();
    const std::string_view parentPath =
        keyPath.substr(0, keyPath.size() - names.back().size() - (names.size() > 1 ? 1 : 0));
    return update([&](RegKey &root) {
        RegKey *parent = root.find(parentPath);
        if (!parent || !parent->removeSubkey(names.back()))
            return notFound();
        return ResultCode{0};
    });
}

ResultCode Registry::replaceKey(std::string_view keyPath, const RegKey &content)
{
    if (keyPath.empty())
        return badPath();
    return update([&](RegKey &root) {
        RegKey *key = root.ensure(keyPath);
        if (!key)
            return badPath();
        key->values = content.values;
        key->subkeys = content.subkeys;
        return ResultCode{0};
    });
}

ResultCode Registry::saveKey(std::string_view keyPath, const std::filesystem::path &target)
{
    std::vector<std::string_view> names;
    if (keyPath.empty() || !splitPath(keyPath, names))
        return badPath();
    if (const ResultCode rc = refresh(); rc != 0)
        return rc;
    // The parent path as stored, so the file spells every name as the tree does.
    std::string parentPath;
    const RegKey *key = &m_root;
    for (std::size_t i = 0; i < names.size(); ++i) {
        key = key->find(names[i]);
        if (!key)
            return notFound();
        if (i + 1 < names.size())
            parentPath += (parentPath.empty() ? "" : "\\") + key->name;
    }
    std::string text(kHeader);
    text += '\n';
    formatKey(text, parentPath, *key);
    return replaceFile(target, text, kFileMode);
}

ResultCode Registry::readKeyFile(const std::filesystem::path &source, RegKeyFile &file,
                                 std::string &why)
{
    file = RegKeyFile{};
    FileDescriptor fd(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        why = "the file cannot be opened";
        return failureFromErrno(errno);
    }
    struct stat st = {};
    if (::fstat(fd.get(), &st) != 0)
        return failureFromErrno(errno);
    if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > kMaxKeyFileSize) {
        why = "not a Ravelind registry file";
        return fromWin32(err::RegistryCorrupt);
    }
    std::string text;
    if (const ResultCode rc = readWholeFile(fd.get(), text); rc != 0) {
        why = "the file cannot be read";
        return rc;
    }
    RegKey root;
    std::vector<std::string> sections;
    if (const ResultCode rc = parseText(text, root, why, &sections); rc != 0)
        return rc;
    if (sections.empty()) {
        why = "the file holds no key";
        return fromWin32(err::RegistryCorrupt);
    }
    const std::string &top = sections.front();
    for (const auto &s : sections) {
        const bool below = s.size() > top.size() && s[top.size()] == kSeparator &&
                           namesEqual(std::string_view(s).substr(0, top.size()), top);
        if (!below && !namesEqual(s, top)) {
            why = "key [" + s + "] lies outside [" + top + "]";
            return fromWin32(err::RegistryCorrupt);
        }
    }
    file.keyPath = top;
    file.content = *root.find(top);
    return 0;
}

ResultCode Registry::restoreKey(std::string_view keyPath, const std::filesystem::path &source,
                                std::string &why)
{
    RegKeyFile file;
    if (const ResultCode rc = readKeyFile(source, file, why); rc != 0)
        return rc;
    return replaceKey(keyPath, file.content);
}

std::string Registry::format(const RegKey &root)
{
    std::string text(kHeader);
    text += '\n';
    for (const auto &k : root.subkeys)
        formatKey(text, {}, k);
    return text;
}

ResultCode Registry::parse(std::string_view text, RegKey &root, std::string &why)
{
    return parseText(text, root, why, nullptr);
}

} // namespace platform
