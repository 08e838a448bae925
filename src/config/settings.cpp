#include "config/settings.h"

#include "config/registrykeys.h"

#include <platform/registry.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>
#include <type_traits>
#include <vector>

namespace config {

using platform::RegNamedValue;
using platform::RegValue;
using platform::ResultCode;

namespace {

ShowState showStateFrom(std::uint32_t stored)
{
    switch (stored) {
    case 3:
        return ShowState::Maximized;
    case 6:
        return ShowState::Minimized;
    default:
        return ShowState::Normal;
    }
}

std::string systemTempFolder()
{
    std::error_code ec;
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp") : tmp.string();
}

std::string withTrailingSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// Overwrites the leading entries of `table` with the whole little-endian 32-bit entries held
// in `bytes`; false (nothing changed) when the value is larger than the table.
template<std::size_t N>
bool replaceLeading(std::array<std::int32_t, N> &table, const std::vector<std::uint8_t> &bytes)
{
    if (bytes.size() > N * 4)
        return false;
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        const std::uint32_t u = static_cast<std::uint32_t>(bytes[i]) |
                                static_cast<std::uint32_t>(bytes[i + 1]) << 8 |
                                static_cast<std::uint32_t>(bytes[i + 2]) << 16 |
                                static_cast<std::uint32_t>(bytes[i + 3]) << 24;
        table[i / 4] = static_cast<std::int32_t>(u);
    }
    return true;
}

template<std::size_t N> std::vector<std::uint8_t> toBytes(const std::array<std::int32_t, N> &table)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(N * 4);
    for (const std::int32_t v : table) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<std::uint8_t>(u >> shift));
    }
    return bytes;
}

// A column order is handed to the list header as it stands; one that names a column twice or
// not at all would hide or duplicate columns, so such a layout falls back to 0, 1, 2, ...
void keepIfPermutation(std::span<std::int32_t> order)
{
    std::vector<bool> seen(order.size(), false);
    bool valid = true;
    for (const std::int32_t v : order) {
        if (v < 0 || static_cast<std::size_t>(v) >= order.size() ||
            seen[static_cast<std::size_t>(v)]) {
            valid = false;
            break;
        }
        seen[static_cast<std::size_t>(v)] = true;
    }
    if (!valid) {
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<std::int32_t>(i);
    }
}

std::uint32_t asDword(std::int32_t v)
{
    return static_cast<std::uint32_t>(v);
}

// The stored values of one field, in the order they are written.
void appendField(const SettingsValues &v, SettingField f, std::vector<RegNamedValue> &out)
{
    auto dword = [&out](std::string_view name, std::uint32_t d) {
        out.push_back({std::string(name), RegValue::ofDword(d)});
    };
    auto text = [&out](std::string_view name, const std::string &s) {
        out.push_back({std::string(name), RegValue::ofString(s)});
    };
    auto binary = [&out](std::string_view name, std::vector<std::uint8_t> b) {
        out.push_back({std::string(name), RegValue::ofBinary(std::move(b))});
    };
    switch (f) {
    case SettingField::SaveUserPass:
        return dword(keys::kSaveUserPass, v.saveUserPass);
    case SettingField::DeleteLocalFile:
        return dword(keys::kDeleteLocalFile, v.deleteLocalFile);
    case SettingField::DisplayUnitSize:
        return dword(keys::kDisplayUnitSize, v.displayUnitSize);
    case SettingField::DefaultGetFileFolder:
        return text(keys::kDefaultGetFileFolder, v.defaultGetFileFolder);
    case SettingField::DefaultLogFolder:
        return text(keys::kDefaultLogFolder, v.defaultLogFolder);
    case SettingField::MainWindow:
        return dword(keys::kMainWindow, asDword(static_cast<std::int32_t>(v.mainWindow)));
    case SettingField::MainRect:
        dword(keys::kMainLeft, asDword(v.mainRect.left));
        dword(keys::kMainTop, asDword(v.mainRect.top));
        dword(keys::kMainRight, asDword(v.mainRect.right));
        return dword(keys::kMainBottom, asDword(v.mainRect.bottom));
    case SettingField::ClientWindow:
        return dword(keys::kClientWindow, asDword(static_cast<std::int32_t>(v.clientWindow)));
    case SettingField::ClientRect:
        dword(keys::kClientLeft, asDword(v.clientRect.left));
        dword(keys::kClientTop, asDword(v.clientRect.top));
        dword(keys::kClientRight, asDword(v.clientRect.right));
        return dword(keys::kClientBottom, asDword(v.clientRect.bottom));
    case SettingField::FolderViewWidth:
        return dword(keys::kFolderViewWidth, asDword(v.folderViewWidth));
    case SettingField::FolderViewHeight:
        return dword(keys::kFolderViewHeight, asDword(v.folderViewHeight));
    case SettingField::SaveWindowSize:
        return dword(keys::kSaveWindowSize, v.saveWindowSize);
    case SettingField::SaveColumnSize:
        return dword(keys::kSaveColumnSize, v.saveColumnSize);
    case SettingField::SaveColumnOrder:
        return dword(keys::kSaveColumnOrder, v.saveColumnOrder);
    case SettingField::ShowToolbar:
        return dword(keys::kShowToolbar, v.showToolbar);
    case SettingField::ShowStatusBar:
        return dword(keys::kShowStatusBar, v.showStatusBar);
    case SettingField::UndoUnchangedCheckIn:
        return dword(keys::kUndoUnchangedCheckIn, v.undoUnchangedCheckIn);
    case SettingField::ColMain:
        return binary(keys::kColMain, toBytes(v.colMain));
    case SettingField::ColMainOrder:
        return binary(keys::kColMainOrder, toBytes(v.colMainOrder));
    case SettingField::ColHistory:
        return binary(keys::kColHistory, toBytes(v.colHistory));
    case SettingField::ColHistoryOrder:
        return binary(keys::kColHistoryOrder, toBytes(v.colHistoryOrder));
    case SettingField::StartUp:
        return dword(keys::kStartUp, v.startUp);
    case SettingField::FilePos:
        return dword(keys::kFilePos, v.filePos);
    case SettingField::TimeStamp:
        return text(keys::kTimeStamp, v.timeStamp);
    }
}

void copyField(const SettingsValues &from, SettingField f, SettingsValues &to)
{
    switch (f) {
    case SettingField::SaveUserPass:
        to.saveUserPass = from.saveUserPass;
        break;
    case SettingField::DeleteLocalFile:
        to.deleteLocalFile = from.deleteLocalFile;
        break;
    case SettingField::DisplayUnitSize:
        to.displayUnitSize = from.displayUnitSize;
        break;
    case SettingField::DefaultGetFileFolder:
        to.defaultGetFileFolder = from.defaultGetFileFolder;
        break;
    case SettingField::DefaultLogFolder:
        to.defaultLogFolder = from.defaultLogFolder;
        break;
    case SettingField::MainWindow:
        to.mainWindow = from.mainWindow;
        break;
    case SettingField::MainRect:
        to.mainRect = from.mainRect;
        break;
    case SettingField::ClientWindow:
        to.clientWindow = from.clientWindow;
        break;
    case SettingField::ClientRect:
        to.clientRect = from.clientRect;
        break;
    case SettingField::FolderViewWidth:
        to.folderViewWidth = from.folderViewWidth;
        break;
    case SettingField::FolderViewHeight:
        to.folderViewHeight = from.folderViewHeight;
        break;
    case SettingField::SaveWindowSize:
        to.saveWindowSize = from.saveWindowSize;
        break;
    case SettingField::SaveColumnSize:
        to.saveColumnSize = from.saveColumnSize;
        break;
    case SettingField::SaveColumnOrder:
        to.saveColumnOrder = from.saveColumnOrder;
        break;
    case SettingField::ShowToolbar:
        to.showToolbar = from.showToolbar;
        break;
    case SettingField::ShowStatusBar:
        to.showStatusBar = from.showStatusBar;
        break;
    case SettingField::UndoUnchangedCheckIn:
        to.undoUnchangedCheckIn = from.undoUnchangedCheckIn;
        break;
    case SettingField::ColMain:
        to.colMain = from.colMain;
        break;
    case SettingField::ColMainOrder:
        to.colMainOrder = from.colMainOrder;
        break;
    case SettingField::ColHistory:
        to.colHistory = from.colHistory;
        break;
    case SettingField::ColHistoryOrder:
        to.colHistoryOrder = from.colHistoryOrder;
        break;
    case SettingField::StartUp:
        to.startUp = from.startUp;
        break;
    case SettingField::FilePos:
        to.filePos = from.filePos;
        break;
    case SettingField::TimeStamp:
        to.timeStamp = from.timeStamp;
        break;
    }
}

constexpr SettingField kAllFields[] = {
    SettingField::SaveUserPass,     SettingField::DeleteLocalFile,
    SettingField::DisplayUnitSize,  SettingField::DefaultGetFileFolder,
    SettingField::DefaultLogFolder, SettingField::MainWindow,
    SettingField::MainRect,         SettingField::ClientWindow,
    SettingField::ClientRect,       SettingField::FolderViewWidth,
    SettingField::FolderViewHeight, SettingField::SaveWindowSize,
    SettingField::SaveColumnSize,   SettingField::SaveColumnOrder,
    SettingField::ColMain,          SettingField::ColMainOrder,
    SettingField::ColHistory,       SettingField::ColHistoryOrder,
    SettingField::StartUp,          SettingField::FilePos,
    SettingField::TimeStamp,        SettingField::ShowToolbar,
    SettingField::ShowStatusBar,    SettingField::UndoUnchangedCheckIn,
};

} // namespace

ShowState SettingsValues::startShowState() const
{
    return saveWindowSize != 0 ? mainWindow : ShowState::Normal;
}

Settings::Settings(platform::Registry &registry, std::string tempFolder)
    : m_registry(registry)
{
    const std::string tmp =
        withTrailingSlash(tempFolder.empty() ? systemTempFolder() : std::move(tempFolder));
    m_values.defaultGetFileFolder = tmp;
    m_values.defaultLogFolder = tmp;
}

ResultCode Settings::load()
{
    SettingsValues v = m_values;
    platform::RegKey key;
    const ResultCode rc = m_registry.readKey(keys::kSettings, key);
    if (rc != 0) {
        // No "Settings" key: every default applies. Any other failure is reported, with the
        // defaults in place.
        return rc == platform::fromWin32(platform::err::FileNotFound) ? 0 : rc;
    }
    // A value of another type counts as absent, as a mismatching read does.
    auto dword = [&key](std::string_view name, auto &field) {
        const platform::RegNamedValue *nv = key.value(name);
        if (nv && nv->value.type == platform::RegType::Dword)
            field = static_cast<std::remove_reference_t<decltype(field)>>(nv->value.dword);
    };
    auto text = [&key](std::string_view name, std::string &field) {
        const platform::RegNamedValue *nv = key.value(name);
        if (nv && nv->value.type == platform::RegType::String)
            field = nv->value.text;
    };
    auto show = [&key](std::string_view name, ShowState &field) {
        const platform::RegNamedValue *nv = key.value(name);
        if (nv && nv->value.type == platform::RegType::Dword)
            field = showStateFrom(nv->value.dword);
    };
    auto table = [&key](std::string_view name, auto &field) {
        const platform::RegNamedValue *nv = key.value(name);
        if (nv && nv->value.type == platform::RegType::Binary)
            replaceLeading(field, nv->value.bytes);
    };

    dword(keys::kSaveUserPass, v.saveUserPass);
    dword(keys::kDeleteLocalFile, v.deleteLocalFile);
    dword(keys::kDisplayUnitSize, v.displayUnitSize);
    text(keys::kDefaultGetFileFolder, v.defaultGetFileFolder);
    text(keys::kDefaultLogFolder, v.defaultLogFolder);
    show(keys::kMainWindow, v.mainWindow);
    show(keys::kClientWindow, v.clientWindow);
    dword(keys::kMainLeft, v.mainRect.left);
    dword(keys::kMainTop, v.mainRect.top);
    dword(keys::kMainRight, v.mainRect.right);
    dword(keys::kMainBottom, v.mainRect.bottom);
    dword(keys::kClientLeft, v.clientRect.left);
    dword(keys::kClientTop, v.clientRect.top);
    dword(keys::kClientRight, v.clientRect.right);
    dword(keys::kClientBottom, v.clientRect.bottom);
    dword(keys::kFolderViewWidth, v.folderViewWidth);
    dword(keys::kFolderViewHeight, v.folderViewHeight);
    dword(keys::kSaveWindowSize, v.saveWindowSize);
    dword(keys::kSaveColumnSize, v.saveColumnSize);
    dword(keys::kSaveColumnOrder, v.saveColumnOrder);
    table(keys::kColMain, v.colMain);
    table(keys::kColHistory, v.colHistory);
    table(keys::kColMainOrder, v.colMainOrder);
    table(keys::kColHistoryOrder, v.colHistoryOrder);
    keepIfPermutation(v.colMainOrder);
    keepIfPermutation(std::span(v.colHistoryOrder).first(4));
    keepIfPermutation(std::span(v.colHistoryOrder).last(5));
    dword(keys::kStartUp, v.startUp);
    dword(keys::kFilePos, v.filePos);
    text(keys::kTimeStamp, v.timeStamp);
    dword(keys::kShowToolbar, v.showToolbar);
    dword(keys::kShowStatusBar, v.showStatusBar);
    dword(keys::kUndoUnchangedCheckIn, v.undoUnchangedCheckIn);
    m_values = std::move(v);
    return 0;
}

ResultCode Settings::write(const SettingsValues &v, std::initializer_list<SettingField> fields)
{
    return write(v, std::span<const SettingField>(fields.begin(), fields.size()));
}

ResultCode Settings::write(const SettingsValues &v, std::span<const SettingField> fields)
{
    std::vector<RegNamedValue> values;
    for (const SettingField f : fields)
        appendField(v, f, values);
    if (values.empty())
        return 0;
    if (const ResultCode rc = m_registry.writeValues(keys::kSettings, std::move(values)); rc != 0)
        return rc;
    for (const SettingField f : fields)
        copyField(v, f, m_values);
    return 0;
}

ResultCode Settings::update(const SettingsValues &v)
{
    std::vector<RegNamedValue> values;
    std::vector<SettingField> changed;
    for (const SettingField f : kAllFields) {
        std::vector<RegNamedValue> mine;
        std::vector<RegNamedValue> theirs;
        appendField(m_values, f, mine);
        appendField(v, f, theirs);
        if (mine != theirs) {
            changed.push_back(f);
            values.insert(values.end(), theirs.begin(), theirs.end());
        }
    }
    if (values.empty())
        return 0;
    if (const ResultCode rc = m_registry.writeValues(keys::kSettings, std::move(values)); rc != 0)
        return rc;
    for (const SettingField f : changed)
        copyField(v, f, m_values);
    return 0;
}

} // namespace config
