#pragma once

// The application object: owns, for the life of the process, the language module, the
// settings store, the machine identity, the child window templates, the tools list and the
// main window, and runs the start-up sequence. Everything here is for the UI thread.

#include "shell/childwindowtemplates.h"

#include <config/toollist.h>
#include <platform/machineidentity.h>

#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QTranslator;

namespace platform {
class Registry;
}

namespace config {
class ProfileStore;
class Settings;
class ToolStore;
} // namespace config

namespace views {
class LanguageModule;
}

namespace shell {

class CMainFrame;

struct StartOptions
{
    // Where the language module is looked for; empty: beside the executable, then in
    // ../share/ravelind/.
    QStringList moduleDirs;
    // The settings file; empty: platform::Registry::defaultFile() (RAVELIND_CONFIG_DIR).
    std::filesystem::path registryFile;
    // The splash window, and with it the tip of the day, at start-up.
    bool splash = true;
};

class CZemApp
{
public:
    explicit CZemApp(StartOptions options = {});
    CZemApp(const CZemApp &) = delete;
    CZemApp &operator=(const CZemApp &) = delete;
    ~CZemApp();

    // Runs the start-up sequence. 0 when the main window is up; otherwise the process exit
    // code, after the reason was shown (message boxes; stderr as well).
    int start();
    // Writes the tools list back. Call once the event loop has ended.
    void exit();

    const views::LanguageModule &module() const { return *m_module; }
    platform::Registry &registry() { return *m_registry; }
    config::Settings &settings() { return *m_settings; }
    config::ProfileStore &profiles() { return *m_profiles; }
    config::ToolStore &toolStore() { return *m_toolStore; }
    std::vector<config::ToolEntry> &tools() { return m_tools; }
    const platform::MachineIdentity &identity() const { return m_identity; }
    ChildWindowTemplates &templates() { return m_templates; }
    CMainFrame *mainFrame() { return m_mainFrame.get(); }
    // The user guide's start page in the module's language (docs/ja/index.html for 932), else
    // the English docs/index.html, in the first folder where a language module is looked for
    // that has it; empty when no guide is installed. `searched` lists the places looked at.
    QString helpFile(QStringList *searched = nullptr) const;
    // The tips file of the module's code page: beside the module, else in the current folder.
    std::filesystem::path tipsFile() const;
    // Qt's own texts (standard buttons of message boxes, button boxes and wizards) in the
    // module's language; empty when the module is English or Qt has no translation for it
    // installed, and then those buttons stay English. The file loaded otherwise.
    QString qtTranslationFile() const;
    // Shows the tip of the day at start-up (by default the main frame's tips dialog).
    // Unset, no tip is shown.
    std::function<void(CMainFrame &)> tipOfTheDay;

private:
    void fail(const QString &text) const;

    StartOptions m_options;
    QStringList m_moduleDirs;
    std::unique_ptr<views::LanguageModule> m_module;
    std::unique_ptr<QTranslator> m_qtTranslator;
    std::unique_ptr<platform::Registry> m_registry;
    std::unique_ptr<config::Settings> m_settings;
    std::unique_ptr<config::ProfileStore> m_profiles;
    std::unique_ptr<config::ToolStore> m_toolStore;
    std::vector<config::ToolEntry> m_tools;
    platform::MachineIdentity m_identity;
    ChildWindowTemplates m_templates;
    std::unique_ptr<CMainFrame> m_mainFrame;
    bool m_started = false;
};

} // namespace shell
