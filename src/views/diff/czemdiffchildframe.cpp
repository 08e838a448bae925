#include "czemdiffchildframe.h"

#include "czemdiffview.h"
#include "diffcolours.h"
#include "diffoverviewbar.h"
#include "diffrowmodel.h"
#include "finddialog.h"

#include <views/common/languagemodule.h>
#include <views/common/viewsconstants.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

namespace views {

namespace {

// The minimum width of each pane.
constexpr int kMinimumPaneWidth = 50;
constexpr int kToolbarImageSize = 16;

// A status-bar legend part: a text in its kind's colour on the menu background.
QLabel *legendPart(const QString &text, int part, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    palette.setColor(QPalette::WindowText, legendColour(part, palette));
    label->setPalette(palette);
    label->setContentsMargins(6, 0, 6, 0);
    return label;
}

} // namespace

CZemDiffChildFrame::CZemDiffChildFrame(ViewTexts texts, QWidget *parent)
    : QMainWindow(parent)
    , m_texts(std::move(texts))
{
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    m_panes[0] = new CZemDiffView(DiffRowModel::kLeft, splitter);
    auto *rightSide = new QWidget(splitter);
    auto *rightLayout = new QHBoxLayout(rightSide);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    m_panes[1] = new CZemDiffView(DiffRowModel::kRight, rightSide);
    m_overview = new DiffOverviewBar(*m_panes[1], rightSide);
    rightLayout->addWidget(m_panes[1]);
    rightLayout->addWidget(m_overview);
    m_panes[0]->setMinimumWidth(kMinimumPaneWidth);
    rightSide->setMinimumWidth(kMinimumPaneWidth);
    splitter->addWidget(m_panes[0]);
    splitter->addWidget(rightSide);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);
    m_active = m_panes[0];

    for (int side = 0; side < 2; ++side) {
        CZemDiffView *pane = m_panes[side];
        CZemDiffView *other = m_panes[1 - side];
        // Only the user's scrolling and difference navigation carry over to the other pane.
        connect(pane, &CZemDiffView::topRowChangedByUser, other, &CZemDiffView::setTopRow);
        connect(pane, &CZemDiffView::stateChanged, this, &CZemDiffChildFrame::updateCommandStates);
        connect(pane, &CZemDiffView::activated, this, [this, pane] { setActive(pane); });
    }
    buildActions();
    buildStatusBar();
    updateCommandStates();
    // The program may end with the window open: its files go then too.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        stopWorker();
        deleteTemporaryFiles();
    });
}

CZemDiffChildFrame::~CZemDiffChildFrame()
{
    stopWorker();
    deleteTemporaryFiles();
}

void CZemDiffChildFrame::buildActions()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolbar130"));
    bar->setMovable(false);
    bar->setIconSize(QSize(kToolbarImageSize, kToolbarImageSize));
    addToolBar(Qt::TopToolBarArea, bar);
    const QList<QPixmap> images = LanguageModule::splitStrip(
        m_texts.image ? m_texts.image(QLatin1String(kDiffToolbarImage)) : QPixmap(),
        kToolbarImageSize);
    struct Command
    {
        int id;
        void (CZemDiffChildFrame::*run)();
        QKeySequence key;
    };
    const Command commands[] = {
        {cmd::PreviousDifference, &CZemDiffChildFrame::previousDifference,
         QKeySequence(Qt::SHIFT | Qt::Key_F8)},
        {cmd::NextDifference, &CZemDiffChildFrame::nextDifference, QKeySequence(Qt::Key_F8)},
        {cmd::ToggleBookmark, &CZemDiffChildFrame::toggleBookmark,
         QKeySequence(Qt::CTRL | Qt::Key_F2)},
        {cmd::PreviousBookmark, &CZemDiffChildFrame::previousBookmark,
         QKeySequence(Qt::SHIFT | Qt::Key_F2)},
        {cmd::NextBookmark, &CZemDiffChildFrame::nextBookmark, QKeySequence(Qt::Key_F2)},
        {cmd::ClearBookmarks, &CZemDiffChildFrame::clearBookmarks, QKeySequence()},
        {cmd::Find, &CZemDiffChildFrame::find, QKeySequence::Find},
    };
    int image = 0;
    for (const Command &command : commands) {
        // Command strings: menu text, status-bar prompt, tooltip, separated by line feeds.
        const QStringList parts = m_texts(command.id).split(u'\n');
        auto *action = new QAction(parts.value(0), this);
        action->setStatusTip(parts.value(1));
        action->setToolTip(parts.value(2, parts.value(0)));
        if (image < images.size())
            action->setIcon(images[image]);
        ++image;
        action->setShortcut(command.key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, command.run);
        addAction(action);
        bar->addAction(action);
        m_actions[command.id] = action;
    }
}

void CZemDiffChildFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    m_busyText = new QLabel(m_texts(str::DiffComparing), bar);
    m_busy = new QProgressBar(bar);
    m_busy->setRange(0, 0); // no steps known: the bar only says that work goes on
    m_busy->setMaximumWidth(120);
    m_busy->setTextVisible(false);
    bar->addWidget(m_busyText);
    bar->addWidget(m_busy);
    m_busyText->hide();
    m_busy->hide();
    const int legend[3] = {str::LegendDeleted, str::LegendChanged, str::LegendInserted};
    for (int part = 0; part < 3; ++part)
        bar->addPermanentWidget(legendPart(m_texts(legend[part]), part, bar));
}

QAction *CZemDiffChildFrame::action(int id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void CZemDiffChildFrame::start(const DiffRequest &request)
{
    if (m_started)
        return;
    m_started = true;
    m_request = request;
    setWindowTitle(request.title);
    m_panes[0]->setLabel(request.leftLabel);
    m_panes[1]->setLabel(request.rightLabel);
    m_comparing = true;
    m_busyText->setText(m_texts(str::DiffComparing));
    m_busyText->show();
    m_busy->show();
    for (CZemDiffView *pane : m_panes)
        pane->viewport()->setCursor(Qt::BusyCursor);
    updateCommandStates();

    const std::string path0 = QFile::encodeName(request.leftPath).toStdString();
    const std::string path1 = QFile::encodeName(request.rightPath).toStdString();
    m_worker = std::thread([this, path0, path1] {
        auto result = std::make_shared<DiffRowModel::Result>(
            DiffRowModel::compareFiles(path0, path1, &m_cancel));
        // Queued to the window; dropped if the window is gone by then (its destructor waits
        // for this thread, so `this` is alive while the call is posted).
        QMetaObject::invokeMethod(
            this, [this, result] { finish(std::move(result->model), result->status); },
            Qt::QueuedConnection);
    });
}

void CZemDiffChildFrame::finish(std::unique_ptr<DiffRowModel> model, compare::CompareStatus status)
{
    if (m_worker.joinable())
        m_worker.join();
    m_comparing = false;
    m_status = status;
    m_model = std::move(model);
    m_panes[0]->setModel(m_model.get(), m_panes[1]);
    m_panes[1]->setModel(m_model.get(), m_panes[0]);
    m_overview->update();
    for (CZemDiffView *pane : m_panes)
        pane->viewport()->unsetCursor();
    m_busy->hide();
    int message = 0;
    if (!m_model)
        message =
            status == compare::CompareStatus::Cancelled ? str::DiffCancelled : str::DiffFailed;
    else if (status == compare::CompareStatus::BinaryDiffer)
        message = str::DiffBinary;
    else if (status == compare::CompareStatus::NoDifferences)
        message = str::DiffSame;
    m_busyText->setVisible(message != 0);
    if (message != 0)
        m_busyText->setText(m_texts(message));
    updateCommandStates();
    emit comparisonFinished();
}

void CZemDiffChildFrame::stopWorker()
{
    if (!m_worker.joinable())
        return;
    m_cancel.store(true);
    m_worker.join();
}

void CZemDiffChildFrame::deleteTemporaryFiles()
{
    if (m_filesDeleted)
        return;
    m_filesDeleted = true;
    for (const QString &file : std::as_const(m_request.temporaryFiles)) {
        if (!file.isEmpty())
            QFile::remove(file); // a failure is ignored: nothing better can be done at close
    }
}

void CZemDiffChildFrame::setActive(CZemDiffView *pane)
{
    m_active = pane;
    updateCommandStates();
}

void CZemDiffChildFrame::updateCommandStates()
{
    if (m_actions.empty())
        return;
    const bool ready = !m_comparing && m_model;
    for (const auto &[id, action] : m_actions)
        action->setEnabled(ready);
    if (!ready)
        return;
    m_actions[cmd::ToggleBookmark]->setEnabled(m_active->canToggleBookmark());
    m_actions[cmd::ClearBookmarks]->setEnabled(m_active->canClearBookmarks());
}

void CZemDiffChildFrame::showNoMoreDifferences()
{
    // The pane that had the key gets it back: a closing box leaves no window active where
    // no window manager hands the activation back (X servers without one, the offscreen
    // platform), and the next F8 would then go nowhere.
    const QPointer<QWidget> focus = QApplication::focusWidget() ? QApplication::focusWidget()
                                                                : static_cast<QWidget *>(m_active);
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), m_texts(str::NoMoreDifferences),
                    QMessageBox::Ok, this);
    box.exec();
    if (!focus || !focus->isVisible())
        return;
    focus->window()->activateWindow();
    focus->setFocus(Qt::OtherFocusReason);
}

void CZemDiffChildFrame::nextDifference()
{
    if (m_model && !m_active->nextDifference())
        showNoMoreDifferences();
}

void CZemDiffChildFrame::previousDifference()
{
    if (m_model && !m_active->previousDifference())
        showNoMoreDifferences();
}

void CZemDiffChildFrame::toggleBookmark()
{
    m_active->toggleBookmark();
}

void CZemDiffChildFrame::nextBookmark()
{
    m_active->nextBookmark();
}

void CZemDiffChildFrame::previousBookmark()
{
    m_active->previousBookmark();
}

void CZemDiffChildFrame::clearBookmarks()
{
    m_active->clearBookmarks();
}

void CZemDiffChildFrame::find()
{
    if (m_findDialog) {
        m_findDialog->raise();
        m_findDialog->activateWindow();
        return;
    }
    m_findDialog = new FindDialog(m_texts, this);
    m_findDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_findDialog, &FindDialog::findNext, this, &CZemDiffChildFrame::findNext);
    connect(m_findDialog, &QObject::destroyed, this, [this] { m_findDialog = nullptr; });
    m_findDialog->show();
}

void CZemDiffChildFrame::findNext(const QString &text, bool down, bool matchCase)
{
    if (m_model && !text.isEmpty())
        m_active->find(text, down, matchCase);
}

} // namespace views
