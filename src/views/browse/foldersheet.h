#pragma once

// The folder properties sheet (CFolderSheet): the folder page (form 155), where the folder's
// comment is edited and stored on the service when the sheet applies, and the deleted-items
// page (form 161), which lists the folder's deleted items and recovers or purges the selected
// ones. Every service call runs off the UI thread; the sheet paints meanwhile but takes no
// input. Successes are logged to the browse window's message pane, failures shown in a box.

#include "views/browse/browseresources.h"
#include "views/browse/callrunner.h"

#include <engine/servicecalls.h>
#include <protocol/records.h>

#include <QDialog>
#include <QStringList>

#include <functional>
#include <string>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace views {

// What the folder properties command hands the sheet.
struct FolderSheetRequest
{
    protocol::FolderItem folder;
    protocol::ServerProfile profile;
    std::string folderPath; // the folder's server path
    QString caption;
};

// A page built from a form of the language module.
class FolderSheetPage : public QWidget
{
    Q_OBJECT
public:
    FolderSheetPage(const BrowseResources &resources, int formId, QWidget *parent);
    const QString &loadError() const { return m_loadError; }
    const QStringList &missingControls() const { return m_missing; }

protected:
    template<class T> T *bind(int id);
    const BrowseResources &resources() const { return m_resources; }

private:
    const BrowseResources &m_resources;
    QWidget *m_form = nullptr;
    QString m_loadError;
    QStringList m_missing;
};

class CFolderPage : public FolderSheetPage
{
    Q_OBJECT
public:
    CFolderPage(const BrowseResources &resources, const protocol::FolderItem &folder,
                QWidget *parent = nullptr);

    QString comment() const;
    QLineEdit *nameField() const { return m_name; }
    QLineEdit *commentField() const { return m_comment; }
    // The icon shown: 166 for a private folder, 168 otherwise.
    int iconId() const { return m_iconId; }
    QLabel *iconLabel() const { return m_icon; }

signals:
    void changed();

private:
    QLineEdit *m_name;
    QLineEdit *m_comment;
    QLabel *m_icon;
    int m_iconId = 0;
};

class CDeletedItemPage : public FolderSheetPage
{
    Q_OBJECT
public:
    using Log = std::function<void(int image, const QString &text)>;

    CDeletedItemPage(const BrowseResources &resources, engine::ServiceCalls calls,
                     const protocol::ServerProfile &profile, std::string folderPath,
                     CallRunner &runner, Log log, QWidget *parent = nullptr);

    // Lists the folder's deleted items (once: when the page is first shown).
    void load();
    bool loaded() const { return m_loaded; }

    QTreeWidget *list() const { return m_list; }
    QPushButton *recoverButton() const { return m_recover; }
    QPushButton *purgeButton() const { return m_purge; }
    // The names listed, top to bottom.
    QStringList names() const;

    // Buttons 1047 and 1048: each selected item in turn, stopping at the first failure.
    void recover();
    void purge();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void handleSelected(bool purging);
    void showFailure(const protocol::CallResult &result);

    engine::ServiceCalls m_calls;
    protocol::ServerProfile m_profile;
    std::string m_folderPath;
    CallRunner &m_runner;
    Log m_log;
    QTreeWidget *m_list;
    QPushButton *m_recover;
    QPushButton *m_purge;
    bool m_loaded = false;
};

class CFolderSheet : public QDialog
{
    Q_OBJECT
public:
    CFolderSheet(const BrowseResources &resources, engine::ServiceCalls calls,
                 FolderSheetRequest request, CDeletedItemPage::Log log, QWidget *parent = nullptr);

    CFolderPage *folderPage() const { return m_folderPage; }
    CDeletedItemPage *deletedPage() const { return m_deletedPage; }
    QTabWidget *tabs() const { return m_tabs; }
    QDialogButtonBox *buttons() const { return m_buttons; }
    // The folder's record with the comment last applied.
    const protocol::FolderItem &folder() const { return m_request.folder; }
    // True once an apply stored a comment.
    bool applied() const { return m_applied; }

    // Stores the page's comment with UpdateComment; false (after the box) when the service
    // refused it, and the sheet stays open.
    bool apply();
    void accept() override;

signals:
    // A comment was stored: the caller's tree record and status pane follow it.
    void commentApplied(const QString &comment);

private:
    const BrowseResources &m_resources;
    engine::ServiceCalls m_calls;
    FolderSheetRequest m_request;
    CallRunner m_runner;
    QTabWidget *m_tabs;
    CFolderPage *m_folderPage;
    CDeletedItemPage *m_deletedPage;
    QDialogButtonBox *m_buttons;
    bool m_applied = false;
};

// The text of a failed call as the sheet shows it: the service's error text unchanged, else
// the text of the code with its line breaks kept.
QString failureText(const BrowseResources &resources, const protocol::CallResult &result);

} // namespace views
