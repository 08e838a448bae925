#pragma once

// The per-user settings store: a tree of keys holding typed values, kept in one text file.
//
// Key paths are names joined by "\" ("Software\Quellvane\Ravelind\Servers\Local"), without a
// leading or trailing "\"; the empty path is the root above "Software". Names compare without
// regard to ASCII letter case and keep the case they were created with. Subkeys and values
// enumerate in the order they were created.
//
// Every change is one atomic, durable rewrite of the file (temporary file beside it, fsync,
// rename, fsync of the folder) made under an exclusive lock on "<file>.lock", after re-reading
// the file: two processes changing the same file never lose each other's changes. Reads pick up
// a file that another process changed since the last read. The file and every file saved with
// saveKey() are created with mode 0600: they may hold passwords.
//
// A file that cannot be parsed is never overwritten: it is renamed to
// "registry.reg.bad-<UTC time>", the store continues empty, and takeNotice() tells the caller
// once so the program can say so.
//
// Text format (UTF-8, one item a line, LF or CR LF):
//   Ravelind Registry 1                        first non-empty line, required
//   ; comment                                  ignored, as are empty lines
//   [Software\Quellvane\Ravelind\Servers\Local]
//   "Server"="host"                            REG_SZ
//   "Port"=dword:00001f90                      REG_DWORD, 1 to 8 hex digits
//   "ColMain"=hex:2c,01,00,00                  REG_BINARY, two hex digits a byte ("hex:" = empty)
// In quoted names and strings, "\\" is a backslash, "\"" a quote, "\n" a line feed, "\r" a
// carriage return and "\xHH" any other byte below 0x20 or 0x7F; other bytes stand as they are.
// A section creates its key and every missing key above it. A file of zero bytes is empty.
//
// Result codes are Windows-numbered (fromWin32): 2 missing key or value, 161 invalid name or
// path, 1629 value of another type, 1009 file that cannot be parsed, errno-mapped file errors.
// Not thread-safe: one Registry object belongs to one thread; other objects and processes
// on the same file are safe.

#include "platform/resultcode.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The Windows type numbers, kept so stored data and messages read as before.
enum class RegType : std::uint32_t { String = 1, Binary = 3, Dword = 4 };

struct RegValue
{
    RegType type = RegType::String;
    std::string text;                // String
    std::uint32_t dword = 0;         // Dword
    std::vector<std::uint8_t> bytes; // Binary

    static RegValue ofString(std::string s);
    static RegValue ofDword(std::uint32_t d);
    static RegValue ofBinary(std::vector<std::uint8_t> b);

    bool operator==(const RegValue &) const = default;
};

struct RegNamedValue
{
    std::string name;
    RegValue value;

    bool operator==(const RegNamedValue &) const = default;
};

// One key with its values and subkeys, in creation order. Also the form in which a saved
// subtree is handed around (readKeyFile, replaceKey, update).
struct RegKey
{
    std::string name;
    std::vector<RegNamedValue> values;
    std::vector<RegKey> subkeys;

    // Case-insensitive look-ups; nullptr when absent. `path` may hold several names.
    const RegKey *find(std::string_view path) const;
    RegKey *find(std::string_view path);
    const RegNamedValue *value(std::string_view valueName) const;

    // Finds or creates every key along `path`; nullptr when the path is invalid.
    RegKey *ensure(std::string_view path);
    // Replaces a value of the same name (keeping its position and spelling) or appends it.
    void setValue(std::string_view valueName, RegValue v);
    bool removeValue(std::string_view valueName);
    bool removeSubkey(std::string_view keyName);

    bool operator==(const RegKey &) const = default; // exact, case-sensitive: for tests
};

// A subtree read from a file written by saveKey(): the path it was saved from and its content
// (content.name is the last name of that path).
struct RegKeyFile
{
    std::string keyPath;
    RegKey content;
};

// What the program must tell the user once: a damaged settings file was set aside.
struct RegistryNotice
{
    std::filesystem::path setAsidePath;
    std::string reason; // "line 12: ..." from the parser
};

class Registry
{
public:
    // $RAVELIND_CONFIG_DIR/registry.reg, else $XDG_CONFIG_HOME/Quellvane/Ravelind/registry.reg,
    // else ~/.config/Quellvane/Ravelind/registry.reg. Creates nothing.
    static std::filesystem::path defaultFile();

    // Uses `file`; nothing is read or created until the first operation. The folder is made
    // (mode 0700) at the first change.
    explicit Registry(std::filesystem::path file);
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;
    ~Registry();

    const std::filesystem::path &file() const { return m_file; }

    // Set once when a damaged file was set aside; the call clears it.
    std::optional<RegistryNotice> takeNotice();

    bool keyExists(std::string_view keyPath);
    [[nodiscard]] ResultCode subkeyNames(std::string_view keyPath, std::vector<std::string> &names);
    [[nodiscard]] ResultCode valueNames(std::string_view keyPath, std::vector<std::string> &names);
    // A copy of the key and everything below it.
    [[nodiscard]] ResultCode readKey(std::string_view keyPath, RegKey &key);

    [[nodiscard]] ResultCode readValue(std::string_view keyPath, std::string_view name,
                                       RegValue &v);
    [[nodiscard]] ResultCode readString(std::string_view keyPath, std::string_view name,
                                        std::string &s);
    [[nodiscard]] ResultCode readDword(std::string_view keyPath, std::string_view name,
                                       std::uint32_t &d);
    [[nodiscard]] ResultCode readBinary(std::string_view keyPath, std::string_view name,
                                        std::vector<std::uint8_t> &b);

    // Each call below is one atomic change of the file; writes create missing keys.
    [[nodiscard]] ResultCode createKey(std::string_view keyPath);
    [[nodiscard]] ResultCode writeValue(std::string_view keyPath, std::string_view name,
                                        RegValue v);
    [[nodiscard]] ResultCode writeString(std::string_view keyPath, std::string_view name,
                                         std::string s);
    [[nodiscard]] ResultCode writeDword(std::string_view keyPath, std::string_view name,
                                        std::uint32_t d);
    [[nodiscard]] ResultCode writeBinary(std::string_view keyPath, std::string_view name,
                                         std::vector<std::uint8_t> b);
    // Several values of one key in one change, in the given order: all or none.
    [[nodiscard]] ResultCode writeValues(std::string_view keyPath,
                                         std::vector<RegNamedValue> values);
    [[nodiscard]] ResultCode deleteValue(std::string_view keyPath, std::string_view name);
    // Deletes the key with all its subkeys.
    [[nodiscard]] ResultCode deleteKey(std::string_view keyPath);
    // Replaces the key's values and subkeys with `content` (its name is not used); creates
    // the key when missing.
    [[nodiscard]] ResultCode replaceKey(std::string_view keyPath, const RegKey &content);
    // Runs `change` on the whole tree under the lock and writes the result when it returns 0;
    // a failure leaves file and tree unchanged. For changes that must not be seen half done.
    [[nodiscard]] ResultCode update(const std::function<ResultCode(RegKey &root)> &change);

    // Writes the key and its subtree to `target` in the format above (full key paths),
    // atomically and with mode 0600; an existing file is replaced, never written in place.
    [[nodiscard]] ResultCode saveKey(std::string_view keyPath, const std::filesystem::path &target);
    // Reads a file written by saveKey(). Every section must lie at or below the first one.
    // On failure `why` says what is wrong (line number and reason); nothing is changed.
    [[nodiscard]] static ResultCode readKeyFile(const std::filesystem::path &source,
                                                RegKeyFile &file, std::string &why);
    // readKeyFile() then replaceKey(keyPath, ...): a bad file changes nothing.
    [[nodiscard]] ResultCode restoreKey(std::string_view keyPath,
                                        const std::filesystem::path &source, std::string &why);

    // The text form of a tree (root's subkeys with full paths); the parser of that form.
    // Exposed for tests and tools.
    static std::string format(const RegKey &root);
    [[nodiscard]] static ResultCode parse(std::string_view text, RegKey &root, std::string &why);

private:
    [[nodiscard]] ResultCode refresh();
    [[nodiscard]] ResultCode loadLocked();
    [[nodiscard]] ResultCode commit(const RegKey &root);

    std::filesystem::path m_file;
    RegKey m_root;
    struct Stamp
    {
        std::uint64_t dev = 0, ino = 0, size = 0;
        std::int64_t mtimeNs = 0, ctimeNs = 0;
        bool exists = false;
        bool operator==(const Stamp &) const = default;
    };
    Stamp m_stamp;
    bool m_loaded = false;
    std::optional<RegistryNotice> m_notice;
};

// True when `name` may be a key name: not empty, no "\", no control character.
bool isValidKeyName(std::string_view name);
// ASCII case-insensitive equality, the rule for key and value names.
bool namesEqual(std::string_view a, std::string_view b);

} // namespace platform
