#include "config/profilestore.h"

#include "config/registrykeys.h"

#include <utility>

namespace config {

using platform::fromWin32;
using platform::RegKey;
using platform::RegNamedValue;
using platform::RegType;
using platform::RegValue;
using platform::ResultCode;
namespace err = platform::err;

namespace {

constexpr std::uint32_t kDefaultTimeout = 60;

std::string profileKeyPath(std::string_view name)
{
    std::string path(keys::kServers);
    path += '\\';
    path += name;
    return path;
}

// Finds a value of the required type: 0, 2 when missing, 1629 when of another type.
[[nodiscard]] ResultCode lookUp(const RegKey &key, std::string_view name, RegType type,
                                const RegValue *&out)
{
    const RegNamedValue *nv = key.value(name);
    out = nv ? &nv->value : nullptr;
    if (!nv)
        return fromWin32(err::FileNotFound);
    return nv->value.type == type ? 0 : fromWin32(err::DatatypeMismatch);
}

[[nodiscard]] ResultCode readText(const RegKey &key, std::string_view name, bool required,
                                  std::string &field)
{
    const RegValue *v = nullptr;
    const ResultCode rc = lookUp(key, name, RegType::String, v);
    if (rc == 0)
        field = v->text;
    else if (v || required) // present with the wrong type, or required and missing
        return rc;
    return 0;
}

[[nodiscard]] ResultCode readNumber(const RegKey &key, std::string_view name, bool required,
                                    std::uint32_t &field)
{
    const RegValue *v = nullptr;
    const ResultCode rc = lookUp(key, name, RegType::Dword, v);
    if (rc == 0)
        field = v->dword;
    else if (v || required)
        return rc;
    return 0;
}

} // namespace

ResultCode checkProfileName(std::string_view name)
{
    if (!platform::isValidKeyName(name))
        return fromWin32(err::BadPathname);
    if (name.size() > keys::kMaxKeyName ||
        keys::kServers.size() + 1 + name.size() > keys::kMaxKeyPath)
        return fromWin32(err::InsufficientBuffer);
    return 0;
}

ResultCode profileFromKey(const RegKey &key, protocol::ServerProfile &profile)
{
    protocol::ServerProfile p;
    p.name = key.name;
    std::uint32_t port = 0;
    std::uint32_t timeout = kDefaultTimeout;
    std::uint32_t ssl = 0;
    std::uint32_t proxy = 0;
    ResultCode rc = readText(key, keys::kServer, true, p.server);
    if (rc == 0)
        rc = readText(key, keys::kUrl, true, p.url);
    if (rc == 0)
        rc = readText(key, keys::kUserId, true, p.userId);
    if (rc == 0)
        rc = readNumber(key, keys::kPort, true, port);
    if (rc == 0)
        rc = readNumber(key, keys::kTimeout, false, timeout);
    if (rc == 0)
        rc = readNumber(key, keys::kSsl, true, ssl);
    if (rc == 0)
        rc = readNumber(key, keys::kProxy, true, proxy);
    if (rc == 0 && proxy == 1)
        rc = readText(key, keys::kProxyServer, true, p.proxyServer);
    if (rc == 0)
        rc = readText(key, keys::kUserName, false, p.userName);
    if (rc == 0)
        rc = readText(key, keys::kPassword, false, p.password);
    if (rc == 0)
        rc = readText(key, keys::kProxyUserName, false, p.proxyUserName);
    if (rc == 0)
        rc = readText(key, keys::kProxyPassword, false, p.proxyPassword);
    if (rc != 0)
        return rc;
    p.port = static_cast<std::uint16_t>(port & 0xFFFFu);
    p.timeout = timeout;
    p.useSsl = ssl;
    p.useProxy = proxy != 0 ? 1 : 0;
    p.connected = 0;
    profile = std::move(p);
    return 0;
}

ProfileStore::ProfileStore(platform::Registry &registry)
    : m_registry(registry)
{
}

std::size_t ProfileStore::count()
{
    std::vector<std::string> names;
    return m_registry.subkeyNames(keys::kServers, names) == 0 ? names.size() : 0;
}

ResultCode ProfileStore::names(std::vector<std::string> &names)
{
    names.clear();
    const ResultCode rc = m_registry.subkeyNames(keys::kServers, names);
    return rc == platform::fromWin32(err::FileNotFound) ? 0 : rc;
}

ResultCode ProfileStore::read(std::size_t index, protocol::ServerProfile &profile)
{
    std::vector<std::string> names;
    if (const ResultCode rc = m_registry.subkeyNames(keys::kServers, names); rc != 0)
        return rc;
    if (index >= names.size())
        return fromWin32(err::NoMoreItems);
    return readByName(names[index], profile);
}

ResultCode ProfileStore::readByName(std::string_view name, protocol::ServerProfile &profile)
{
    // Only this profile's own name is checked: one overlong key must not hide the others.
    if (const ResultCode rc = checkProfileName(name); rc != 0)
        return rc;
    RegKey key;
    if (const ResultCode rc = m_registry.readKey(profileKeyPath(name), key); rc != 0)
        return rc;
    return profileFromKey(key, profile);
}

std::vector<protocol::ServerProfile> ProfileStore::readAll()
{
    // One copy of the "Servers" key rather than a look-up per profile: linear in the count.
    std::vector<protocol::ServerProfile> profiles;
    RegKey servers;
    if (m_registry.readKey(keys::kServers, servers) != 0)
        return profiles;
    for (const RegKey &key : servers.subkeys) {
        protocol::ServerProfile p;
        if (checkProfileName(key.name) == 0 && profileFromKey(key, p) == 0)
            profiles.push_back(std::move(p));
    }
    return profiles;
}

// The values of a profile key in the order they are written.
static std::vector<RegNamedValue> profileValues(const protocol::ServerProfile &profile,
                                                bool withCredentials)
{
    auto text = [](std::string_view name, const std::string &s) {
        return RegNamedValue{std::string(name), RegValue::ofString(s)};
    };
    auto number = [](std::string_view name, std::uint32_t d) {
        return RegNamedValue{std::string(name), RegValue::ofDword(d)};
    };
    std::vector<RegNamedValue> values{
        text(keys::kServer, profile.server),
        text(keys::kUrl, profile.url),
        text(keys::kUserId, profile.userId),
        number(keys::kPort, profile.port),
        number(keys::kTimeout, profile.timeout),
        number(keys::kProxy, profile.useProxy != 0 ? 1 : 0),
        number(keys::kSsl, profile.useSsl != 0 ? 1 : 0),
        text(keys::kProxyServer, profile.useProxy != 0 ? profile.proxyServer : std::string()),
    };
    if (withCredentials) {
        values.push_back(text(keys::kUserName, profile.userName));
        values.push_back(text(keys::kPassword, profile.password));
        values.push_back(text(keys::kProxyUserName, profile.proxyUserName));
        values.push_back(text(keys::kProxyPassword, profile.proxyPassword));
    }
    return values;
}

ResultCode ProfileStore::write(const protocol::ServerProfile &profile, bool withCredentials)
{
    if (const ResultCode rc = checkProfileName(profile.name); rc != 0)
        return rc;
    return m_registry.writeValues(profileKeyPath(profile.name),
                                  profileValues(profile, withCredentials));
}

ResultCode ProfileStore::add(const protocol::ServerProfile &profile, bool withCredentials)
{
    return rename({}, profile, withCredentials);
}

ResultCode ProfileStore::rename(std::string_view oldName, const protocol::ServerProfile &profile,
                                bool withCredentials)
{
    if (const ResultCode rc = checkProfileName(profile.name); rc != 0)
        return rc;
    std::vector<RegNamedValue> values = profileValues(profile, withCredentials);
    // One change under the store's lock: a check followed by a separate write could
    // overwrite a profile that another instance added in between.
    return m_registry.update([&](RegKey &root) {
        RegKey *servers = root.ensure(keys::kServers);
        if (!servers)
            return fromWin32(err::BadPathname);
        RegKey *own = nullptr;
        for (RegKey &key : servers->subkeys) {
            if (!oldName.empty() && platform::namesEqual(key.name, oldName))
                own = &key;
            else if (platform::namesEqual(key.name, profile.name))
                return fromWin32(err::AlreadyExists);
        }
        if (!own) {
            servers->subkeys.push_back(RegKey{profile.name, {}, {}});
            own = &servers->subkeys.back();
        }
        // Writing under the new name and deleting the old key afterwards would delete the
        // key just written when the names differ only in letter case: the key is renamed.
        own->name = profile.name;
        for (RegNamedValue &v : values)
            own->setValue(v.name, std::move(v.value));
        return ResultCode{0};
    });
}

std::string ProfileStore::storedName(std::string_view name)
{
    std::vector<std::string> stored;
    if (m_registry.subkeyNames(keys::kServers, stored) != 0)
        return {};
    for (std::string &s : stored) {
        if (platform::namesEqual(s, name))
            return std::move(s);
    }
    return {};
}

ResultCode ProfileStore::remove(std::string_view name)
{
    if (!platform::isValidKeyName(name))
        return fromWin32(err::BadPathname);
    return m_registry.deleteKey(profileKeyPath(name));
}

ResultCode ProfileStore::removeValue(std::string_view name, std::string_view valueName)
{
    if (!platform::isValidKeyName(name))
        return fromWin32(err::BadPathname);
    return m_registry.deleteValue(profileKeyPath(name), valueName);
}

ResultCode ProfileStore::removeCredentials(std::string_view name)
{
    if (!platform::isValidKeyName(name))
        return fromWin32(err::BadPathname);
    const std::string path = profileKeyPath(name);
    return m_registry.update([&path](RegKey &root) {
        RegKey *key = root.find(path);
        if (!key)
            return fromWin32(err::FileNotFound);
        for (const auto value :
             {keys::kUserName, keys::kPassword, keys::kProxyUserName, keys::kProxyPassword})
            key->removeValue(value);
        return ResultCode{0};
    });
}

ResultCode ProfileStore::writeCredentials(const protocol::ServerProfile &profile)
{
    if (!platform::isValidKeyName(profile.name))
        return fromWin32(err::BadPathname);
    const std::string path = profileKeyPath(profile.name);
    return m_registry.update([&](RegKey &root) {
        // Never a key of credentials alone: a profile deleted meanwhile stays deleted.
        RegKey *key = root.find(path);
        if (!key)
            return fromWin32(err::FileNotFound);
        key->setValue(keys::kUserName, RegValue::ofString(profile.userName));
        key->setValue(keys::kPassword, RegValue::ofString(profile.password));
        key->setValue(keys::kProxyUserName, RegValue::ofString(profile.proxyUserName));
        key->setValue(keys::kProxyPassword, RegValue::ofString(profile.proxyPassword));
        return ResultCode{0};
    });
}

ResultCode ProfileStore::exportTo(const std::filesystem::path &target)
{
    return m_registry.saveKey(keys::kServers, target);
}

ResultCode ProfileStore::readImport(const std::filesystem::path &source, ImportPlan &plan,
                                    std::string &why)
{
    plan = ImportPlan{};
    platform::RegKeyFile file;
    if (const ResultCode rc = platform::Registry::readKeyFile(source, file, why); rc != 0)
        return rc == fromWin32(err::RegistryCorrupt) ? fromWin32(err::InvalidData) : rc;
    if (!platform::namesEqual(file.keyPath, keys::kServers)) {
        why = "the file holds [" + file.keyPath + "], not server profiles";
        return fromWin32(err::InvalidData);
    }
    ImportPlan result;
    result.source = source;
    for (const RegKey &key : file.content.subkeys) {
        protocol::ServerProfile p;
        const bool reads = checkProfileName(key.name) == 0 && profileFromKey(key, p) == 0;
        (reads ? result.profiles : result.unreadable).push_back(key.name);
    }
    if (result.profiles.empty()) {
        why = result.unreadable.empty() ? "the file holds no server profile"
                                        : "no server profile in the file can be read";
        return fromWin32(err::InvalidData);
    }
    result.content = std::move(file.content);
    plan = std::move(result);
    why.clear();
    return 0;
}

ResultCode ProfileStore::applyImport(const ImportPlan &plan)
{
    if (plan.profiles.empty())
        return fromWin32(err::InvalidData);
    return m_registry.replaceKey(keys::kServers, plan.content);
}

} // namespace config
