#include "views/dialogs/optionsheet.h"

#include "views/common/errortext.h"
#include "views/common/languagemodule.h"

#include <config/profilestore.h>
#include <config/settings.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace views {

namespace {

// Forms and strings of the language module.
constexpr int kSavePage = 141;
constexpr int kDisplayPage = 179;
constexpr int kFolderPage = 174;
constexpr int kLocalFilePage = 180;
constexpr int kFolderBrowserTitle = 180;
constexpr int kTitle = 3096;
constexpr int kRemoveCredentialsQuestion = 3093;
constexpr int kNotSaved = 3090;
constexpr int kCredentialsNotSaved = 3094;

enum PageIndex { SavePage, DisplayPage, FolderPage, LocalFilePage };

} // namespace

template<class T> T *COptionSheet::bind(QWidget *page, int formId, int id)
{
    const QString name = QStringLiteral("c%1").arg(id);
    if (page) {
        if (T *control = page->findChild<T *>(name))
            return control;
    }
    m_missing.append(QStringLiteral("%1: %2 (%3)")
                         .arg(formId)
                         .arg(name, QLatin1String(T::staticMetaObject.className())));
    // A hidden stand-in, so a damaged module cannot crash the program.
    T *standIn = new T(this);
    standIn->setObjectName(name);
    standIn->hide();
    return standIn;
}

QWidget *COptionSheet::addPage(int formId)
{
    QString error;
    std::unique_ptr<QWidget> form = m_module.loadForm(formId, nullptr, error);
    if (!form) {
        m_missing.append(QStringLiteral("%1: %2").arg(formId).arg(error));
        form = std::make_unique<QWidget>();
    }
    QWidget *page = form.get();
    m_pages->addTab(form.release(), page->windowTitle());
    return page;
}

COptionSheet::COptionSheet(const LanguageModule &module, config::Settings &settings,
                           config::ProfileStore &profiles,
                           std::optional<std::vector<protocol::ServerProfile>> shownServers,
                           const QPixmap &header, QWidget *parent)
    : QDialog(parent)
    , m_module(module)
    , m_settings(settings)
    , m_profiles(profiles)
    , m_shownServers(std::move(shownServers))
{
    setWindowTitle(module.text(kTitle));
    auto *layout = new QVBoxLayout(this);
    if (!header.isNull()) {
        auto *picture = new QLabel(this);
        picture->setPixmap(header);
        layout->addWidget(picture);
    }
    m_pages = new QTabWidget(this);
    layout->addWidget(m_pages);

    QWidget *save = addPage(kSavePage);
    m_saveUserPass = bind<QCheckBox>(save, kSavePage, 1026);
    m_saveWindowSize = bind<QCheckBox>(save, kSavePage, 1069);
    m_saveColumnSize = bind<QCheckBox>(save, kSavePage, 1070);
    m_saveColumnOrder = bind<QCheckBox>(save, kSavePage, 1071);
    QWidget *display = addPage(kDisplayPage);
    m_displayUnitSize = bind<QCheckBox>(display, kDisplayPage, 1070);
    QWidget *folder = addPage(kFolderPage);
    m_getFolder = bind<QLineEdit>(folder, kFolderPage, 1010);
    m_logFolder = bind<QLineEdit>(folder, kFolderPage, 1015);
    auto *browseGet = bind<QPushButton>(folder, kFolderPage, 1011);
    auto *browseLog = bind<QPushButton>(folder, kFolderPage, 1016);
    QWidget *localFile = addPage(kLocalFilePage);
    m_deleteLocal = bind<QRadioButton>(localFile, kLocalFilePage, 1071);
    m_keepLocal = bind<QRadioButton>(localFile, kLocalFilePage, 1072);
    m_undoUnchanged = bind<QCheckBox>(localFile, kLocalFilePage, 1073);

    const config::SettingsValues &v = m_settings.values();
    m_saveUserPass->setChecked(v.saveUserPass != 0);
    m_saveWindowSize->setChecked(v.saveWindowSize != 0);
    m_saveColumnSize->setChecked(v.saveColumnSize != 0);
    m_saveColumnOrder->setChecked(v.saveColumnOrder != 0);
    m_displayUnitSize->setChecked(v.displayUnitSize != 0);
    m_getFolder->setText(QString::fromStdString(v.defaultGetFileFolder));
    m_logFolder->setText(QString::fromStdString(v.defaultLogFolder));
    (v.deleteLocalFile != 0 ? m_deleteLocal : m_keepLocal)->setChecked(true);
    // Set by the "always" answer of the check-in's question; cleared here to be asked again.
    m_undoUnchanged->setChecked(v.undoUnchangedCheckIn != 0);

    connect(browseGet, &QPushButton::clicked, this, [this] { browseFolder(m_getFolder); });
    connect(browseLog, &QPushButton::clicked, this, [this] { browseFolder(m_logFolder); });

    m_shown.assign(std::size_t(m_pages->count()), false);
    m_shown[0] = true;
    connect(m_pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && std::size_t(index) < m_shown.size())
            m_shown[std::size_t(index)] = true;
    });

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { apply(); });
}

void COptionSheet::browseFolder(QLineEdit *edit)
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, m_module.text(kFolderBrowserTitle), edit->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        edit->setText(chosen);
}

bool COptionSheet::apply()
{
    config::SettingsValues v = m_settings.values();
    std::vector<config::SettingField> fields;
    const bool savePageShown = m_shown[SavePage];
    const bool wasSavingCredentials = v.saveUserPass != 0;
    if (savePageShown) {
        v.saveUserPass = m_saveUserPass->isChecked() ? 1 : 0;
        v.saveWindowSize = m_saveWindowSize->isChecked() ? 1 : 0;
        v.saveColumnSize = m_saveColumnSize->isChecked() ? 1 : 0;
        v.saveColumnOrder = m_saveColumnOrder->isChecked() ? 1 : 0;
        fields.insert(fields.end(),
                      {config::SettingField::SaveUserPass, config::SettingField::SaveWindowSize,
                       config::SettingField::SaveColumnSize,
                       config::SettingField::SaveColumnOrder});
    }
    if (m_shown[DisplayPage]) {
        v.displayUnitSize = m_displayUnitSize->isChecked() ? 1 : 0;
        fields.push_back(config::SettingField::DisplayUnitSize);
    }
    if (m_shown[FolderPage]) {
        v.defaultGetFileFolder = m_getFolder->text().toStdString();
        v.defaultLogFolder = m_logFolder->text().toStdString();
        fields.insert(fields.end(), {config::SettingField::DefaultGetFileFolder,
                                     config::SettingField::DefaultLogFolder});
    }
    if (m_shown[LocalFilePage]) {
        v.deleteLocalFile = m_deleteLocal->isChecked() ? 1 : 0;
        v.undoUnchangedCheckIn = m_undoUnchanged->isChecked() ? 1 : 0;
        fields.insert(fields.end(), {config::SettingField::DeleteLocalFile,
                                     config::SettingField::UndoUnchangedCheckIn});
    }

    // Stored passwords are about to go: the user may not expect that from a check box.
    const bool removing = savePageShown && wasSavingCredentials && v.saveUserPass == 0 &&
                          m_shownServers && !m_shownServers->empty();
    if (removing) {
        QStringList names;
        for (const protocol::ServerProfile &p : *m_shownServers)
            names.append(QString::fromStdString(p.name));
        if (QMessageBox::question(
                this, windowTitle(),
                m_module.text(kRemoveCredentialsQuestion).arg(names.join(QStringLiteral(", "))),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return false;
    }

    if (!fields.empty()) {
        if (const platform::ResultCode rc = m_settings.write(v, fields); platform::failed(rc)) {
            QMessageBox::warning(this, windowTitle(),
                                 m_module.text(kNotSaved).arg(errorText(m_module, rc)));
            return false;
        }
    }
    if (!savePageShown || !m_shownServers)
        return true;
    // Every server node of the tree: its credentials as the node holds them, or none.
    QStringList failed;
    for (const protocol::ServerProfile &profile : *m_shownServers) {
        const platform::ResultCode rc = v.saveUserPass != 0
                                            ? m_profiles.writeCredentials(profile)
                                            : m_profiles.removeCredentials(profile.name);
        if (platform::failed(rc))
            failed.append(QStringLiteral("%1: %2").arg(QString::fromStdString(profile.name),
                                                       errorText(m_module, rc)));
    }
    if (!failed.isEmpty()) {
        QMessageBox::warning(
            this, windowTitle(),
            m_module.text(kCredentialsNotSaved).arg(failed.join(QLatin1Char('\n'))));
        return false;
    }
    return true;
}

void COptionSheet::accept()
{
    if (apply())
        QDialog::accept();
}

} // namespace views
