#pragma once

// The main window: menus, toolbar, status bar with its panes, the shared small images, the
// area of the child windows, the placement kept in the settings, the Tools menu, and the
// selection notions through which commands find what they apply to.

#include "shell/browseselection.h"

#include <config/settings.h>

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSplashScreen;
class QUrl;

namespace views {
class BrowseWindow;
struct BrowseResources;
class CZemDiffChildFrame;
struct DiffRequest;
} // namespace views

namespace shell {

class CZemApp;
class CommandRouter;
class LockIndicators;
struct CommandContext;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CZemApp &app);
    ~CMainFrame() override;

    // Builds menus, toolbar, status bar and images, and places the window as the settings
    // say. False (with `error`) when a part is missing from the language module.
    bool create(QString &error);
    // Shows the window normal, maximized or minimized.
    void showWithState(config::ShowState state);
    // The splash bitmap for a moment; gone at the first click or key.
    void showSplash();

    QMdiArea *mdiArea() const { return m_mdiArea; }
    // The command of that ID; nullptr when the window has none.
    QAction *action(int id) const;
    QMenu *toolsMenu() const { return m_toolsMenu; }
    // The 16 x 16 images of bitmap 133, shared by the tree, the lists and the dialogs.
    const QList<QPixmap> &smallImages() const { return m_smallImages; }

    // Status bar panes.
    QString userPaneText() const;
    void setWorkFolderPane(const QString &text);
    void setCommentPane(const QString &text);
    void showStatusMessage(const QString &text);

    // Selection notions, from the active browse window; with none, nothing is selected.
    BrowseSelection *activeBrowse() const;
    views::BrowseWindow *activeBrowseWindow() const;
    // The browse window's commands: their router (enable rules, dispatch) and context.
    CommandRouter &router() { return *m_router; }
    CommandContext &commands() { return *m_commands; }
    const views::BrowseResources &browseResources() const { return *m_browseResources; }
    // Pops up sub-menu `subMenu` of menu 137 at `globalPos`.
    void showBrowseMenu(int subMenu, const QPoint &globalPos);
    const protocol::ServerProfile *serverOfSelection() const;
    std::optional<std::string> selectedServerPath() const;
    std::optional<std::string> ownWorkingFolder() const;
    std::optional<std::string> inheritedWorkingFolder() const;
    bool noneCheckedOut() const;
    bool anyCheckedOut() const;
    // Writes a line into the active browse window's message pane, when there is one.
    void appendMessage(int image, const QString &text);

    // Puts the tools of the list at the top of the Tools menu, replacing those there; the
    // 17th and later are shown disabled. Runs every time the menu opens.
    void rebuildToolsMenu();
    // Starts the tool at `position` of the list; shows the argument dialog when the tool asks
    // for one, and an error box when it cannot start.
    void launchTool(std::size_t position);

    // Application commands.
    QMdiSubWindow *newBrowseWindow();
    // Opens a comparison window on two local files and starts comparing them off the UI
    // thread; returns at once. The request's temporary files are deleted when the window
    // closes or the program ends. nullptr when no comparison window can be made.
    views::CZemDiffChildFrame *openDiffWindow(const views::DiffRequest &request);
    void about();
    // Shows the tips dialog, modal.
    void tipOfTheDay();
    // Window > Cascade: every child at a usable size, one title bar apart.
    void cascadeChildren();
    // The user guide in the desktop's browser through openExternally, else in the program's
    // own viewer (not modal); a message when the guide is not installed.
    void helpContents();
    void options();
    void serverProfiles();
    void customizeTools();
    void exportProfiles();
    void importProfiles();

    // Opens a page outside the program; false when it could not. Replaceable for tests.
    std::function<bool(const QUrl &)> openExternally;

signals:
    // A stored profile was deleted (the browse window drops its node) or written.
    void profileDeleted(const QString &name);
    void profileWritten(const QString &name);
    // The stored profiles were replaced by an import.
    void profilesReplaced();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAction *makeAction(int id, int toolbarImage = -1);
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void restorePlacement();
    // The toolbar and status bar as they were shown last time.
    void restoreBars();
    void savePlacement();
    void updateCommandStates();
    void closeSplash();
    // Browse window: resources, command groups, menus and the factory (cmainframe_browse.cpp).
    void installBrowseCommands();
    QWidget *makeBrowseWindow();

    CZemApp &m_app;
    QMdiArea *m_mdiArea = nullptr;
    QMenu *m_toolsMenu = nullptr;
    QMenu *m_windowMenu = nullptr;
    QAction *m_toolsSeparator = nullptr;
    QList<QAction *> m_toolActions;
    std::map<int, QAction *> m_actions;
    QList<QPixmap> m_smallImages;
    QList<QPixmap> m_toolbarImages;
    QLabel *m_userPane = nullptr;
    QLabel *m_workFolderPane = nullptr;
    QLabel *m_commentPane = nullptr;
    LockIndicators *m_lockPanes = nullptr;
    QSplashScreen *m_splash = nullptr;
    bool m_placementSaved = false;
    std::unique_ptr<views::BrowseResources> m_browseResources;
    std::unique_ptr<CommandRouter> m_router;
    std::unique_ptr<CommandContext> m_commands;
    QLabel *m_filesPane = nullptr;
};

} // namespace shell
