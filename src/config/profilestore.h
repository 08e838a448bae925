#pragma once

// The stored server profiles: one key per profile under "Software\Quellvane\Ravelind\Servers",
// named after the profile (names compare without regard to letter case), plus the export of
// the whole "Servers" key to a .rvl file and its import.

#include <platform/registry.h>
#include <platform/resultcode.h>
#include <protocol/records.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace config {

// A checked import file, ready to replace the "Servers" key (ProfileStore::readImport).
struct ImportPlan
{
    std::filesystem::path source;
    std::vector<std::string> profiles;   // names that will read after the import, file order
    std::vector<std::string> unreadable; // names in the file that would not read (skipped in
                                         // the tree, as stored profiles that do not read are)
    platform::RegKey content;            // the "Servers" key as the file holds it
};

class ProfileStore
{
public:
    explicit ProfileStore(platform::Registry &registry);

    // Number of profile keys; 0 when "Servers" does not exist.
    std::size_t count();
    // The names of every profile key in creation order, also of profiles that do not read
    // as a whole; none (and 0) when "Servers" does not exist.
    [[nodiscard]] platform::ResultCode names(std::vector<std::string> &names);

    // The index-th profile in enumeration (creation) order; `profile.connected` is 0.
    // Errors: 111 name or key path too long, 1629 a value of the wrong type, 2 a required
    // value missing, 259 no such index. "Timeout" missing reads as 60; "ProxyServer" is read
    // (and required) only when "Proxy" is exactly 1; missing credentials read as empty.
    [[nodiscard]] platform::ResultCode read(std::size_t index, protocol::ServerProfile &profile);
    // The same, by name.
    [[nodiscard]] platform::ResultCode readByName(std::string_view name,
                                                  protocol::ServerProfile &profile);
    // Every profile that reads, in order; the others are skipped as the tree skips them.
    std::vector<protocol::ServerProfile> readAll();

    // Creates or overwrites the profile key in one atomic change: "Server", "URL", "UserID",
    // "Port", "Timeout", "Proxy", "SSL", "ProxyServer" (empty when the proxy is off), then,
    // only with `withCredentials`, "UserName", "Password", "ProxyUserName", "ProxyPassword".
    // Without credentials, credential values already stored stay. Refuses (161) an empty name
    // or one holding "\" or a control character, and (111) a name or key path that would be
    // too long to read back.
    [[nodiscard]] platform::ResultCode write(const protocol::ServerProfile &profile,
                                             bool withCredentials);
    // write() for a new profile: refuses (183) a name that a stored profile already has in
    // any letter case, instead of overwriting that profile.
    [[nodiscard]] platform::ResultCode add(const protocol::ServerProfile &profile,
                                           bool withCredentials);
    // Stores `profile` under its (possibly new) name in place of the profile stored as
    // `oldName`, in one atomic change: the key keeps its position and the credentials it
    // holds when `withCredentials` is off, and takes the new spelling, also when only the
    // letter case changed. Refuses (183) a new name that another stored profile has; writes
    // the profile as add() does when nothing is stored as `oldName`. Same name checks as
    // write().
    [[nodiscard]] platform::ResultCode
    rename(std::string_view oldName, const protocol::ServerProfile &profile, bool withCredentials);
    // The stored name (its own spelling) of the profile called `name` in any letter case;
    // empty when there is none.
    std::string storedName(std::string_view name);
    // Deletes the profile key; 2 when there is none.
    [[nodiscard]] platform::ResultCode remove(std::string_view name);
    // Deletes one value of a profile key.
    [[nodiscard]] platform::ResultCode removeValue(std::string_view name,
                                                   std::string_view valueName);
    // Writes the four credential values of an existing profile key in one change; 2 when the
    // profile is not stored.
    [[nodiscard]] platform::ResultCode writeCredentials(const protocol::ServerProfile &profile);
    // Deletes the four credential values of a profile in one change (missing ones are fine).
    [[nodiscard]] platform::ResultCode removeCredentials(std::string_view name);

    // Saves the whole "Servers" key to `target` (mode 0600, atomic: an existing file is
    // replaced, never written in place). 2 when there is no "Servers" key.
    [[nodiscard]] platform::ResultCode exportTo(const std::filesystem::path &target);
    // Step 1 of an import, before the user is asked: reads and checks the whole file. Refuses
    // (13, with `why`) a file that cannot be parsed, that does not hold a "Servers" key, or in
    // which no profile would read. Changes nothing.
    [[nodiscard]] platform::ResultCode readImport(const std::filesystem::path &source,
                                                  ImportPlan &plan, std::string &why);
    // Step 2, after the user said Yes: replaces the "Servers" key with the plan's content in
    // one atomic change.
    [[nodiscard]] platform::ResultCode applyImport(const ImportPlan &plan);

private:
    platform::Registry &m_registry;
};

// Why a profile name cannot be stored (161, 111), or 0.
[[nodiscard]] platform::ResultCode checkProfileName(std::string_view name);
// Builds a profile from the values of its key with the read rules above.
[[nodiscard]] platform::ResultCode profileFromKey(const platform::RegKey &key,
                                                  protocol::ServerProfile &profile);

} // namespace config
