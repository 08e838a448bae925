#include "tempfolder.h"

#include <config/profilestore.h>
#include <config/registrykeys.h>

#include <gtest/gtest.h>

using namespace config;
using platform::fromWin32;
using platform::RegKey;
using platform::RegValue;
using protocol::ServerProfile;

namespace {

const platform::ResultCode kMismatch = fromWin32(platform::err::DatatypeMismatch);
const platform::ResultCode kNotFound = fromWin32(platform::err::FileNotFound);
const platform::ResultCode kTooLong = fromWin32(platform::err::InsufficientBuffer);
const platform::ResultCode kBadName = fromWin32(platform::err::BadPathname);

std::string keyOf(std::string_view name)
{
    return std::string(keys::kServers) + "\\" + std::string(name);
}

ServerProfile sampleProfile(std::string name)
{
    ServerProfile p;
    p.name = std::move(name);
    p.server = "vcs.example.com";
    p.url = "/Service.asmx";
    p.userId = "u-17";
    p.port = 8443;
    p.userName = "jane";
    p.password = "p\"a\\ss\nword";
    p.useProxy = 1;
    p.useSsl = 1;
    p.proxyServer = "proxy:3128";
    p.proxyUserName = "pj";
    p.proxyPassword = "pp";
    p.timeout = 45;
    return p;
}

// The values of a readable profile key, written one by one so a row can change any of them.
std::vector<platform::RegNamedValue> minimalValues()
{
    return {{"Server", RegValue::ofString("h")}, {"URL", RegValue::ofString("/s")},
            {"UserID", RegValue::ofString("u")}, {"Port", RegValue::ofDword(80)},
            {"Proxy", RegValue::ofDword(0)},     {"SSL", RegValue::ofDword(0)}};
}

class ProfileStoreTest : public ::testing::Test
{
protected:
    TempFolder m_dir;
    std::filesystem::path m_file = m_dir / "registry.reg";
    platform::Registry m_reg{m_file};
    ProfileStore m_store{m_reg};
};

TEST_F(ProfileStoreTest, WrittenProfileReadsBackWhole)
{
    const ServerProfile written = sampleProfile("Main server");
    ASSERT_EQ(m_store.write(written, true), 0);
    platform::Registry reopened(m_file);
    ProfileStore store(reopened);
    ASSERT_EQ(store.count(), 1u);
    ServerProfile read;
    ASSERT_EQ(store.read(0, read), 0);
    EXPECT_EQ(read, written);
    EXPECT_EQ(store.read(1, read), fromWin32(platform::err::NoMoreItems));
}

TEST_F(ProfileStoreTest, WithoutCredentialsEightValuesAreWrittenInOrder)
{
    ASSERT_EQ(m_store.write(sampleProfile("A"), false), 0);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.valueNames(keyOf("A"), names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"Server", "URL", "UserID", "Port", "Timeout",
                                               "Proxy", "SSL", "ProxyServer"}));
    ServerProfile read;
    ASSERT_EQ(m_store.readByName("A", read), 0);
    EXPECT_EQ(read.userName, "");
    EXPECT_EQ(read.password, "");
}

TEST_F(ProfileStoreTest, WithCredentialsTwelveValuesAndALaterWriteWithoutKeepsThem)
{
    ASSERT_EQ(m_store.write(sampleProfile("A"), true), 0);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.valueNames(keyOf("A"), names), 0);
    EXPECT_EQ(names.size(), 12u);
    ServerProfile changed = sampleProfile("A");
    changed.password = "new";
    ASSERT_EQ(m_store.write(changed, false), 0);
    ServerProfile read;
    ASSERT_EQ(m_store.readByName("A", read), 0);
    EXPECT_EQ(read.password, sampleProfile("A").password);

    ASSERT_EQ(m_store.removeCredentials("a"), 0);
    ASSERT_EQ(m_reg.valueNames(keyOf("A"), names), 0);
    EXPECT_EQ(names.size(), 8u);
}

TEST_F(ProfileStoreTest, ProxyOffWritesAnEmptyProxyServer)
{
    ServerProfile p = sampleProfile("A");
    p.useProxy = 0;
    ASSERT_EQ(m_store.write(p, false), 0);
    std::string proxyServer = "unset";
    ASSERT_EQ(m_reg.readString(keyOf("A"), "ProxyServer", proxyServer), 0);
    EXPECT_EQ(proxyServer, "");
    std::uint32_t proxy = 7;
    ASSERT_EQ(m_reg.readDword(keyOf("A"), "Proxy", proxy), 0);
    EXPECT_EQ(proxy, 0u);
}

TEST_F(ProfileStoreTest, NamesDifferingOnlyInCaseAreOneProfile)
{
    ASSERT_EQ(m_store.write(sampleProfile("Local"), false), 0);
    ServerProfile p = sampleProfile("LOCAL");
    p.port = 1;
    ASSERT_EQ(m_store.write(p, false), 0);
    ASSERT_EQ(m_store.count(), 1u);
    ServerProfile read;
    ASSERT_EQ(m_store.read(0, read), 0);
    EXPECT_EQ(read.name, "Local");
    EXPECT_EQ(read.port, 1);
    ASSERT_EQ(m_store.remove("local"), 0);
    EXPECT_EQ(m_store.count(), 0u);
}

TEST_F(ProfileStoreTest, NamesThatCouldNotBeReadBackAreRefused)
{
    const std::size_t longest = keys::kMaxKeyPath - keys::kServers.size() - 1;
    EXPECT_EQ(m_store.write(sampleProfile(std::string(longest, 'n')), false), 0);
    EXPECT_EQ(m_store.write(sampleProfile(std::string(longest + 1, 'n')), false), kTooLong);
    EXPECT_EQ(m_store.write(sampleProfile(""), false), kBadName);
    EXPECT_EQ(m_store.write(sampleProfile("a\\b"), false), kBadName);
    EXPECT_EQ(m_store.write(sampleProfile("tab\there"), false), kBadName);
    EXPECT_EQ(m_store.remove("Servers\\..\\x"), kBadName);
    ASSERT_EQ(m_store.count(), 1u);
    ServerProfile read;
    EXPECT_EQ(m_store.read(0, read), 0);
}

struct ReadRow
{
    const char *name;
    std::vector<platform::RegNamedValue> changes; // applied over minimalValues()
    std::vector<const char *> removed;
    platform::ResultCode expected;
};

void PrintTo(const ReadRow &row, std::ostream *os)
{
    *os << row.name;
}

class ProfileReadTest : public ProfileStoreTest, public ::testing::WithParamInterface<ReadRow>
{
};

// Each row stores a broken or unusual profile "Odd" between two good ones: the good ones
// always read, "Odd" reads or fails as the row says.
TEST_P(ProfileReadTest, OneKeyDecidesOnlyItsOwnProfile)
{
    ASSERT_EQ(m_store.write(sampleProfile("First"), true), 0);
    ASSERT_EQ(m_reg.writeValues(keyOf("Odd"), minimalValues()), 0);
    for (const auto &change : GetParam().changes)
        ASSERT_EQ(m_reg.writeValue(keyOf("Odd"), change.name, change.value), 0);
    for (const char *name : GetParam().removed)
        ASSERT_EQ(m_reg.deleteValue(keyOf("Odd"), name), 0);
    ASSERT_EQ(m_store.write(sampleProfile("Last"), true), 0);

    ServerProfile odd;
    EXPECT_EQ(m_store.read(1, odd), GetParam().expected);
    std::vector<std::string> names;
    for (const auto &p : m_store.readAll())
        names.push_back(p.name);
    if (GetParam().expected == 0)
        EXPECT_EQ(names, (std::vector<std::string>{"First", "Odd", "Last"}));
    else
        EXPECT_EQ(names, (std::vector<std::string>{"First", "Last"}));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ProfileReadTest,
    ::testing::Values(
        ReadRow{"Minimal", {}, {}, 0},
        ReadRow{"PortAsText", {{"Port", RegValue::ofString("80")}}, {}, kMismatch},
        ReadRow{"ServerAsDword", {{"Server", RegValue::ofDword(1)}}, {}, kMismatch},
        ReadRow{"TimeoutAsText", {{"Timeout", RegValue::ofString("60")}}, {}, kMismatch},
        ReadRow{"PasswordAsBinary", {{"Password", RegValue::ofBinary({1})}}, {}, kMismatch},
        ReadRow{"ServerMissing", {}, {"Server"}, kNotFound},
        ReadRow{"UserIdMissing", {}, {"UserID"}, kNotFound},
        ReadRow{"SslMissing", {}, {"SSL"}, kNotFound},
        ReadRow{"ProxyOnWithoutProxyServer", {{"Proxy", RegValue::ofDword(1)}}, {}, kNotFound},
        ReadRow{"ProxyTwoWithoutProxyServer", {{"Proxy", RegValue::ofDword(2)}}, {}, 0},
        ReadRow{
            "ProxyOffWithProxyServerOfWrongType", {{"ProxyServer", RegValue::ofDword(1)}}, {}, 0}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct RenameRow
{
    const char *name;
    const char *oldName; // the stored profile renamed ("" for add())
    const char *newName;
    bool withCredentials;
    platform::ResultCode expected;
    std::vector<std::string> stored; // the stored names afterwards, in order
};

void PrintTo(const RenameRow &row, std::ostream *os)
{
    *os << row.name;
}

class ProfileRenameTest : public ProfileStoreTest, public ::testing::WithParamInterface<RenameRow>
{
};

// Three stored profiles "Alpha", "Local", "Omega" (credentials saved); each row renames or
// adds one and looks at what is stored then.
TEST_P(ProfileRenameTest, RenamesInPlaceAndNeverOverwritesAnother)
{
    const RenameRow &row = GetParam();
    for (const char *name : {"Alpha", "Local", "Omega"})
        ASSERT_EQ(m_store.write(sampleProfile(name), true), 0);
    ServerProfile renamed = sampleProfile(row.newName);
    renamed.port = 1234;
    renamed.password = "typed";
    const platform::ResultCode rc = *row.oldName
                                        ? m_store.rename(row.oldName, renamed, row.withCredentials)
                                        : m_store.add(renamed, row.withCredentials);
    EXPECT_EQ(rc, row.expected);
    std::vector<std::string> names;
    ASSERT_EQ(m_store.names(names), 0);
    EXPECT_EQ(names, row.stored);

    ServerProfile read;
    if (rc == 0) {
        ASSERT_EQ(m_store.readByName(row.newName, read), 0);
        EXPECT_EQ(read.name, row.newName);
        EXPECT_EQ(read.port, 1234);
        // Without credentials the ones stored before stay with the key.
        const bool keptOld = !row.withCredentials && *row.oldName;
        EXPECT_EQ(read.password, row.withCredentials ? "typed"
                                 : keptOld           ? sampleProfile("x").password
                                                     : "");
    }
    // Every profile not renamed reads as it was written.
    for (const char *name : {"Alpha", "Local", "Omega"}) {
        if (platform::namesEqual(name, row.oldName) && rc == 0)
            continue;
        ASSERT_EQ(m_store.readByName(name, read), 0) << name;
        EXPECT_EQ(read, sampleProfile(name)) << name;
    }
}

const platform::ResultCode kExists = fromWin32(platform::err::AlreadyExists);

INSTANTIATE_TEST_SUITE_P(
    Names, ProfileRenameTest,
    ::testing::Values(
        RenameRow{"OtherName", "Local", "Remote", true, 0, {"Alpha", "Remote", "Omega"}},
        RenameRow{"CaseOnly", "Local", "LOCAL", true, 0, {"Alpha", "LOCAL", "Omega"}},
        RenameRow{
            "CaseOnlyWithoutCredentials", "Local", "local", false, 0, {"Alpha", "local", "Omega"}},
        RenameRow{"SameName", "Local", "Local", false, 0, {"Alpha", "Local", "Omega"}},
        RenameRow{"OntoAnother", "Local", "Omega", true, kExists, {"Alpha", "Local", "Omega"}},
        RenameRow{
            "OntoAnotherInOtherCase", "Local", "alpha", true, kExists, {"Alpha", "Local", "Omega"}},
        RenameRow{"OldOneGoneMeanwhile",
                  "Gone",
                  "Remote",
                  true,
                  0,
                  {"Alpha", "Local", "Omega", "Remote"}},
        RenameRow{"InvalidNewName", "Local", "a\\b", true, kBadName, {"Alpha", "Local", "Omega"}},
        RenameRow{"AddNew", "", "Remote", false, 0, {"Alpha", "Local", "Omega", "Remote"}},
        RenameRow{"AddTakenName", "", "OMEGA", true, kExists, {"Alpha", "Local", "Omega"}}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(ProfileStoreTest, StoredNameIsTheKeysOwnSpelling)
{
    ASSERT_EQ(m_store.write(sampleProfile("Local"), false), 0);
    EXPECT_EQ(m_store.storedName("LOCAL"), "Local");
    EXPECT_EQ(m_store.storedName("Remote"), "");
}

TEST_F(ProfileStoreTest, MissingTimeoutReadsAsSixtyAndLowerCaseUserIdIsTheSameValue)
{
    auto values = minimalValues();
    values[2].name = "userId";
    values.push_back({"Proxy", RegValue::ofDword(2)});
    values.push_back({"Port", RegValue::ofDword(0x12345)});
    ASSERT_EQ(m_reg.writeValues(keyOf("Old"), values), 0);
    ServerProfile p;
    ASSERT_EQ(m_store.read(0, p), 0);
    EXPECT_EQ(p.timeout, 60u);
    EXPECT_EQ(p.userId, "u");
    EXPECT_EQ(p.useProxy, 1u);
    EXPECT_EQ(p.port, 0x2345);
    EXPECT_EQ(p.connected, 0u);
}

TEST_F(ProfileStoreTest, OneOverlongKeyDoesNotHideTheOthers)
{
    ASSERT_EQ(m_store.write(sampleProfile("Good"), false), 0);
    ASSERT_EQ(m_reg.writeValues(keyOf(std::string(300, 'x')), minimalValues()), 0);
    ServerProfile p;
    EXPECT_EQ(m_store.read(0, p), 0);
    EXPECT_EQ(m_store.read(1, p), kTooLong);
    EXPECT_EQ(m_store.readAll().size(), 1u);
}

// --- Export and import ---------------------------------------------------------------------

TEST_F(ProfileStoreTest, ExportThenImportRestoresEveryValueAndType)
{
    ASSERT_EQ(m_store.write(sampleProfile("One"), true), 0);
    ASSERT_EQ(m_store.write(sampleProfile("Two \"quoted\" [x] é"), false), 0);
    ASSERT_EQ(m_reg.writeBinary(keyOf("One"), "Extra", {0, 1, 0xfe}), 0);
    ASSERT_EQ(m_reg.writeDword(keys::kServers, "OnTheKeyItself", 3), 0);
    RegKey before;
    ASSERT_EQ(m_reg.readKey(keys::kServers, before), 0);
    const auto exported = m_dir / "profiles.rvl";
    ASSERT_EQ(m_store.exportTo(exported), 0);
    EXPECT_EQ(fileMode(exported), 0600u);

    TempFolder other;
    platform::Registry otherReg(other / "registry.reg");
    ProfileStore otherStore(otherReg);
    ASSERT_EQ(otherStore.write(sampleProfile("Goes away"), true), 0);
    ImportPlan plan;
    std::string why;
    ASSERT_EQ(otherStore.readImport(exported, plan, why), 0) << why;
    EXPECT_EQ(plan.profiles, (std::vector<std::string>{"One", "Two \"quoted\" [x] é"}));
    ASSERT_EQ(otherStore.applyImport(plan), 0);

    RegKey after;
    ASSERT_EQ(otherReg.readKey(keys::kServers, after), 0);
    EXPECT_EQ(after, before);
}

TEST_F(ProfileStoreTest, ImportAnsweredNoChangesNothing)
{
    ASSERT_EQ(m_store.write(sampleProfile("Mine"), true), 0);
    const auto file = m_dir / "theirs.rvl";
    {
        TempFolder other;
        platform::Registry otherReg(other / "registry.reg");
        ProfileStore otherStore(otherReg);
        ASSERT_EQ(otherStore.write(sampleProfile("Theirs"), false), 0);
        ASSERT_EQ(otherStore.exportTo(file), 0);
    }
    const std::string before = fileText(m_file);
    ImportPlan plan;
    std::string why;
    ASSERT_EQ(m_store.readImport(file, plan, why), 0) << why;
    // The user answers No: the plan is dropped.
    EXPECT_EQ(fileText(m_file), before);
    ServerProfile p;
    EXPECT_EQ(m_store.readByName("Mine", p), 0);
    EXPECT_EQ(m_store.count(), 1u);
}

struct ImportRow
{
    const char *name;
    std::string text; // empty name: no file at all
};

void PrintTo(const ImportRow &row, std::ostream *os)
{
    *os << row.name;
}

class ProfileImportRefusedTest : public ProfileStoreTest,
                                 public ::testing::WithParamInterface<ImportRow>
{
};

TEST_P(ProfileImportRefusedTest, ChangesNothingAndSaysWhy)
{
    ASSERT_EQ(m_store.write(sampleProfile("Mine"), true), 0);
    const std::string before = fileText(m_file);
    const auto file = m_dir / "import.rvl";
    if (std::string_view(GetParam().name) != "Missing")
        writeText(file, GetParam().text);

    ImportPlan plan;
    std::string why;
    EXPECT_TRUE(platform::failed(m_store.readImport(file, plan, why)));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(platform::failed(m_store.applyImport(plan)));
    EXPECT_EQ(fileText(m_file), before);
}

const std::string kServersSection =
    "Ravelind Registry 1\n[Software\\Quellvane\\Ravelind\\Servers]\n";
const std::string kGoodProfile = "[Software\\Quellvane\\Ravelind\\Servers\\P]\n\"Server\"=\"h\"\n"
                                 "\"URL\"=\"/s\"\n\"UserID\"=\"u\"\n\"Port\"=dword:00000050\n"
                                 "\"Proxy\"=dword:00000000\n\"SSL\"=dword:00000000\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileImportRefusedTest,
    ::testing::Values(
        ImportRow{"Missing", ""}, ImportRow{"Empty", " "},
        ImportRow{"PlainText", "These are my servers:\nvcs.example.com\n"},
        ImportRow{"CutInTheMiddleOfALine", (kServersSection + kGoodProfile).substr(0, 150)},
        ImportRow{"OtherKey",
                  "Ravelind Registry "
                  "1\n[Software\\Quellvane\\Ravelind\\Settings]\n\"StartUp\"=dword:1\n"},
        ImportRow{"WholeRegistry", "Ravelind Registry 1\n[Software]\n" + kGoodProfile},
        ImportRow{"NoProfiles", kServersSection},
        ImportRow{"NoProfileReads",
                  kServersSection +
                      "[Software\\Quellvane\\Ravelind\\Servers\\P]\n\"Server\"=\"h\"\n"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(ProfileStoreTest, ImportReplacesTheWholeServersKeyAndReportsUnreadableProfiles)
{
    ASSERT_EQ(m_store.write(sampleProfile("Old"), true), 0);
    const auto file = m_dir / "import.rvl";
    writeText(file, kServersSection + kGoodProfile +
                        "[Software\\Quellvane\\Ravelind\\Servers\\Broken]\n\"Port\"=\"80\"\n");
    ImportPlan plan;
    std::string why;
    ASSERT_EQ(m_store.readImport(file, plan, why), 0) << why;
    EXPECT_EQ(plan.profiles, std::vector<std::string>{"P"});
    EXPECT_EQ(plan.unreadable, std::vector<std::string>{"Broken"});
    ASSERT_EQ(m_store.applyImport(plan), 0);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.subkeyNames(keys::kServers, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"P", "Broken"}));
}

// The file the start script writes for the demo (kept identical to NOTES-core.md).
TEST(DemoProfileFile, HandWrittenMinimalFileGivesTheDemoProfile)
{
    TempFolder dir;
    writeText(dir / "registry.reg", "Ravelind Registry 1\n"
                                    "[Software\\Quellvane\\Ravelind\\Servers\\Local demo]\n"
                                    "\"Server\"=\"127.0.0.1\"\n"
                                    "\"URL\"=\"/Service.asmx\"\n"
                                    "\"UserID\"=\"\"\n"
                                    "\"Port\"=dword:00001f90\n"
                                    "\"Timeout\"=dword:0000003c\n"
                                    "\"Proxy\"=dword:00000000\n"
                                    "\"SSL\"=dword:00000000\n");
    platform::Registry reg(dir / "registry.reg");
    ProfileStore store(reg);
    ServerProfile p;
    ASSERT_EQ(store.read(0, p), 0);
    EXPECT_FALSE(reg.takeNotice().has_value());
    ServerProfile expected;
    expected.name = "Local demo";
    expected.server = "127.0.0.1";
    expected.url = "/Service.asmx";
    expected.port = 8080;
    expected.timeout = 60;
    EXPECT_EQ(p, expected);
}

} // namespace
