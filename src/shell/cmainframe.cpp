#include "shell/cmainframe.h"

#include "shell/aboutdialog.h"
#include "shell/commands/commandcontext.h"
#include "shell/commands/commandrouter.h"
#include "shell/commands/enablerules.h"
#include "shell/czemapp.h"
#include "shell/helpviewer.h"
#include "shell/lockindicators.h"
#include "shell/profilelistdialog.h"
#include "shell/shellconstants.h"
#include "shell/tipsdialog.h"
#include "shell/toolargumentdialog.h"
#include "shell/toollauncher.h"
#include "shell/toolsdialog.h"

#include <config/profilestore.h>
#include <views/browse/browseresources.h>
#include <views/browse/browsewindow.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>
#include <views/dialogs/optionsheet.h>
#include <views/diff/czemdiffchildframe.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplashScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace shell {

// How long the splash stays when nobody clicks or types.
static constexpr int kSplashMilliseconds = 750;

// Toolbar 128: command and its image in the strip, 0 = separator. The operation buttons are
// the pane-dependent commands, routed and enabled by the browse commands (their rules look
// at the active pane). The strip also holds images of other browse window commands (1 add
// server, 2 log on, 7 history, 8 compare, 9 delete).
static constexpr std::pair<int, int> kToolbarButtons[] = {
    {cmd::New, 0},
    {0, 0},
    {browsecmd::Get, 3},
    {browsecmd::CheckOut, 4},
    {browsecmd::CheckIn, 5},
    {browsecmd::UndoCheckOut, 6},
    {0, 0},
    {cmd::ServerProfiles, 10},
    {cmd::Options, 11},
    {cmd::Tools, 14},
    {0, 0},
    {cmd::HelpContents, 12},
    {cmd::About, 13},
};

static QString escapeMnemonic(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// The desktop's handler for the guide's page. Qt answers false when the desktop has no
// launcher for local files (no xdg-open or the like), and then the built-in viewer shows it.
static bool openInDesktopBrowser(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

CMainFrame::CMainFrame(CZemApp &app)
    : openExternally(openInDesktopBrowser)
    , m_app(app)
{
}

CMainFrame::~CMainFrame()
{
    if (m_splash)
        closeSplash();
    // Also when the program ends without the window being closed (the session ends).
    if (m_mdiArea)
        savePlacement();
    // The child windows draw on the browse resources and the router, which are members and
    // go before the base class would delete the children.
    if (m_mdiArea) {
        for (QMdiSubWindow *child : m_mdiArea->subWindowList())
            delete child;
    }
}

bool CMainFrame::create(QString &error)
{
    const views::LanguageModule &module = m_app.module();
    setWindowTitle(module.text(str::AppTitle));
    QIcon icon;
    icon.addPixmap(module.image(QStringLiteral("icon128-16.png")));
    icon.addPixmap(module.image(QStringLiteral("icon128-48.png")));
    setWindowIcon(icon);

    m_smallImages = views::LanguageModule::splitStrip(module.bitmap(bmp::SmallImages), 16);
    if (m_smallImages.size() <= img::DeletedFolder) {
        error = QStringLiteral("bitmap 133 (the small images) is missing or short");
        return false;
    }
    m_toolbarImages =
        views::LanguageModule::splitStrip(module.image(QStringLiteral("toolbar128.png")), 16);
    if (m_toolbarImages.size() < 15) {
        error = QStringLiteral("toolbar 128 is missing or short");
        return false;
    }

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);

    buildMenus();
    installBrowseCommands();
    buildToolbar();
    buildStatusBar();
    restoreBars();
    restorePlacement();
    return true;
}

QAction *CMainFrame::makeAction(int id, int toolbarImage)
{
    const views::LanguageModule &module = m_app.module();
    auto *action = new QAction(module.textPart(id, 0), this);
    action->setObjectName(QStringLiteral("a%1").arg(id));
    action->setData(id);
    action->setStatusTip(module.textPart(id, 1));
    action->setToolTip(module.textPart(id, 2));
    if (toolbarImage >= 0 && toolbarImage < m_toolbarImages.size())
        action->setIcon(m_toolbarImages[toolbarImage]);
    m_actions[id] = action;
    return action;
}

QAction *CMainFrame::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::buildMenus()
{
    const views::LanguageModule &module = m_app.module();
    for (const auto &[id, image] : kToolbarButtons) {
        if (id != 0)
            makeAction(id, image);
    }
    connect(action(cmd::New), &QAction::triggered, this, &CMainFrame::newBrowseWindow);
    action(cmd::New)->setShortcut(QKeySequence::New);
    connect(action(cmd::ServerProfiles), &QAction::triggered, this, &CMainFrame::serverProfiles);
    connect(action(cmd::Options), &QAction::triggered, this, &CMainFrame::options);
    connect(action(cmd::Tools), &QAction::triggered, this, &CMainFrame::customizeTools);
    connect(action(cmd::HelpContents), &QAction::triggered, this, &CMainFrame::helpContents);
    action(cmd::HelpContents)
        ->setShortcut(QKeySequence::keyBindings(QKeySequence::HelpContents)
                          .value(0, QKeySequence(Qt::Key_F1)));
    connect(action(cmd::About), &QAction::triggered, this, &CMainFrame::about);
    connect(makeAction(cmd::TipOfTheDay), &QAction::triggered, this, &CMainFrame::tipOfTheDay);
    connect(makeAction(cmd::ExportProfiles), &QAction::triggered, this,
            &CMainFrame::exportProfiles);
    connect(makeAction(cmd::ImportProfiles), &QAction::triggered, this,
            &CMainFrame::importProfiles);
    QAction *exit = makeAction(cmd::Exit);
    // Some desktops define no standard quit key; the guide promises Ctrl+Q.
    exit->setShortcut(QKeySequence::keyBindings(QKeySequence::Quit)
                          .value(0, QKeySequence(QStringLiteral("Ctrl+Q"))));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(module.text(str::MenuFile));
    file->addAction(action(cmd::New));
    file->addSeparator();
    file->addAction(action(cmd::ServerProfiles));
    file->addAction(action(cmd::ExportProfiles));
    file->addAction(action(cmd::ImportProfiles));
    file->addSeparator();
    file->addAction(exit);
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);

    QMenu *view = menuBar()->addMenu(module.text(str::MenuView));
    QAction *toolbar = makeAction(cmd::ViewToolbar);
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    view->addAction(toolbar);
    QAction *statusBarAction = makeAction(cmd::ViewStatusBar);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    view->addAction(statusBarAction);
    connect(statusBarAction, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });

    // The tools of the list come first; the fixed commands follow the separator.
    m_toolsMenu = menuBar()->addMenu(module.text(str::ToolsMenu));
    m_toolsSeparator = m_toolsMenu->addSeparator();
    m_toolsSeparator->setVisible(false);
    m_toolsMenu->addAction(action(cmd::Tools));
    m_toolsMenu->addAction(action(cmd::Options));
    connect(m_toolsMenu, &QMenu::aboutToShow, this, &CMainFrame::rebuildToolsMenu);

    m_windowMenu = menuBar()->addMenu(module.text(str::MenuWindow));
    connect(makeAction(cmd::WindowCascade), &QAction::triggered, this,
            &CMainFrame::cascadeChildren);
    connect(makeAction(cmd::WindowTile), &QAction::triggered, this,
            [this] { m_mdiArea->tileSubWindows(); });
    connect(makeAction(cmd::WindowCloseAll), &QAction::triggered, this,
            [this] { m_mdiArea->closeAllSubWindows(); });
    // The keys of other multi-window programs: Ctrl+Tab and Ctrl+F6 go round the children,
    // Ctrl+W and Ctrl+F4 close the active one.
    QAction *next = makeAction(cmd::WindowNext);
    next->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_F6)});
    connect(next, &QAction::triggered, m_mdiArea, &QMdiArea::activateNextSubWindow);
    QAction *previous = makeAction(cmd::WindowPrevious);
    previous->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6)});
    connect(previous, &QAction::triggered, m_mdiArea, &QMdiArea::activatePreviousSubWindow);
    QAction *close = makeAction(cmd::WindowClose);
    close->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)});
    connect(close, &QAction::triggered, m_mdiArea, &QMdiArea::closeActiveSubWindow);
    // In the window's own list of actions, so the keys work while the menu is closed.
    addActions({next, previous, close});
    connect(m_windowMenu, &QMenu::aboutToShow, this, [this] {
        m_windowMenu->clear();
        const QList<QMdiSubWindow *> children = m_mdiArea->subWindowList();
        for (int id : {cmd::WindowCascade, cmd::WindowTile, cmd::WindowClose, cmd::WindowCloseAll,
                       cmd::WindowNext, cmd::WindowPrevious}) {
            m_windowMenu->addAction(action(id));
            action(id)->setEnabled(!children.isEmpty());
        }
        if (!children.isEmpty())
            m_windowMenu->addSeparator();
        for (int i = 0; i < children.size(); ++i) {
            QMdiSubWindow *child = children[i];
            QAction *entry = m_windowMenu->addAction(
                QStringLiteral("&%1 %2").arg(i + 1).arg(escapeMnemonic(child->windowTitle())));
            entry->setCheckable(true);
            entry->setChecked(child == m_mdiArea->activeSubWindow());
            connect(entry, &QAction::triggered, child,
                    [this, child] { m_mdiArea->setActiveSubWindow(child); });
        }
    });

    QMenu *help = menuBar()->addMenu(module.text(str::MenuHelp));
    help->addAction(action(cmd::HelpContents));
    help->addAction(action(cmd::TipOfTheDay));
    help->addSeparator();
    help->addAction(action(cmd::About));
}

void CMainFrame::cascadeChildren()
{
    // QMdiArea's own cascade sizes each child to its size hint, which for a window that
    // shows only a view is a title bar and little else. Here every child gets three quarters
    // of the area, each one title bar lower and to the right, starting again at the top
    // left when the next would leave the area.
    const QList<QMdiSubWindow *> children = m_mdiArea->subWindowList();
    const QRect area = m_mdiArea->viewport()->rect();
    if (children.isEmpty() || area.isEmpty())
        return;
    const int step = qMax(16, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + 4);
    const QSize size(qMax(area.width() * 3 / 4, qMin(area.width(), 320)),
                     qMax(area.height() * 3 / 4, qMin(area.height(), 240)));
    int offset = 0;
    for (QMdiSubWindow *child : children) {
        if (child->isMinimized() || child->isMaximized())
            child->showNormal();
        if (offset + size.width() > area.width() || offset + size.height() > area.height())
            offset = 0;
        child->setGeometry(QRect(QPoint(offset, offset), size));
        child->raise();
        offset += step;
    }
    if (QMdiSubWindow *active = m_mdiArea->activeSubWindow())
        active->raise();
}

void CMainFrame::buildToolbar()
{
    QToolBar *bar = addToolBar(m_app.module().textPart(cmd::ViewToolbar, 2));
    bar->setObjectName(QStringLiteral("toolbar128"));
    bar->setIconSize(QSize(16, 16));
    for (const auto &[id, image] : kToolbarButtons) {
        if (id == 0)
            bar->addSeparator();
        else
            bar->addAction(action(id));
    }
    QAction *toggle = action(cmd::ViewToolbar);
    connect(toggle, &QAction::toggled, bar, &QWidget::setVisible);
    connect(bar, &QToolBar::visibilityChanged, toggle, [toggle, bar] {
        if (!bar->isHidden() != toggle->isChecked())
            toggle->setChecked(!bar->isHidden());
    });
}

void CMainFrame::buildStatusBar()
{
    const views::LanguageModule &module = m_app.module();
    QStatusBar *bar = statusBar();
    auto *icon = new QLabel(bar);
    icon->setPixmap(module.image(QStringLiteral("icon128-16.png")));
    bar->addWidget(icon);
    auto *ready = new QLabel(module.text(str::Ready), bar);
    bar->addWidget(ready, 1);

    const auto pane = [&](int tipId, int minimumWidth) {
        auto *label = new QLabel(bar);
        label->setToolTip(module.text(tipId));
        label->setMinimumWidth(minimumWidth);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        bar->addPermanentWidget(label);
        return label;
    };
    m_userPane = pane(str::PaneUser, 80);
    m_userPane->setObjectName(QStringLiteral("pane1"));
    m_userPane->setText(QString::fromStdString(m_app.identity().userName));
    m_workFolderPane = pane(str::PaneWorkFolder, 160);
    m_workFolderPane->setObjectName(QStringLiteral("pane2"));
    m_commentPane = pane(str::PaneComment, 160);
    m_commentPane->setObjectName(QStringLiteral("pane3"));
    m_lockPanes =
        new LockIndicators(*bar, {module.text(str::IndicatorCaps), module.text(str::IndicatorNum),
                                  module.text(str::IndicatorScroll)});
    // "N of M files" while the file list's filter hides rows.
    m_filesPane = new QLabel(bar);
    m_filesPane->setObjectName(QStringLiteral("filesPane"));
    m_filesPane->hide();
    bar->addWidget(m_filesPane);
}

QString CMainFrame::userPaneText() const
{
    return m_userPane ? m_userPane->text() : QString();
}

void CMainFrame::setWorkFolderPane(const QString &text)
{
    m_workFolderPane->setText(text);
}

void CMainFrame::setCommentPane(const QString &text)
{
    m_commentPane->setText(text);
}

void CMainFrame::showStatusMessage(const QString &text)
{
    statusBar()->showMessage(text, 10000);
}

void CMainFrame::restorePlacement()
{
    const config::SettingsValues &v = m_app.settings().values();
    const QRect stored(v.mainRect.left, v.mainRect.top, v.mainRect.right - v.mainRect.left,
                       v.mainRect.bottom - v.mainRect.top);
    if (v.saveWindowSize != 0 && v.startShowState() == config::ShowState::Normal &&
        stored.isValid()) {
        // A rectangle from a screen that is no longer attached would put the window out of
        // reach: then the default placement applies.
        for (const QScreen *screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersects(stored)) {
                setGeometry(stored);
                return;
            }
        }
    }
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(QSize(1000, 700).boundedTo(available.size() * 9 / 10));
    move(available.center() - rect().center());
}

void CMainFrame::showWithState(config::ShowState state)
{
    switch (state) {
    case config::ShowState::Maximized:
        showMaximized();
        break;
    case config::ShowState::Minimized:
        showMinimized();
        break;
    case config::ShowState::Normal:
        show();
        break;
    }
}

void CMainFrame::restoreBars()
{
    const config::SettingsValues &v = m_app.settings().values();
    action(cmd::ViewToolbar)->setChecked(v.showToolbar != 0);
    action(cmd::ViewStatusBar)->setChecked(v.showStatusBar != 0);
    // From here on every change of either is kept for the next start.
    for (int id : {cmd::ViewToolbar, cmd::ViewStatusBar}) {
        connect(action(id), &QAction::toggled, this, [this, id](bool on) {
            config::SettingsValues changed = m_app.settings().values();
            const bool toolbar = id == cmd::ViewToolbar;
            (toolbar ? changed.showToolbar : changed.showStatusBar) = on ? 1 : 0;
            const platform::ResultCode rc =
                m_app.settings().write(changed, {toolbar ? config::SettingField::ShowToolbar
                                                         : config::SettingField::ShowStatusBar});
            if (platform::failed(rc))
                showStatusMessage(views::errorText(m_app.module(), rc));
        });
    }
}

void CMainFrame::savePlacement()
{
    if (m_placementSaved)
        return;
    m_placementSaved = true;
    config::SettingsValues v = m_app.settings().values();
    v.mainWindow = isMaximized()   ? config::ShowState::Maximized
                   : isMinimized() ? config::ShowState::Minimized
                                   : config::ShowState::Normal;
    v.mainRect = {};
    if (v.mainWindow == config::ShowState::Normal) {
        const QRect r = geometry();
        v.mainRect = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    const platform::ResultCode rc = m_app.settings().write(v, {config::SettingField::SaveWindowSize,
                                                               config::SettingField::MainWindow,
                                                               config::SettingField::MainRect});
    if (platform::failed(rc))
        qWarning("ravelind: the window placement was not saved: %s",
                 qPrintable(views::errorText(m_app.module(), rc)));
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    m_mdiArea->closeAllSubWindows();
    if (!m_mdiArea->subWindowList().isEmpty()) {
        event->ignore(); // a child window refused to close
        return;
    }
    savePlacement();
    event->accept();
}

void CMainFrame::showSplash()
{
    const QPixmap bitmap = m_app.module().bitmap(bmp::Splash);
    if (bitmap.isNull())
        return;
    m_splash = new QSplashScreen(bitmap);
    m_splash->show();
    qApp->installEventFilter(this);
    QTimer::singleShot(kSplashMilliseconds, this, &CMainFrame::closeSplash);
}

void CMainFrame::closeSplash()
{
    if (!m_splash)
        return;
    qApp->removeEventFilter(this);
    m_splash->close();
    delete m_splash;
    m_splash = nullptr;
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        QTimer::singleShot(0, this, &CMainFrame::closeSplash);
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::updateCommandStates()
{
    action(cmd::ExportProfiles)->setEnabled(m_app.profiles().count() > 0);
    if (m_router)
        m_router->update();
}

// --- Selection -------------------------------------------------------------------------

BrowseSelection *CMainFrame::activeBrowse() const
{
    QMdiSubWindow *child = m_mdiArea ? m_mdiArea->activeSubWindow() : nullptr;
    return child ? dynamic_cast<BrowseSelection *>(child->widget()) : nullptr;
}

const protocol::ServerProfile *CMainFrame::serverOfSelection() const
{
    const BrowseSelection *browse = activeBrowse();
    return browse ? browse->selectedServer() : nullptr;
}

std::optional<std::string> CMainFrame::selectedServerPath() const
{
    const BrowseSelection *browse = activeBrowse();
    if (!browse || !browse->selectedServer())
        return std::nullopt;
    return serverPathOf(browse->selectedChain());
}

std::optional<std::string> CMainFrame::ownWorkingFolder() const
{
    const BrowseSelection *browse = activeBrowse();
    return browse ? shell::ownWorkingFolder(browse->selectedChain()) : std::nullopt;
}

std::optional<std::string> CMainFrame::inheritedWorkingFolder() const
{
    const BrowseSelection *browse = activeBrowse();
    return browse ? shell::inheritedWorkingFolder(browse->selectedChain()) : std::nullopt;
}

bool CMainFrame::noneCheckedOut() const
{
    const BrowseSelection *browse = activeBrowse();
    if (!browse)
        return false;
    return shell::noneCheckedOut(browse->selectedServer() != nullptr, browse->selectedFiles());
}

bool CMainFrame::anyCheckedOut() const
{
    const BrowseSelection *browse = activeBrowse();
    if (!browse)
        return false;
    return shell::anyCheckedOut(browse->selectedServer() != nullptr, browse->selectedFiles());
}

void CMainFrame::appendMessage(int image, const QString &text)
{
    if (BrowseSelection *browse = activeBrowse())
        browse->appendMessage(image, text);
}

// --- Tools -----------------------------------------------------------------------------

void CMainFrame::rebuildToolsMenu()
{
    for (QAction *old : std::as_const(m_toolActions)) {
        m_toolsMenu->removeAction(old);
        old->deleteLater();
    }
    m_toolActions.clear();
    const std::vector<config::ToolEntry> &tools = m_app.tools();
    for (std::size_t p = 0; p < tools.size(); ++p) {
        auto *entry =
            new QAction(escapeMnemonic(QString::fromStdString(tools[p].name)), m_toolsMenu);
        entry->setData(config::toolCommandId(p));
        entry->setObjectName(QStringLiteral("a%1").arg(config::toolCommandId(p)));
        entry->setStatusTip(m_app.module().textPart(config::kFirstToolCommand, 1));
        entry->setEnabled(config::isToolLaunchable(p));
        connect(entry, &QAction::triggered, this, [this, p] { launchTool(p); });
        m_toolsMenu->insertAction(m_toolsSeparator, entry);
        m_toolActions.append(entry);
    }
    m_toolsSeparator->setVisible(!tools.empty());
}

void CMainFrame::launchTool(std::size_t position)
{
    if (position >= m_app.tools().size() || !config::isToolLaunchable(position))
        return;
    const config::ToolEntry tool = m_app.tools()[position];
    const views::LanguageModule &module = m_app.module();
    const QString name = QString::fromStdString(tool.name);
    if (tool.commandLine.empty()) {
        QMessageBox::critical(this, windowTitle(), module.text(str::ToolWithoutProgram).arg(name));
        return;
    }
    const ToolStart started =
        ToolLauncher::start(tool, [this, &module]() -> std::optional<QString> {
            ToolArgumentDialog dialog(module, this);
            if (dialog.exec() != QDialog::Accepted)
                return std::nullopt;
            return dialog.argument();
        });
    if (started.outcome == ToolStart::Outcome::Failed)
        QMessageBox::critical(this, windowTitle(),
                              module.text(str::ToolCannotStart).arg(name, started.error));
}

// --- Application commands --------------------------------------------------------------

QMdiSubWindow *CMainFrame::newBrowseWindow()
{
    return m_app.templates().open(ChildKind::Browse, *m_mdiArea,
                                  m_app.module().text(str::AppTitle));
}

views::CZemDiffChildFrame *CMainFrame::openDiffWindow(const views::DiffRequest &request)
{
    QMdiSubWindow *child = m_app.templates().open(ChildKind::Diff, *m_mdiArea, request.title);
    auto *frame = child ? qobject_cast<views::CZemDiffChildFrame *>(child->widget()) : nullptr;
    if (!frame) {
        if (child)
            child->close();
        return nullptr;
    }
    // Most of the area, so each pane starts with half of a useful width; over a maximized
    // window the new one is maximized as well and keeps that.
    if (!child->isMaximized()) {
        const QSize area = m_mdiArea->viewport()->size();
        child->setGeometry(area.width() / 20, area.height() / 20,
                           std::max(area.width() * 9 / 10, 400),
                           std::max(area.height() * 9 / 10, 300));
    }
    frame->start(request);
    return frame;
}

void CMainFrame::about()
{
    AboutDialog dialog(m_app.module(), m_app.identity(), this);
    dialog.exec();
}

void CMainFrame::tipOfTheDay()
{
    TipsDialog dialog(m_app.module(), m_app.settings(), m_app.tipsFile(), this);
    dialog.exec();
}

void CMainFrame::helpContents()
{
    const views::LanguageModule &module = m_app.module();
    QStringList searched;
    const QString file = m_app.helpFile(&searched);
    if (file.isEmpty()) {
        QMessageBox::warning(this, windowTitle(),
                             module.text(str::GuideMissing).arg(searched.join(QLatin1Char('\n'))));
        return;
    }
    if (openExternally && openExternally(QUrl::fromLocalFile(file)))
        return;
    auto *viewer = new HelpViewer(module, file, openExternally, this);
    viewer->show();
}

void CMainFrame::options()
{
    // Credentials follow the saving switch only for the servers a browse window shows.
    const BrowseSelection *browse = activeBrowse();
    views::COptionSheet sheet(m_app.module(), m_app.settings(), m_app.profiles(),
                              browse ? std::optional(browse->serverProfiles()) : std::nullopt,
                              m_app.module().bitmap(bmp::Header), this);
    sheet.exec();
}

void CMainFrame::serverProfiles()
{
    ProfileListDialog dialog(m_app.module(), m_app.profiles(), m_app.settings(), m_smallImages,
                             this);
    connect(&dialog, &ProfileListDialog::profileDeleted, this, [this](const QString &name) {
        appendMessage(img::Success, m_app.module().text(str::ProfileDeletedLog).arg(name));
        emit profileDeleted(name);
    });
    connect(&dialog, &ProfileListDialog::profileWritten, this, &CMainFrame::profileWritten);
    dialog.exec();
    const std::vector<protocol::ServerProfile> stored = m_app.profiles().readAll();
    for (QMdiSubWindow *child : ChildWindowTemplates::children(ChildKind::Browse, *m_mdiArea)) {
        if (auto *w = qobject_cast<views::BrowseWindow *>(child->widget()))
            w->syncServers(stored);
    }
    updateCommandStates();
}

void CMainFrame::customizeTools()
{
    ToolsDialog dialog(m_app.module(), m_app.tools(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_app.tools() = dialog.tools();
    rebuildToolsMenu();
    // Kept at once, not only at exit, so a crash cannot lose the user's edits.
    const platform::ResultCode rc = m_app.toolStore().save(m_app.tools());
    if (platform::failed(rc))
        QMessageBox::warning(
            this, windowTitle(),
            m_app.module().text(str::ToolsNotSaved).arg(views::errorText(m_app.module(), rc)));
}

void CMainFrame::exportProfiles()
{
    const views::LanguageModule &module = m_app.module();
    if (m_app.profiles().count() == 0) {
        QMessageBox::information(this, windowTitle(), module.text(str::NothingToExport));
        return;
    }
    QFileDialog dialog(this, module.text(str::ExportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(module.text(str::ProfileFileFilter).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("rvl"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString target = dialog.selectedFiles().first();
    const platform::ResultCode rc = m_app.profiles().exportTo(target.toStdString());
    if (platform::failed(rc))
        QMessageBox::critical(this, windowTitle(),
                              module.text(str::ExportFailed).arg(views::errorText(module, rc)));
}

void CMainFrame::importProfiles()
{
    const views::LanguageModule &module = m_app.module();
    QFileDialog dialog(this, module.text(str::ImportTitle));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(module.text(str::ProfileFileFilter).split(QStringLiteral(";;")));
    dialog.setDefaultSuffix(QStringLiteral("rvl"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString source = dialog.selectedFiles().first();

    // The whole file is read and checked before the question, so "Yes" never meets a file
    // that would leave the profiles half replaced.
    config::ImportPlan plan;
    std::string why;
    if (const auto rc = m_app.profiles().readImport(source.toStdString(), plan, why);
        platform::failed(rc)) {
        const QString reason =
            why.empty() ? views::errorText(module, rc) : QString::fromStdString(why);
        QMessageBox::critical(this, windowTitle(), module.text(str::ImportRefused).arg(reason));
        return;
    }
    QStringList names;
    for (const std::string &name : plan.profiles)
        names.append(QString::fromStdString(name));
    const QString question =
        module.text(str::ImportQuestion).arg(names.size()).arg(names.join(QLatin1Char('\n')));
    if (QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    if (const auto rc = m_app.profiles().applyImport(plan); platform::failed(rc)) {
        QMessageBox::critical(this, windowTitle(),
                              module.text(str::ImportFailed).arg(views::errorText(module, rc)));
        return;
    }
    QMessageBox::information(this, windowTitle(), module.text(str::ImportDone));
    // The browse windows show the old profiles: start again with a fresh one.
    for (QMdiSubWindow *child : ChildWindowTemplates::children(ChildKind::Browse, *m_mdiArea))
        child->close();
    newBrowseWindow();
    emit profilesReplaced();
}

} // namespace shell
