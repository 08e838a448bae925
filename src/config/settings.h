#pragma once

// The persistent user settings under "Software\Quellvane\Ravelind\Settings": one table of
// values with their defaults, loaded once at start-up; every later change goes to the
// registry and to the in-memory copy together (Settings::write / update).

#include <platform/resultcode.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace platform {
class Registry;
}

namespace config {

// Window show states as stored: anything else reads as Normal.
enum class ShowState : std::int32_t { Normal = 1, Maximized = 3, Minimized = 6 };

struct Rect
{
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect &) const = default;
};

struct SettingsValues
{
    std::uint32_t saveUserPass = 0;
    std::uint32_t deleteLocalFile = 0;
    std::uint32_t displayUnitSize = 0;
    std::string defaultGetFileFolder; // default: the temporary folder with a trailing "/"
    std::string defaultLogFolder;     // default: the temporary folder with a trailing "/"
    ShowState mainWindow = ShowState::Normal;
    Rect mainRect{0, 0, 800, 600};
    ShowState clientWindow = ShowState::Normal;
    Rect clientRect{0, 0, 700, 500};
    std::int32_t folderViewWidth = 250;
    std::int32_t folderViewHeight = 400;
    std::uint32_t saveWindowSize = 0;
    std::uint32_t saveColumnSize = 0;
    std::uint32_t saveColumnOrder = 0;
    std::array<std::int32_t, 7> colMain{300, 100, 100, 70, 300, 150, 100};
    std::array<std::int32_t, 7> colMainOrder{0, 1, 2, 3, 4, 5, 6};
    // First 4 entries: the file-history layout; last 5: the folder-history layout.
    std::array<std::int32_t, 9> colHistory{70, 200, 120, 200, 200, 70, 200, 120, 200};
    std::array<std::int32_t, 9> colHistoryOrder{0, 1, 2, 3, 0, 1, 2, 3, 4};
    std::uint32_t startUp = 0;       // 0: show the tip of the day at start-up
    std::uint32_t filePos = 0;       // read position in the tips file
    std::string timeStamp;           // tips file time when filePos was valid; empty when none
    std::uint32_t showToolbar = 1;   // the main window's toolbar is shown
    std::uint32_t showStatusBar = 1; // the main window's status bar is shown
    // A check-in of a copy unchanged since its check-out: 0 asks whether to undo the check-out
    // instead, 1 undoes it without asking (the question's "always" answer).
    std::uint32_t undoUnchangedCheckIn = 0;

    // The show command for the main window at start-up: the stored state only when window
    // sizes are restored, else Normal.
    ShowState startShowState() const;

    bool operator==(const SettingsValues &) const = default;
};

// One stored value each (the rectangles are four values: the whole rectangle is written).
enum class SettingField {
    SaveUserPass,
    DeleteLocalFile,
    DisplayUnitSize,
    DefaultGetFileFolder,
    DefaultLogFolder,
    MainWindow,
    MainRect,
    ClientWindow,
    ClientRect,
    FolderViewWidth,
    FolderViewHeight,
    SaveWindowSize,
    SaveColumnSize,
    SaveColumnOrder,
    ColMain,
    ColMainOrder,
    ColHistory,
    ColHistoryOrder,
    StartUp,
    FilePos,
    TimeStamp,
    ShowToolbar,
    ShowStatusBar,
    UndoUnchangedCheckIn,
};

class Settings
{
public:
    // Defaults everywhere; the temporary folder is `tempFolder` (with a trailing "/" added
    // when missing), or the system's when empty.
    explicit Settings(platform::Registry &registry, std::string tempFolder = {});

    // Reads every value; a missing value or one of the wrong type keeps its default, a show
    // state other than 1, 3, 6 reads as 1, a column array longer than its table or not binary
    // keeps its defaults, a shorter one replaces only the entries it holds (whole 32-bit
    // little-endian entries), and an order array that is then not a permutation keeps the
    // default order. Returns 0, or the registry's error when the file cannot be read at all
    // (the defaults then apply).
    [[nodiscard]] platform::ResultCode load();

    const SettingsValues &values() const { return m_values; }

    // Writes the listed fields of `v` in one atomic change and, when that succeeds, copies
    // them into the in-memory values. On failure nothing changes in memory.
    [[nodiscard]] platform::ResultCode write(const SettingsValues &v,
                                             std::initializer_list<SettingField> fields);
    [[nodiscard]] platform::ResultCode write(const SettingsValues &v,
                                             std::span<const SettingField> fields);
    // Writes every field in which `v` differs from the in-memory values.
    [[nodiscard]] platform::ResultCode update(const SettingsValues &v);

private:
    platform::Registry &m_registry;
    SettingsValues m_values;
};

} // namespace config
