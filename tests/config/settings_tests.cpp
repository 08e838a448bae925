#include "tempfolder.h"

#include <config/registrykeys.h>
#include <config/settings.h>

#include <platform/registry.h>

#include <gtest/gtest.h>

using namespace config;
using platform::RegValue;

namespace {

class SettingsTest : public ::testing::Test
{
protected:
    void store(std::string_view name, RegValue v)
    {
        ASSERT_EQ(m_reg.writeValue(keys::kSettings, name, std::move(v)), 0);
    }
    SettingsValues loaded()
    {
        Settings s(m_reg, "/var/tmp");
        EXPECT_EQ(s.load(), 0);
        return s.values();
    }

    TempFolder m_dir;
    platform::Registry m_reg{m_dir / "registry.reg"};
};

std::vector<std::uint8_t> le32(std::initializer_list<std::int32_t> entries)
{
    std::vector<std::uint8_t> bytes;
    for (const std::int32_t e : entries) {
        const auto u = static_cast<std::uint32_t>(e);
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                      static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)});
    }
    return bytes;
}

TEST_F(SettingsTest, NoSettingsKeyGivesEveryDefault)
{
    ASSERT_EQ(m_reg.writeDword("Software\\Quellvane\\Ravelind\\Servers\\A", "Port", 1), 0);
    const SettingsValues v = loaded();

    EXPECT_EQ(v.saveUserPass, 0u);
    EXPECT_EQ(v.deleteLocalFile, 0u);
    EXPECT_EQ(v.displayUnitSize, 0u);
    EXPECT_EQ(v.defaultGetFileFolder, "/var/tmp/");
    EXPECT_EQ(v.defaultLogFolder, "/var/tmp/");
    EXPECT_EQ(v.mainWindow, ShowState::Normal);
    EXPECT_EQ(v.mainRect, (Rect{0, 0, 800, 600}));
    EXPECT_EQ(v.clientWindow, ShowState::Normal);
    EXPECT_EQ(v.clientRect, (Rect{0, 0, 700, 500}));
    EXPECT_EQ(v.folderViewWidth, 250);
    EXPECT_EQ(v.folderViewHeight, 400);
    EXPECT_EQ(v.saveWindowSize, 0u);
    EXPECT_EQ(v.saveColumnSize, 0u);
    EXPECT_EQ(v.saveColumnOrder, 0u);
    EXPECT_EQ(v.colMain, (std::array<std::int32_t, 7>{300, 100, 100, 70, 300, 150, 100}));
    EXPECT_EQ(v.colMainOrder, (std::array<std::int32_t, 7>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(v.colHistory,
              (std::array<std::int32_t, 9>{70, 200, 120, 200, 200, 70, 200, 120, 200}));
    EXPECT_EQ(v.colHistoryOrder, (std::array<std::int32_t, 9>{0, 1, 2, 3, 0, 1, 2, 3, 4}));
    EXPECT_EQ(v.startUp, 0u);
    EXPECT_EQ(v.filePos, 0u);
    EXPECT_EQ(v.timeStamp, "");
    EXPECT_EQ(v.undoUnchangedCheckIn, 0u);
    EXPECT_EQ(v.startShowState(), ShowState::Normal);
    EXPECT_FALSE(m_reg.keyExists(keys::kSettings)) << "loading wrote something";
}

TEST_F(SettingsTest, NoFileAtAllGivesTheSameDefaultsAsAnEmptyKey)
{
    const SettingsValues none = loaded();
    ASSERT_EQ(m_reg.createKey(keys::kSettings), 0);
    EXPECT_EQ(loaded(), none);
}

struct ShowRow
{
    const char *name;
    std::uint32_t stored;
    std::uint32_t saveWindowSize;
    ShowState read;
    ShowState start;
};

void PrintTo(const ShowRow &row, std::ostream *os)
{
    *os << row.name;
}

class SettingsShowStateTest : public SettingsTest, public ::testing::WithParamInterface<ShowRow>
{
};

TEST_P(SettingsShowStateTest, ReadsAsOneOfTheThreeStates)
{
    store(keys::kMainWindow, RegValue::ofDword(GetParam().stored));
    store(keys::kClientWindow, RegValue::ofDword(GetParam().stored));
    store(keys::kSaveWindowSize, RegValue::ofDword(GetParam().saveWindowSize));
    const SettingsValues v = loaded();
    EXPECT_EQ(v.mainWindow, GetParam().read);
    EXPECT_EQ(v.clientWindow, GetParam().read);
    EXPECT_EQ(v.startShowState(), GetParam().start);
}

INSTANTIATE_TEST_SUITE_P(
    States, SettingsShowStateTest,
    ::testing::Values(ShowRow{"NormalSaved", 1, 1, ShowState::Normal, ShowState::Normal},
                      ShowRow{"MaximizedSaved", 3, 1, ShowState::Maximized, ShowState::Maximized},
                      ShowRow{"MaximizedNotSaved", 3, 0, ShowState::Maximized, ShowState::Normal},
                      ShowRow{"MinimizedSaved", 6, 1, ShowState::Minimized, ShowState::Minimized},
                      ShowRow{"FiveReadsAsNormal", 5, 1, ShowState::Normal, ShowState::Normal},
                      ShowRow{"ZeroReadsAsNormal", 0, 1, ShowState::Normal, ShowState::Normal},
                      ShowRow{"HugeReadsAsNormal", 0xFFFFFFFFu, 1, ShowState::Normal,
                              ShowState::Normal}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

struct ColumnRow
{
    const char *name;
    std::string_view value;
    RegValue stored;
    std::array<std::int32_t, 7> colMain;
    std::array<std::int32_t, 7> colMainOrder;
    std::array<std::int32_t, 9> colHistory;
    std::array<std::int32_t, 9> colHistoryOrder;
};

void PrintTo(const ColumnRow &row, std::ostream *os)
{
    *os << row.name;
}

class SettingsColumnTest : public SettingsTest, public ::testing::WithParamInterface<ColumnRow>
{
};

TEST_P(SettingsColumnTest, StoredArrayReplacesOnlyWhatItValidlyHolds)
{
    store(GetParam().value, GetParam().stored);
    const SettingsValues v = loaded();
    EXPECT_EQ(v.colMain, GetParam().colMain);
    EXPECT_EQ(v.colMainOrder, GetParam().colMainOrder);
    EXPECT_EQ(v.colHistory, GetParam().colHistory);
    EXPECT_EQ(v.colHistoryOrder, GetParam().colHistoryOrder);
}

constexpr std::array<std::int32_t, 7> kMain{300, 100, 100, 70, 300, 150, 100};
constexpr std::array<std::int32_t, 7> kMainOrder{0, 1, 2, 3, 4, 5, 6};
constexpr std::array<std::int32_t, 9> kHistory{70, 200, 120, 200, 200, 70, 200, 120, 200};
constexpr std::array<std::int32_t, 9> kHistoryOrder{0, 1, 2, 3, 0, 1, 2, 3, 4};

INSTANTIATE_TEST_SUITE_P(
    Columns, SettingsColumnTest,
    ::testing::Values(ColumnRow{"ColMainAsText", keys::kColMain, RegValue::ofString("1,2,3"), kMain,
                                kMainOrder, kHistory, kHistoryOrder},
                      ColumnRow{"ColMainAsDword", keys::kColMain, RegValue::ofDword(5), kMain,
                                kMainOrder, kHistory, kHistoryOrder},
                      ColumnRow{"ColMainOf32Bytes", keys::kColMain,
                                RegValue::ofBinary(le32({1, 2, 3, 4, 5, 6, 7, 8})), kMain,
                                kMainOrder, kHistory, kHistoryOrder},
                      ColumnRow{"ColMainOf12Bytes",
                                keys::kColMain,
                                RegValue::ofBinary(le32({11, 12, 13})),
                                {11, 12, 13, 70, 300, 150, 100},
                                kMainOrder,
                                kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColMainOf13BytesIgnoresThePartialEntry",
                                keys::kColMain,
                                [] {
                                    auto b = le32({11, 12, 13});
                                    b.push_back(0x7f);
                                    return RegValue::ofBinary(b);
                                }(),
                                {11, 12, 13, 70, 300, 150, 100},
                                kMainOrder,
                                kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColMainEmpty", keys::kColMain, RegValue::ofBinary({}), kMain,
                                kMainOrder, kHistory, kHistoryOrder},
                      ColumnRow{"ColMainWhole",
                                keys::kColMain,
                                RegValue::ofBinary(le32({1, 2, 3, 4, 5, 6, -7})),
                                {1, 2, 3, 4, 5, 6, -7},
                                kMainOrder,
                                kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColHistoryWhole",
                                keys::kColHistory,
                                RegValue::ofBinary(le32({1, 2, 3, 4, 5, 6, 7, 8, 9})),
                                kMain,
                                kMainOrder,
                                {1, 2, 3, 4, 5, 6, 7, 8, 9},
                                kHistoryOrder},
                      ColumnRow{"ColHistoryOf40Bytes", keys::kColHistory,
                                RegValue::ofBinary(le32({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})), kMain,
                                kMainOrder, kHistory, kHistoryOrder},
                      ColumnRow{"ColMainOrderPermuted",
                                keys::kColMainOrder,
                                RegValue::ofBinary(le32({6, 5, 4, 3, 2, 1, 0})),
                                kMain,
                                {6, 5, 4, 3, 2, 1, 0},
                                kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColMainOrderShortStillAPermutation",
                                keys::kColMainOrder,
                                RegValue::ofBinary(le32({2, 0, 1})),
                                kMain,
                                {2, 0, 1, 3, 4, 5, 6},
                                kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColMainOrderShortRepeatingAColumn", keys::kColMainOrder,
                                RegValue::ofBinary(le32({6, 5})), kMain, kMainOrder, kHistory,
                                kHistoryOrder},
                      ColumnRow{"ColMainOrderOutOfRange", keys::kColMainOrder,
                                RegValue::ofBinary(le32({0, 1, 2, 3, 4, 5, 7})), kMain, kMainOrder,
                                kHistory, kHistoryOrder},
                      ColumnRow{"ColHistoryOrderBadFolderLayoutOnly",
                                keys::kColHistoryOrder,
                                RegValue::ofBinary(le32({3, 2, 1, 0, 0, 0, 0, 0, 0})),
                                kMain,
                                kMainOrder,
                                kHistory,
                                {3, 2, 1, 0, 0, 1, 2, 3, 4}}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

TEST_F(SettingsTest, ValuesOfTheWrongTypeKeepTheirDefaults)
{
    store(keys::kSaveUserPass, RegValue::ofString("1"));
    store(keys::kFolderViewWidth, RegValue::ofBinary(le32({99})));
    store(keys::kDefaultLogFolder, RegValue::ofDword(1));
    store(keys::kDeleteLocalFile, RegValue::ofDword(1));
    const SettingsValues v = loaded();
    EXPECT_EQ(v.saveUserPass, 0u);
    EXPECT_EQ(v.folderViewWidth, 250);
    EXPECT_EQ(v.defaultLogFolder, "/var/tmp/");
    EXPECT_EQ(v.deleteLocalFile, 1u);
}

TEST_F(SettingsTest, WrittenFieldsReachRegistryAndMemoryAndNothingElseIsWritten)
{
    Settings s(m_reg, "/var/tmp");
    ASSERT_EQ(s.load(), 0);
    SettingsValues v = s.values();
    v.mainWindow = ShowState::Maximized;
    v.mainRect = {-1200, -5, 0, 0};
    v.saveWindowSize = 1;
    v.colHistory = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    v.timeStamp = "2026-12-07 10:00";
    v.saveUserPass = 1; // changed here, but not among the written fields
    ASSERT_EQ(
        s.write(v, {SettingField::MainWindow, SettingField::MainRect, SettingField::SaveWindowSize,
                    SettingField::ColHistory, SettingField::TimeStamp}),
        0);

    EXPECT_EQ(s.values().mainRect, v.mainRect);
    EXPECT_EQ(s.values().saveUserPass, 0u);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.valueNames(keys::kSettings, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"MainWindow", "MainLeft", "MainTop", "MainRight",
                                               "MainBottom", "SaveWindowSize", "ColHistory",
                                               "TimeStamp"}));

    SettingsValues expected = v;
    expected.saveUserPass = 0;
    EXPECT_EQ(loaded(), expected);
}

// The "always" answer of the unchanged-copy question: stored under its own name, read back
// at the next start.
TEST_F(SettingsTest, TheUnchangedCheckInAnswerIsStoredAndReadBack)
{
    Settings s(m_reg, "/var/tmp");
    ASSERT_EQ(s.load(), 0);
    SettingsValues v = s.values();
    v.undoUnchangedCheckIn = 1;
    ASSERT_EQ(s.write(v, {SettingField::UndoUnchangedCheckIn}), 0);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.valueNames(keys::kSettings, names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"UndoUnchangedCheckIn"});
    EXPECT_EQ(loaded().undoUnchangedCheckIn, 1u);
}

TEST_F(SettingsTest, UpdateWritesOnlyTheChangedFields)
{
    Settings s(m_reg, "/var/tmp");
    ASSERT_EQ(s.load(), 0);
    SettingsValues v = s.values();
    v.saveColumnOrder = 1;
    v.colMainOrder = {6, 5, 4, 3, 2, 1, 0};
    v.filePos = 1234;
    ASSERT_EQ(s.update(v), 0);
    std::vector<std::string> names;
    ASSERT_EQ(m_reg.valueNames(keys::kSettings, names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"SaveColumnOrder", "ColMainOrder", "FilePos"}));
    EXPECT_EQ(s.values(), v);
    EXPECT_EQ(loaded(), v);
}

TEST_F(SettingsTest, AFailedWriteLeavesMemoryAsItWas)
{
    writeText(m_dir / "blocker", "a file where a folder is needed");
    platform::Registry blocked(m_dir / "blocker" / "registry.reg");
    Settings s(blocked, "/tmp");
    EXPECT_TRUE(platform::failed(s.load())) << "an unreadable store is reported";
    const SettingsValues before = s.values();
    SettingsValues v = before;
    v.saveUserPass = 1;
    EXPECT_TRUE(platform::failed(s.write(v, {SettingField::SaveUserPass})));
    EXPECT_TRUE(platform::failed(s.update(v)));
    EXPECT_EQ(s.values(), before);
}

} // namespace
