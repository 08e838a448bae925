#pragma once

// The options sheet: four pages of settings (saving, display, folders, local files), each
// written when the sheet is applied, and only if the user has looked at it. Turning the
// saving of passwords on or off also rewrites or removes the credentials of the servers the
// active browse window shows.

#include <protocol/records.h>

#include <QDialog>
#include <QStringList>

#include <optional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTabWidget;

namespace config {
class ProfileStore;
class Settings;
} // namespace config

namespace views {

class LanguageModule;

class COptionSheet : public QDialog
{
    Q_OBJECT
public:
    // `shownServers`: the profiles of the server nodes of the active browse window, in tree
    // order, as the nodes hold them; nullopt when no browse window is active. `header` is
    // drawn above the pages.
    COptionSheet(const LanguageModule &module, config::Settings &settings,
                 config::ProfileStore &profiles,
                 std::optional<std::vector<protocol::ServerProfile>> shownServers,
                 const QPixmap &header, QWidget *parent);

    // Writes the pages shown so far. False when the user went back at the question about
    // removing stored passwords, or a value could not be written (then a message box said
    // so); the sheet then stays open. May ask a question (modal).
    bool apply();
    void accept() override;

    QTabWidget *pages() const { return m_pages; }
    // Controls the pages lack, as "<form>: c<number> (<class>)"; empty for a sound module.
    const QStringList &missingControls() const { return m_missing; }

private:
    template<class T> T *bind(QWidget *page, int formId, int id);
    QWidget *addPage(int formId);
    void browseFolder(QLineEdit *edit);

    const LanguageModule &m_module;
    config::Settings &m_settings;
    config::ProfileStore &m_profiles;
    std::optional<std::vector<protocol::ServerProfile>> m_shownServers;
    QTabWidget *m_pages = nullptr;
    std::vector<bool> m_shown; // by page index
    QStringList m_missing;

    QCheckBox *m_saveUserPass = nullptr;
    QCheckBox *m_saveWindowSize = nullptr;
    QCheckBox *m_saveColumnSize = nullptr;
    QCheckBox *m_saveColumnOrder = nullptr;
    QCheckBox *m_displayUnitSize = nullptr;
    QLineEdit *m_getFolder = nullptr;
    QLineEdit *m_logFolder = nullptr;
    QRadioButton *m_deleteLocal = nullptr;
    QRadioButton *m_keepLocal = nullptr;
    QCheckBox *m_undoUnchanged = nullptr;
};

} // namespace views
