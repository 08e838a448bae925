#include "views/dialogs/getdialog.h"

#include "views/common/languagemodule.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace views {

namespace {

constexpr int kForm = 147;
constexpr int kBrowse = 1034;
constexpr int kSubfolders = 1036;
constexpr int kKeepWritable = 1038;
constexpr int kDestination = 1040;
constexpr int kBrowserTitle = 180;

// Takes one trailing "/" off, but never makes the root folder empty.
QString withoutTrailingSlash(QString folder)
{
    if (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

QString getDestinationText(const QString &localFolder, const QString &fileName, bool oneFile)
{
    if (!oneFile)
        return localFolder;
    if (localFolder.endsWith(QLatin1Char('/')))
        return localFolder + fileName;
    return localFolder + QLatin1Char('/') + fileName;
}

GetDestination parseGetDestination(const QString &destination, bool folderOrSeveral)
{
    if (folderOrSeveral)
        return {withoutTrailingSlash(destination), QString()};
    const qsizetype slash = destination.lastIndexOf(QLatin1Char('/'));
    const QString directory = slash < 0 ? QString() : destination.left(slash + 1);
    return {withoutTrailingSlash(directory), destination};
}

GetDialog::GetDialog(const LanguageModule &module, GetOptions options, QWidget *parent)
    : FormDialog(module, kForm, parent)
    , m_options(std::move(options))
    , m_destination(bind<QLineEdit>(kDestination))
    , m_browse(bind<QPushButton>(kBrowse))
    , m_keepWritable(bind<QCheckBox>(kKeepWritable))
    , m_subfolders(bind<QCheckBox>(kSubfolders))
{
    if (!m_options.title.isEmpty())
        setWindowTitle(m_options.title);
    m_destination->setText(m_options.destination);
    m_keepWritable->setChecked(m_options.keepWritable);
    m_subfolders->setChecked(m_options.subfolders);
    m_subfolders->setVisible(m_options.folderMode);
    m_chooser = [](QWidget *owner, const QString &title, const QString &start) {
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };
    connect(m_browse, &QPushButton::clicked, this, &GetDialog::browse);
}

void GetDialog::browse()
{
    const QString chosen = m_chooser(this, module().text(kBrowserTitle), m_options.localFolder);
    if (chosen.isEmpty())
        return;
    m_options.localFolder = chosen;
    // The file name is the one the caller preset; the folder part is the new one.
    const QString name = m_options.fileName.section(QLatin1Char('/'), -1);
    m_destination->setText(chosen.endsWith(QLatin1Char('/')) ? chosen + name
                                                             : chosen + QLatin1Char('/') + name);
}

void GetDialog::accept()
{
    m_options.destination = m_destination->text();
    m_options.keepWritable = m_keepWritable->isChecked();
    m_options.subfolders = m_subfolders->isChecked();
    const GetDestination parsed =
        parseGetDestination(m_options.destination, m_options.folderMode || m_options.severalFiles);
    m_options.localFolder = parsed.localFolder;
    m_options.fileName = parsed.fileName;
    FormDialog::accept();
}

} // namespace views
