#pragma once

// The work-folder dialog (form 138): the server folder and the local working folder kept
// for it on the service. OK creates a missing folder after asking, then stores the folder on
// the service (SetWorkFolderPath, off the UI thread).

#include "views/common/formdialog.h"

#include <engine/servicecalls.h>
#include <protocol/records.h>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

namespace views {

class CallRunner;

class WorkFolderDialog : public FormDialog
{
    Q_OBJECT
public:
    // `server`: the selected node's server profile; without one (no node selected) OK only
    // closes. `serverFolderPath` is the folder's server path, `workFolder` its current one.
    WorkFolderDialog(const LanguageModule &module, const QString &serverFolderPath,
                     const QString &workFolder, std::optional<protocol::ServerProfile> server,
                     engine::ServiceCalls calls, QWidget *parent = nullptr);
    ~WorkFolderDialog() override;

    QString workFolder() const;
    QLineEdit *workFolderField() const { return m_workFolder; }

    // Called once the service stored the folder, before the dialog closes: the caller updates
    // the folder record and status pane 2.
    std::function<void(const QString &workFolder)> stored;

    void accept() override;
    void reject() override;

private:
    void browse();

    QLineEdit *m_serverFolder;
    QLineEdit *m_workFolder;
    std::optional<protocol::ServerProfile> m_server;
    engine::ServiceCalls m_calls;
    CallRunner *m_runner;
};

} // namespace views
