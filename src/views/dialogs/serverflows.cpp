#include "views/dialogs/serverflows.h"

#include "views/browse/callrunner.h"
#include "views/common/errortext.h"
#include "views/common/languagemodule.h"
#include "views/dialogs/dialogconstants.h"
#include "views/dialogs/serversheet.h"
#include "views/dialogs/serverwizards.h"

#include <config/profilestore.h>

#include <QMessageBox>

namespace views {

static QString fromStd(const std::string &s)
{
    return QString::fromStdString(s);
}

// The message for a refused store change: the clash names the profile that has the name.
static void showStoreRefusal(const ServerFlowContext &context, platform::ResultCode rc,
                             const std::string &name, QWidget *parent)
{
    const QString title = context.module.text(dlgstr::AppTitle);
    if (platform::win32Error(rc) == platform::err::AlreadyExists) {
        std::string stored = context.store.storedName(name);
        QMessageBox::warning(parent, title,
                             context.module.text(dlgstr::ProfileExists)
                                 .arg(fromStd(stored.empty() ? name : stored)));
        return;
    }
    QMessageBox::warning(
        parent, title,
        context.module.text(dlgstr::ProfileNotSaved).arg(errorText(context.module, rc)));
}

std::optional<AddedServer> addServer(const ServerFlowContext &context, QWidget *parent)
{
    config::ProfileStore &store = context.store;
    AddServerWizard wizard(
        context.module,
        [&store](const QString &name) { return !store.storedName(name.toStdString()).empty(); },
        true, parent);
    if (wizard.exec() != QDialog::Accepted)
        return std::nullopt;

    AddedServer added;
    added.profile = wizard.profile(context.saveUserPass, context.identity.userName);
    CallRunner runner;
    const engine::ServiceCalls calls = context.calls;
    const protocol::ServerProfile attempt = added.profile;
    const platform::MachineIdentity identity = context.identity;
    const engine::LogonOutcome outcome = runner.wait<engine::LogonOutcome>(
        [calls, attempt, identity] { return calls.logon(attempt, identity); });
    if (outcome.result.succeeded()) {
        added.profile.connected = 1;
        added.profile.userId = outcome.userId;
    } else {
        QMessageBox::critical(parent, context.module.text(dlgstr::AppTitle),
                              callFailureText(context.module, outcome.result));
    }

    added.saved = store.add(added.profile, context.saveUserPass);
    if (platform::failed(added.saved)) {
        showStoreRefusal(context, added.saved, added.profile.name, parent);
        // Another profile took the name meanwhile: adding a second node of that name would
        // show two servers where the store keeps one.
        if (platform::win32Error(added.saved) == platform::err::AlreadyExists)
            return std::nullopt;
    }
    return added;
}

LogonFlow logOn(const ServerFlowContext &context, const protocol::ServerProfile &profile,
                bool withProxyRule, QWidget *parent)
{
    LogonWizard wizard(context.module, profile, context.calls, context.identity, context.store,
                       context.saveUserPass, withProxyRule, parent);
    LogonFlow flow;
    flow.finished = wizard.exec() == QDialog::Accepted;
    flow.profile = wizard.profile();
    return flow;
}

std::optional<protocol::ServerProfile> editServer(const ServerFlowContext &context,
                                                  const protocol::ServerProfile &profile,
                                                  const QString &caption, QWidget *parent)
{
    ServerSheet sheet(context.module, profile, caption, context.store, context.saveUserPass,
                      parent);
    sheet.exec();
    if (!sheet.saved())
        return std::nullopt;
    return sheet.profile();
}

std::optional<protocol::ServerProfile> renameServer(const ServerFlowContext &context,
                                                    const protocol::ServerProfile &profile,
                                                    const QString &newName, QWidget *parent)
{
    if (newName.isEmpty())
        return std::nullopt;
    protocol::ServerProfile renamed = profile;
    renamed.name = newName.toStdString();
    const platform::ResultCode rc =
        context.store.rename(profile.name, renamed, context.saveUserPass);
    if (platform::failed(rc)) {
        showStoreRefusal(context, rc, renamed.name, parent);
        return std::nullopt;
    }
    return renamed;
}

bool deleteServer(const ServerFlowContext &context, const protocol::ServerProfile &profile,
                  QWidget *parent)
{
    const QString title = context.module.text(dlgstr::AppTitle);
    if (QMessageBox::warning(
            parent, title,
            context.module.text(dlgstr::DeleteServerQuestion).arg(fromStd(profile.name)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;
    CallRunner runner;
    const engine::ServiceCalls calls = context.calls;
    const protocol::CallResult result =
        runner.wait<protocol::CallResult>([calls, profile] { return calls.serverDelete(profile); });
    if (!result.succeeded()) {
        QMessageBox::critical(parent, title, callFailureText(context.module, result));
        return false;
    }
    const platform::ResultCode rc = context.store.remove(profile.name);
    if (platform::failed(rc)) {
        QMessageBox::warning(parent, title, errorText(context.module, rc));
        return false;
    }
    return true;
}

} // namespace views
