#include "views/dialogs/workfolderdialog.h"

#include "views/browse/callrunner.h"
#include "views/common/errortext.h"
#include "views/common/languagemodule.h"
#include "views/dialogs/dialogconstants.h"

#include <engine/localfiles.h>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace views {

WorkFolderDialog::WorkFolderDialog(const LanguageModule &module, const QString &serverFolderPath,
                                   const QString &workFolder,
                                   std::optional<protocol::ServerProfile> server,
                                   engine::ServiceCalls calls, QWidget *parent)
    : FormDialog(module, dlgform::WorkFolder, parent)
    , m_serverFolder(bind<QLineEdit>(1041))
    , m_workFolder(bind<QLineEdit>(1014))
    , m_server(std::move(server))
    , m_calls(std::move(calls))
    , m_runner(new CallRunner(this))
{
    m_serverFolder->setText(serverFolderPath);
    m_workFolder->setText(workFolder);
    connect(bind<QPushButton>(1015), &QPushButton::clicked, this, &WorkFolderDialog::browse);
}

WorkFolderDialog::~WorkFolderDialog() = default;

QString WorkFolderDialog::workFolder() const
{
    return m_workFolder->text();
}

void WorkFolderDialog::browse()
{
    const QString chosen =
        QFileDialog::getExistingDirectory(this, module().text(dlgstr::WorkFolderBrowseTitle),
                                          m_workFolder->text(), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty())
        m_workFolder->setText(chosen);
}

void WorkFolderDialog::accept()
{
    if (m_runner->busy())
        return;
    QString local = m_workFolder->text();
    // "~" is the home folder, as in a shell.
    if (local == QLatin1String("~") || local.startsWith(QLatin1String("~/"))) {
        local = QDir::homePath() + local.mid(1);
        m_workFolder->setText(local);
    }
    // A relative path would be taken from whatever folder the program was started in, and
    // files would be fetched into, or looked for in, a place the user never chose.
    if (!local.isEmpty() && QDir::isRelativePath(local)) {
        QMessageBox::warning(this, windowTitle(),
                             module().text(dlgstr::WorkFolderNotAbsolute).arg(local));
        m_workFolder->setFocus();
        m_workFolder->selectAll();
        return;
    }
    if (!local.isEmpty() && !QFileInfo(local).isDir()) {
        if (QMessageBox::warning(
                this, windowTitle(), module().text(dlgstr::CreateWorkFolder).arg(local),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
            return;
        const engine::SystemError made = engine::makePath(local.toStdString());
        if (made != 0) {
            QMessageBox::critical(this, windowTitle(),
                                  errorText(module(), platform::fromWin32(made)));
            return;
        }
    }
    if (!m_server) {
        FormDialog::accept();
        return;
    }
    const engine::ServiceCalls calls = m_calls;
    const protocol::ServerProfile profile = *m_server;
    const std::string folderPath = m_serverFolder->text().toStdString();
    const std::string workFolder = local.toStdString();
    const protocol::CallResult result =
        m_runner->wait<protocol::CallResult>([calls, profile, folderPath, workFolder] {
            return calls.setWorkFolder(profile, folderPath, workFolder);
        });
    if (!result.succeeded()) {
        QMessageBox::critical(this, windowTitle(), callFailureText(module(), result));
        return;
    }
    if (stored)
        stored(local);
    FormDialog::accept();
}

void WorkFolderDialog::reject()
{
    if (!m_runner->busy())
        FormDialog::reject();
}

} // namespace views
