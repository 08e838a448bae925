#include "tempfolder.h"

#include <platform/registry.h>

#include <gtest/gtest.h>

#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

const ResultCode kNotFound = fromWin32(err::FileNotFound);
const ResultCode kMismatch = fromWin32(err::DatatypeMismatch);
const ResultCode kBadPath = fromWin32(err::BadPathname);
constexpr std::string_view kLocal = "Software\\Quellvane\\Ravelind\\Servers\\Local";

class RegistryTest : public ::testing::Test
{
protected:
    TempFolder m_dir;
    std::filesystem::path m_file = m_dir / "registry.reg";
    Registry m_reg{m_file};
};

// --- Types ---------------------------------------------------------------------------------

struct TypeRow
{
    const char *name;
    RegValue stored;
    RegType readAs;
};

void PrintTo(const TypeRow &row, std::ostream *os)
{
    *os << row.name;
}

class RegistryTypeTest : public RegistryTest, public ::testing::WithParamInterface<TypeRow>
{
};

ResultCode readAs(Registry &reg, RegType type, RegValue &out)
{
    switch (type) {
    case RegType::String:
        out.type = type;
        return reg.readString(kLocal, "Value", out.text);
    case RegType::Dword:
        out.type = type;
        return reg.readDword(kLocal, "Value", out.dword);
    case RegType::Binary:
        out.type = type;
        return reg.readBinary(kLocal, "Value", out.bytes);
    }
    return kUnspecifiedFailure;
}

TEST_P(RegistryTypeTest, ValueKeepsItsTypeAcrossReopenAndOtherTypesAreRefused)
{
    const TypeRow &row = GetParam();
    ASSERT_EQ(m_reg.writeValue(kLocal, "Value", row.stored), 0);

    Registry reopened(m_file);
    RegValue got;
    const ResultCode rc = readAs(reopened, row.readAs, got);
    if (row.readAs == row.stored.type) {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(got, row.stored);
    } else {
        EXPECT_EQ(rc, kMismatch);
        EXPECT_EQ(win32Error(rc), 1629u);
    }
    RegValue any;
    ASSERT_EQ(reopened.readValue(kLocal, "Value", any), 0);
    EXPECT_EQ(any, row.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryTypeTest,
    ::testing::Values(
        TypeRow{"StringAsString", RegValue::ofString("host \"a\\b\"\nline2\r\t\x01 \xc3\xa9"),
                RegType::String},
        TypeRow{"EmptyStringAsString", RegValue::ofString(""), RegType::String},
        TypeRow{"StringAsDword", RegValue::ofString("8080"), RegType::Dword},
        TypeRow{"StringAsBinary", RegValue::ofString("x"), RegType::Binary},
        TypeRow{"DwordAsDword", RegValue::ofDword(0xFFFFFFFFu), RegType::Dword},
        TypeRow{"DwordAsString", RegValue::ofDword(8080), RegType::String},
        TypeRow{"BinaryAsBinary", RegValue::ofBinary({0x2c, 0x01, 0x00, 0xff}), RegType::Binary},
        TypeRow{"EmptyBinaryAsBinary", RegValue::ofBinary({}), RegType::Binary},
        TypeRow{"BinaryAsDword", RegValue::ofBinary({1, 0, 0, 0}), RegType::Dword}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(RegistryTest, MissingKeyOrValueIsNotFound)
{
    std::string s;
    EXPECT_EQ(m_reg.readString(kLocal, "Server", s), kNotFound);
    ASSERT_EQ(m_reg.writeString(kLocal, "Server", "h"), 0);
    EXPECT_EQ(m_reg.readString(kLocal, "Port", s), kNotFound);
    EXPECT_EQ(m_reg.deleteValue(kLocal, "Port"), kNotFound);
    EXPECT_EQ(m_reg.deleteKey("Software\\Nothing"), kNotFound);
}

// --- Names ---------------------------------------------------------------------------------

TEST_F(RegistryTest, NamesMatchInAnyCaseAndKeepTheirFirstSpelling)
{
    ASSERT_EQ(m_reg.writeString(kLocal, "Server", "one"), 0);
    ASSERT_EQ(m_reg.writeString("SOFTWARE\\quellvane\\RAVELIND\\servers\\LOCAL", "SERVER", "two"),
              0);

    Registry reopened(m_file);
    std::string s;
    ASSERT_EQ(reopened.readString("software\\QUELLVANE\\ravelind\\Servers\\local", "server", s), 0);
    EXPECT_EQ(s, "two");
    std::vector<std::string> names;
    ASSERT_EQ(reopened.subkeyNames("SOFTWARE\\Quellvane\\Ravelind\\SERVERS", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Local"});
    ASSERT_EQ(reopened.valueNames(kLocal, names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Server"});
    ASSERT_EQ(reopened.subkeyNames("", names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"Software"});
}

TEST_F(RegistryTest, InvalidPathsAreRefusedAndChangeNothing)
{
    for (const char *path : {"", "\\Software", "Software\\", "Software\\\\Servers", "Soft\nware"})
        EXPECT_EQ(m_reg.writeDword(path, "Port", 1), kBadPath) << path;
    EXPECT_EQ(m_reg.deleteKey(""), kBadPath);
    EXPECT_FALSE(std::filesystem::exists(m_file));
}

TEST_F(RegistryTest, SubkeysAndValuesEnumerateInCreationOrder)
{
    const std::string servers = "Software\\Quellvane\\Ravelind\\Servers";
    for (const char *name : {"zeta", "Alpha", "mid", "Beta"})
        ASSERT_EQ(m_reg.createKey(servers + "\\" + name), 0);
    for (const char *name : {"Z", "a", "M"})
        ASSERT_EQ(m_reg.writeDword(servers, name, 1), 0);
    // Rewriting an existing value keeps its place.
    ASSERT_EQ(m_reg.writeDword(servers, "z", 2), 0);

    Registry reopened(m_file);
    std::vector<std::string> names;
    ASSERT_EQ(reopened.subkeyNames(servers, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Alpha", "mid", "Beta"}));
    ASSERT_EQ(reopened.valueNames(servers, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"Z", "a", "M"}));
}

// --- Delete, save, restore -----------------------------------------------------------------

TEST_F(RegistryTest, DeleteKeyRemovesEverythingBelowAndNothingBeside)
{
    const std::string base = "Software\\Quellvane\\Ravelind\\Settings";
    ASSERT_EQ(m_reg.writeString(base + "\\Menu\\Diff", "CommandLine", "/usr/bin/meld"), 0);
    ASSERT_EQ(m_reg.writeString(base + "\\Menu\\Diff\\Deeper\\Still", "X", "y"), 0);
    ASSERT_EQ(m_reg.writeDword(base, "SaveUserPass", 1), 0);
    ASSERT_EQ(m_reg.writeDword(base + "\\Other", "Keep", 1), 0);

    ASSERT_EQ(m_reg.deleteKey(base + "\\MENU"), 0);

    Registry reopened(m_file);
    EXPECT_FALSE(reopened.keyExists(base + "\\Menu"));
    EXPECT_FALSE(reopened.keyExists(base + "\\Menu\\Diff\\Deeper\\Still"));
    std::uint32_t d = 0;
    EXPECT_EQ(reopened.readDword(base, "SaveUserPass", d), 0);
    EXPECT_EQ(reopened.readDword(base + "\\Other", "Keep", d), 0);
}

RegKey sampleServers()
{
    RegKey servers{"Servers", {{"Top", RegValue::ofDword(7)}}, {}};
    servers.subkeys.push_back(RegKey{"Local",
                                     {{"Server", RegValue::ofString("127.0.0.1")},
                                      {"Port", RegValue::ofDword(8080)},
                                      {"ColMain", RegValue::ofBinary({0x2c, 1, 0, 0})}},
                                     {}});
    servers.subkeys.push_back(
        RegKey{"Remote \"x\" [1]",
               {{"Password", RegValue::ofString("p\\w\"d")}},
               {RegKey{"Nested", {{"", RegValue::ofString("default")}}, {}}}});
    return servers;
}

TEST_F(RegistryTest, SavedSubtreeRestoresExactlyAndOnlyBelowTheTarget)
{
    const std::string servers = "Software\\Quellvane\\Ravelind\\Servers";
    ASSERT_EQ(m_reg.replaceKey(servers, sampleServers()), 0);
    ASSERT_EQ(m_reg.writeDword("Software\\Quellvane\\Ravelind\\Settings", "StartUp", 1), 0);
    const auto saved = m_dir / "profiles.rvl";
    ASSERT_EQ(m_reg.saveKey(servers, saved), 0);
    EXPECT_EQ(fileMode(saved), 0600u);

    ASSERT_EQ(m_reg.deleteKey(servers + "\\Local"), 0);
    ASSERT_EQ(m_reg.writeDword(servers + "\\Added", "Port", 1), 0);
    std::string why;
    ASSERT_EQ(m_reg.restoreKey(servers, saved, why), 0) << why;

    Registry reopened(m_file);
    RegKey got;
    ASSERT_EQ(reopened.readKey(servers, got), 0);
    EXPECT_EQ(got, sampleServers());
    std::uint32_t d = 0;
    EXPECT_EQ(reopened.readDword("Software\\Quellvane\\Ravelind\\Settings", "StartUp", d), 0);

    RegKeyFile file;
    ASSERT_EQ(Registry::readKeyFile(saved, file, why), 0) << why;
    EXPECT_EQ(file.keyPath, servers);
}

struct BadFileRow
{
    const char *name;
    const char *text;
};

void PrintTo(const BadFileRow &row, std::ostream *os)
{
    *os << row.name;
}

class RegistryBadKeyFileTest : public RegistryTest, public ::testing::WithParamInterface<BadFileRow>
{
};

TEST_P(RegistryBadKeyFileTest, IsRefusedWithAReasonAndChangesNothing)
{
    const std::string servers = "Software\\Quellvane\\Ravelind\\Servers";
    ASSERT_EQ(m_reg.replaceKey(servers, sampleServers()), 0);
    const std::string before = fileText(m_file);
    const auto source = m_dir / "bad.rvl";
    writeText(source, GetParam().text);

    std::string why;
    EXPECT_TRUE(failed(m_reg.restoreKey(servers, source, why)));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(fileText(m_file), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RegistryBadKeyFileTest,
    ::testing::Values(
        BadFileRow{"Empty", ""}, BadFileRow{"HeaderOnly", "Ravelind Registry 1\n"},
        BadFileRow{"NoHeader", "[Software\\Quellvane\\Ravelind\\Servers]\n"},
        BadFileRow{"WindowsHeader", "Windows Registry Editor Version 5.00\n[A]\n"},
        BadFileRow{"CutInsideText", "Ravelind Registry 1\n[S\\Servers\\L]\n\"Server\"=\"12"},
        BadFileRow{"DwordTooLong", "Ravelind Registry 1\n[S]\n\"P\"=dword:000000001\n"},
        BadFileRow{"DwordNotHex", "Ravelind Registry 1\n[S]\n\"P\"=dword:1g\n"},
        BadFileRow{"OddHex", "Ravelind Registry 1\n[S]\n\"C\"=hex:2c,1\n"},
        BadFileRow{"TrailingComma", "Ravelind Registry 1\n[S]\n\"C\"=hex:2c,\n"},
        BadFileRow{"UnknownEscape", "Ravelind Registry 1\n[S]\n\"C\"=\"a\\qb\"\n"},
        BadFileRow{"ValueBeforeKey", "Ravelind Registry 1\n\"C\"=\"a\"\n[S]\n"},
        BadFileRow{"EmptyKeyName", "Ravelind Registry 1\n[S\\\\T]\n"},
        BadFileRow{"KeyOutsideTheFirst", "Ravelind Registry 1\n[S\\Servers]\n[S\\Settings]\n"},
        BadFileRow{"BinaryGarbage", "\x7f"
                                    "ELF\x02\x01\x01\x00\x00\x00"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(RegistryTest, MissingRestoreSourceChangesNothing)
{
    std::string why;
    EXPECT_EQ(m_reg.restoreKey("Software\\S", m_dir / "none.rvl", why), kNotFound);
    EXPECT_FALSE(std::filesystem::exists(m_file));
}

// --- The text form -------------------------------------------------------------------------

struct ParseRow
{
    const char *name;
    const char *text;
    RegKey expected; // the key "K" below the root
};

void PrintTo(const ParseRow &row, std::ostream *os)
{
    *os << row.name;
}

class RegistryParseTest : public ::testing::TestWithParam<ParseRow>
{
};

TEST_P(RegistryParseTest, HandWrittenTextReadsAsMeant)
{
    RegKey root;
    std::string why;
    ASSERT_EQ(Registry::parse(GetParam().text, root, why), 0) << why;
    ASSERT_EQ(root.subkeys.size(), 1u);
    EXPECT_EQ(root.subkeys[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RegistryParseTest,
    ::testing::Values(
        ParseRow{"CrLfCommentsAndBlanks",
                 "\r\n; settings\r\nRavelind Registry 1\r\n\r\n  [K]  \r\n\t\"A\"=\"x\"\r\n",
                 RegKey{"K", {{"A", RegValue::ofString("x")}}, {}}},
        ParseRow{"BlanksAroundEquals", "Ravelind Registry 1\n[K]\n\"P\" = dword:1F90\n",
                 RegKey{"K", {{"P", RegValue::ofDword(8080)}}, {}}},
        ParseRow{"ShortDwordUpperHex", "Ravelind Registry 1\n[K]\n\"P\"=dword:1F90\n",
                 RegKey{"K", {{"P", RegValue::ofDword(8080)}}, {}}},
        ParseRow{"EmptyBinary", "Ravelind Registry 1\n[K]\n\"B\"=hex:\n",
                 RegKey{"K", {{"B", RegValue::ofBinary({})}}, {}}},
        ParseRow{"Escapes", "Ravelind Registry 1\n[K]\n\"a\\\"b\"=\"\\\\ \\n\\r\\x00\\x7F\"\n",
                 RegKey{"K", {{"a\"b", RegValue::ofString(std::string("\\ \n\r\0\x7f", 6))}}, {}}},
        ParseRow{"SectionMakesParentsAndSectionsMerge",
                 "Ravelind Registry 1\n[K\\B\\C]\n[k]\n\"A\"=dword:1\n[K\\b]\n\"X\"=dword:2\n"
                 "\"x\"=dword:3\n",
                 RegKey{"K",
                        {{"A", RegValue::ofDword(1)}},
                        {RegKey{"B", {{"X", RegValue::ofDword(3)}}, {RegKey{"C", {}, {}}}}}}},
        ParseRow{"KeyNameWithBrackets", "Ravelind Registry 1\n[K\\[x]]\n",
                 RegKey{"K", {}, {RegKey{"[x]", {}, {}}}}}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST(RegistryFormat, ZeroByteFileIsAnEmptyStore)
{
    RegKey root;
    std::string why;
    EXPECT_EQ(Registry::parse("", root, why), 0);
    EXPECT_TRUE(root.subkeys.empty());
}

// Random trees with awkward names and data survive format and parse unchanged.
TEST(RegistryFormat, RandomTreesSurviveARoundTrip)
{
    std::mt19937 rng(20261207);
    auto randomText = [&rng](bool keyName) {
        static const std::string alphabet =
            std::string("aZ09 _-.\"\\[]=;:\xc3\xa9\t\n\r\x01\x7f") + std::string(1, '\0');
        std::string s;
        const std::size_t length = rng() % 8 + (keyName ? 1 : 0);
        for (std::size_t i = 0; i < length; ++i) {
            char c = alphabet[rng() % alphabet.size()];
            if (keyName && (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == '\x7f'))
                c = 'k';
            s += c;
        }
        return s;
    };
    auto randomValue = [&]() {
        switch (rng() % 3) {
        case 0:
            return RegValue::ofString(randomText(false));
        case 1:
            return RegValue::ofDword(static_cast<std::uint32_t>(rng()));
        default: {
            std::vector<std::uint8_t> b(rng() % 40);
            for (auto &x : b)
                x = static_cast<std::uint8_t>(rng());
            return RegValue::ofBinary(b);
        }
        }
    };
    for (int round = 0; round < 200; ++round) {
        RegKey root;
        for (int k = 0; k < 6; ++k) {
            std::string path = randomText(true);
            for (unsigned depth = rng() % 3; depth > 0; --depth) {
                path += '\\';
                path += randomText(true);
            }
            // Keys whose names differ only in case would merge; unique names keep the check exact.
            path += std::to_string(k);
            RegKey *key = root.ensure(path);
            ASSERT_NE(key, nullptr) << path;
            for (unsigned v = rng() % 4; v > 0; --v)
                key->setValue(randomText(false) + std::to_string(v), randomValue());
        }
        RegKey back;
        std::string why;
        ASSERT_EQ(Registry::parse(Registry::format(root), back, why), 0) << why;
        ASSERT_EQ(back, root) << Registry::format(root);
    }
}

// --- Two writers, stale readers ------------------------------------------------------------

TEST_F(RegistryTest, AWriterWithAStaleCopyKeepsTheOtherWritersChange)
{
    Registry other(m_file);
    ASSERT_EQ(m_reg.writeDword(kLocal, "Port", 1), 0);
    std::uint32_t d = 0;
    ASSERT_EQ(other.readDword(kLocal, "Port", d), 0);

    ASSERT_EQ(m_reg.writeString(kLocal, "Server", "mine"), 0);
    ASSERT_EQ(other.writeString(kLocal, "URL", "/theirs"), 0);

    std::string s;
    EXPECT_EQ(m_reg.readString(kLocal, "URL", s), 0) << "reader did not pick up the change";
    EXPECT_EQ(s, "/theirs");
    Registry fresh(m_file);
    EXPECT_EQ(fresh.readString(kLocal, "Server", s), 0);
    EXPECT_EQ(s, "mine");
}

// "P<writer>_<index>", built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on
// a chain of string additions that starts with a literal.
std::string writerValueName(int writer, int index)
{
    std::string name = "P";
    name += std::to_string(writer);
    name += '_';
    name += std::to_string(index);
    return name;
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 150;
    pid_t children[2] = {};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            Registry reg(m_file);
            int failures = 0;
            for (int i = 0; i < kWrites; ++i)
                failures += reg.writeDword(kLocal, writerValueName(c, i),
                                           static_cast<std::uint32_t>(i)) != 0;
            ::_exit(failures == 0 ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Registry fresh(m_file);
    std::vector<std::string> names;
    ASSERT_EQ(fresh.valueNames(kLocal, names), 0);
    EXPECT_EQ(names.size(), 2u * kWrites);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kWrites; ++i) {
            std::uint32_t d = 0;
            EXPECT_EQ(fresh.readDword(kLocal, writerValueName(c, i), d), 0);
            EXPECT_EQ(d, static_cast<std::uint32_t>(i));
        }
    }
    EXPECT_FALSE(fresh.takeNotice().has_value());
}

// --- Damaged file, permissions -------------------------------------------------------------

TEST_F(RegistryTest, DamagedFileIsKeptAsideNotOverwrittenAndReportedOnce)
{
    const std::string damaged = "Ravelind Registry 1\n[Software\\X]\n\"Port\"=dword:zz\n";
    writeText(m_file, damaged);

    std::uint32_t d = 0;
    EXPECT_EQ(m_reg.readDword("Software\\X", "Port", d), kNotFound);
    const auto notice = m_reg.takeNotice();
    ASSERT_TRUE(notice.has_value());
    EXPECT_FALSE(m_reg.takeNotice().has_value());
    EXPECT_NE(notice->reason.find("line 3"), std::string::npos) << notice->reason;
    EXPECT_EQ(notice->setAsidePath.parent_path(), m_file.parent_path());
    EXPECT_EQ(notice->setAsidePath.filename().string().rfind("registry.reg.bad-", 0), 0u);

    ASSERT_EQ(m_reg.writeDword("Software\\X", "Port", 5), 0);
    EXPECT_EQ(fileText(notice->setAsidePath), damaged);
    Registry fresh(m_file);
    ASSERT_EQ(fresh.readDword("Software\\X", "Port", d), 0);
    EXPECT_EQ(d, 5u);
}

TEST_F(RegistryTest, AWriteNeverReplacesADamagedFileWithoutKeepingIt)
{
    const std::string damaged = "not ours\n";
    writeText(m_file, damaged);
    ASSERT_EQ(m_reg.writeDword("Software\\X", "Port", 5), 0);

    int kept = 0;
    for (const auto &entry : std::filesystem::directory_iterator(m_dir.path())) {
        if (entry.path().filename().string().rfind("registry.reg.bad-", 0) == 0) {
            EXPECT_EQ(fileText(entry.path()), damaged);
            ++kept;
        }
    }
    EXPECT_EQ(kept, 1);
    EXPECT_TRUE(m_reg.takeNotice().has_value());
}

TEST_F(RegistryTest, FilesAreCreatedForTheOwnerOnly)
{
    const mode_t old = ::umask(0);
    const auto nested = m_dir / "config" / "Ravelind";
    Registry reg(nested / "registry.reg");
    const ResultCode write = reg.writeString(kLocal, "Password", "secret");
    const ResultCode save = reg.saveKey(kLocal, m_dir / "export.rvl");
    ::umask(old);
    ASSERT_EQ(write, 0);
    ASSERT_EQ(save, 0);
    EXPECT_EQ(fileMode(nested / "registry.reg"), 0600u);
    EXPECT_EQ(fileMode(nested / "registry.reg.lock"), 0600u);
    EXPECT_EQ(fileMode(nested), 0700u);
    EXPECT_EQ(fileMode(m_dir / "export.rvl"), 0600u);
}

TEST_F(RegistryTest, ALinkedSettingsFileStaysALink)
{
    std::filesystem::create_directory(m_dir / "dotfiles");
    const auto real = m_dir / "dotfiles" / "registry.reg";
    writeText(real, "Ravelind Registry 1\n[Software\\A]\n\"X\"=dword:1\n");
    std::filesystem::create_symlink(real, m_file);

    ASSERT_EQ(m_reg.writeDword("Software\\A", "Y", 2), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(m_file));
    platform::Registry direct(real);
    std::vector<std::string> names;
    ASSERT_EQ(direct.valueNames("Software\\A", names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"X", "Y"}));
}

TEST_F(RegistryTest, SavingOverAnExistingFileReplacesItWhole)
{
    const auto target = m_dir / "export.rvl";
    writeText(target, std::string(10000, 'x'));
    ASSERT_EQ(m_reg.writeDword(kLocal, "Port", 1), 0);
    ASSERT_EQ(m_reg.saveKey(kLocal, target), 0);
    RegKeyFile file;
    std::string why;
    ASSERT_EQ(Registry::readKeyFile(target, file, why), 0) << why;
    EXPECT_EQ(file.content.values.size(), 1u);
    EXPECT_EQ(fileMode(target), 0600u);
}

TEST(RegistryLocation, EnvironmentChoosesTheFolder)
{
    const char *savedDir = std::getenv("RAVELIND_CONFIG_DIR");
    const char *savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keepDir = savedDir ? savedDir : "";
    const std::string keepXdg = savedXdg ? savedXdg : "";

    ::setenv("RAVELIND_CONFIG_DIR", "/tmp/rv", 1);
    EXPECT_EQ(Registry::defaultFile(), std::filesystem::path("/tmp/rv/registry.reg"));
    ::unsetenv("RAVELIND_CONFIG_DIR");
    ::setenv("XDG_CONFIG_HOME", "/home/u/.cfg", 1);
    EXPECT_EQ(Registry::defaultFile(),
              std::filesystem::path("/home/u/.cfg/Quellvane/Ravelind/registry.reg"));

    savedDir ? ::setenv("RAVELIND_CONFIG_DIR", keepDir.c_str(), 1)
             : ::unsetenv("RAVELIND_CONFIG_DIR");
    savedXdg ? ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
