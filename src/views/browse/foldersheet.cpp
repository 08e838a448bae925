#include "views/browse/foldersheet.h"

#include "views/browse/browseconstants.h"
#include "views/common/formdialog.h"
#include "views/common/languagemodule.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace views {

namespace {

constexpr int kAppTitle = 128;
constexpr int kHeaderImage = 149;
constexpr int kFolderForm = 155;
constexpr int kDeletedForm = 161;
constexpr int kPrivateIcon = 166;
constexpr int kFolderIcon = 168;
constexpr int kDeletedTab = 167;
constexpr int kDeletedHeaderTitle = 169;
constexpr int kDeletedHeaderSubtitle = 170;
constexpr int kDeletedColumn = 178;
constexpr int kFolderTab = 179;
constexpr int kPurgedFolder = 2016;
constexpr int kPurgedFile = 2017;
constexpr int kRecoveredFolder = 2018;
constexpr int kRecoveredFile = 2019;
constexpr int kColumnWidth = 250;

// Where a list item keeps its DeletedItem type; the name is its text.
constexpr int kTypeRole = Qt::UserRole;

QPixmap moduleImage(const BrowseResources &resources, int id)
{
    return resources.module ? resources.module->image(QStringLiteral("%1.png").arg(id)) : QPixmap();
}

} // namespace

QString failureText(const BrowseResources &resources, const protocol::CallResult &result)
{
    if (!result.errorText.empty())
        return QString::fromStdString(result.errorText);
    return resources.errorText ? resources.errorText(result.code)
                               : QString::fromStdString(result.message());
}

// --- FolderSheetPage ------------------------------------------------------------------------

FolderSheetPage::FolderSheetPage(const BrowseResources &resources, int formId, QWidget *parent)
    : QWidget(parent)
    , m_resources(resources)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!resources.module) {
        m_loadError = QStringLiteral("no language module");
        return;
    }
    std::unique_ptr<QWidget> form = resources.module->loadForm(formId, this, m_loadError);
    if (form) {
        m_form = form.release();
        layout->addWidget(m_form);
    }
}

template<class T> T *FolderSheetPage::bind(int id)
{
    return bindControl<T>(m_form, this, m_missing, id);
}

// --- CFolderPage ----------------------------------------------------------------------------

CFolderPage::CFolderPage(const BrowseResources &resources, const protocol::FolderItem &folder,
                         QWidget *parent)
    : FolderSheetPage(resources, kFolderForm, parent)
    , m_name(bind<QLineEdit>(1041))
    , m_comment(bind<QLineEdit>(1042))
    , m_icon(bind<QLabel>(1043))
{
    m_iconId = folder.isPrivate != 0 ? kPrivateIcon : kFolderIcon;
    m_icon->setPixmap(moduleImage(resources, m_iconId));
    m_name->setText(QString::fromStdString(folder.name));
    // Only the comment is stored by the sheet; the name is changed by renaming the folder.
    m_name->setReadOnly(true);
    m_comment->setText(QString::fromStdString(folder.comment));
    connect(m_comment, &QLineEdit::textEdited, this, &CFolderPage::changed);
}

QString CFolderPage::comment() const
{
    return m_comment->text();
}

// --- CDeletedItemPage -----------------------------------------------------------------------

CDeletedItemPage::CDeletedItemPage(const BrowseResources &resources, engine::ServiceCalls calls,
                                   const protocol::ServerProfile &profile, std::string folderPath,
                                   CallRunner &runner, Log log, QWidget *parent)
    : FolderSheetPage(resources, kDeletedForm, parent)
    , m_calls(std::move(calls))
    , m_profile(profile)
    , m_folderPath(std::move(folderPath))
    , m_runner(runner)
    , m_log(std::move(log))
    , m_list(bind<QTreeWidget>(1046))
    , m_recover(bind<QPushButton>(1047))
    , m_purge(bind<QPushButton>(1048))
{
    // The page's header: title and subtitle above the form.
    auto *header = new QLabel(QStringLiteral("<b>%1</b><br>%2")
                                  .arg(resources.tr(kDeletedHeaderTitle).toHtmlEscaped(),
                                       resources.tr(kDeletedHeaderSubtitle).toHtmlEscaped()),
                              this);
    header->setObjectName(QStringLiteral("header"));
    header->setWordWrap(true);
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, header);

    m_recover->setEnabled(false);
    m_purge->setEnabled(false);
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({resources.tr(kDeletedColumn)});
    m_list->setColumnWidth(0, kColumnWidth);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setUniformRowHeights(true);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        // Once something was selected the buttons stay on; a click with nothing selected
        // does nothing.
        m_recover->setEnabled(true);
        m_purge->setEnabled(true);
    });
    connect(m_recover, &QPushButton::clicked, this, &CDeletedItemPage::recover);
    connect(m_purge, &QPushButton::clicked, this, &CDeletedItemPage::purge);
}

void CDeletedItemPage::showEvent(QShowEvent *event)
{
    FolderSheetPage::showEvent(event);
    if (!m_loaded)
        load();
}

void CDeletedItemPage::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    const engine::ServiceCalls calls = m_calls;
    const protocol::ServerProfile profile = m_profile;
    const std::string path = m_folderPath;
    const QPointer<CDeletedItemPage> guard(this);
    const engine::DeletedListing listing = m_runner.wait<engine::DeletedListing>(
        [calls, profile, path] { return calls.deletedList(profile, path); });
    if (!guard)
        return;
    if (!listing.result.succeeded()) {
        showFailure(listing.result);
        return;
    }
    m_list->setUpdatesEnabled(false);
    for (const protocol::DeletedItem &d : listing.items) {
        auto *item = new QTreeWidgetItem(m_list, {QString::fromStdString(d.name)});
        const bool folder = d.type == protocol::DeletedItem::Type::Folder;
        item->setData(0, kTypeRole, static_cast<int>(d.type));
        item->setIcon(0, resources().image(folder ? browseimg::DeletedFolder : browseimg::File));
    }
    m_list->setUpdatesEnabled(true);
}

QStringList CDeletedItemPage::names() const
{
    QStringList names;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        names << m_list->topLevelItem(i)->text(0);
    return names;
}

void CDeletedItemPage::recover()
{
    handleSelected(false);
}

void CDeletedItemPage::purge()
{
    handleSelected(true);
}

// The first selected item from the top, again after each one handled: the list shrinks as
// the items go.
static QTreeWidgetItem *firstSelected(QTreeWidget &list)
{
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        if (list.topLevelItem(i)->isSelected())
            return list.topLevelItem(i);
    }
    return nullptr;
}

void CDeletedItemPage::handleSelected(bool purging)
{
    const QPointer<CDeletedItemPage> guard(this);
    m_list->setUpdatesEnabled(false);
    while (QTreeWidgetItem *item = firstSelected(*m_list)) {
        const std::string itemPath = m_folderPath + "\\" + item->text(0).toStdString();
        const bool folder = item->data(0, kTypeRole).toInt() ==
                            static_cast<int>(protocol::DeletedItem::Type::Folder);
        const engine::ServiceCalls calls = m_calls;
        const protocol::ServerProfile profile = m_profile;
        const protocol::CallResult result =
            m_runner.wait<protocol::CallResult>([calls, profile, itemPath, purging] {
                if (purging)
                    return calls.deleteItems(profile, {itemPath}, true).failure;
                return calls.recover(profile, itemPath);
            });
        if (!guard)
            return;
        if (!result.succeeded()) {
            m_list->setUpdatesEnabled(true);
            showFailure(result);
            return;
        }
        const int line = purging ? (folder ? kPurgedFolder : kPurgedFile)
                                 : (folder ? kRecoveredFolder : kRecoveredFile);
        if (m_log)
            m_log(browseimg::Success, resources().tr(line).arg(QString::fromStdString(itemPath)));
        delete item;
    }
    m_list->setUpdatesEnabled(true);
}

void CDeletedItemPage::showFailure(const protocol::CallResult &result)
{
    QMessageBox::critical(this, resources().tr(kAppTitle), failureText(resources(), result));
}

// --- CFolderSheet ---------------------------------------------------------------------------

CFolderSheet::CFolderSheet(const BrowseResources &resources, engine::ServiceCalls calls,
                           FolderSheetRequest request, CDeletedItemPage::Log log, QWidget *parent)
    : QDialog(parent)
    , m_resources(resources)
    , m_calls(std::move(calls))
    , m_request(std::move(request))
    , m_tabs(new QTabWidget(this))
    , m_folderPage(new CFolderPage(resources, m_request.folder))
    , m_deletedPage(new CDeletedItemPage(resources, m_calls, m_request.profile,
                                         m_request.folderPath, m_runner, std::move(log)))
    , m_buttons(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(m_request.caption);
    auto *layout = new QVBoxLayout(this);
    auto *header = new QLabel(this);
    header->setObjectName(QStringLiteral("headerImage"));
    header->setPixmap(moduleImage(resources, kHeaderImage));
    layout->addWidget(header);
    m_tabs->addTab(m_folderPage, resources.tr(kFolderTab));
    m_tabs->addTab(m_deletedPage, resources.tr(kDeletedTab));
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    QPushButton *applyButton = m_buttons->button(QDialogButtonBox::Apply);
    applyButton->setEnabled(false);
    connect(m_folderPage, &CFolderPage::changed, applyButton,
            [applyButton] { applyButton->setEnabled(true); });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton, &QPushButton::clicked, this, [this, applyButton] {
        if (apply())
            applyButton->setEnabled(false);
    });
}

bool CFolderSheet::apply()
{
    const std::string comment = m_folderPage->comment().toStdString();
    const engine::ServiceCalls calls = m_calls;
    const protocol::ServerProfile profile = m_request.profile;
    const std::string path = m_request.folderPath;
    const QPointer<CFolderSheet> guard(this);
    const protocol::CallResult result =
        m_runner.wait<protocol::CallResult>([calls, profile, path, comment] {
            return calls.updateFolderComment(profile, path, comment);
        });
    if (!guard)
        return false;
    if (!result.succeeded()) {
        QMessageBox::critical(this, m_resources.tr(kAppTitle), failureText(m_resources, result));
        return false;
    }
    m_request.folder.comment = comment;
    m_applied = true;
    emit commentApplied(QString::fromStdString(comment));
    return true;
}

void CFolderSheet::accept()
{
    if (!apply())
        return;
    QDialog::accept();
}

} // namespace views
