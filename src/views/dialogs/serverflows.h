#pragma once

// The server commands' dialogs and calls, up to the point where the browse window applies
// the outcome to its tree: add a server (wizard, logon, store), log on, the properties sheet,
// rename and delete. Each runs on the UI thread, shows its own confirmations and failures,
// and runs its service calls off the UI thread behind a wait cursor.

#include <engine/servicecalls.h>
#include <platform/machineidentity.h>
#include <platform/resultcode.h>
#include <protocol/records.h>

#include <QString>

#include <optional>

class QWidget;

namespace config {
class ProfileStore;
}

namespace views {

class LanguageModule;

// What every server flow works with.
struct ServerFlowContext
{
    const LanguageModule &module;
    config::ProfileStore &store;
    bool saveUserPass = false; // the SaveUserPass setting
    platform::MachineIdentity identity;
    engine::ServiceCalls calls;
};

struct AddedServer
{
    protocol::ServerProfile profile; // connected when the logon succeeded
    platform::ResultCode saved = 0;  // the store's answer (already shown when it failed)
};

// Add server: the add-server wizard; after Finish a logon with the new profile (a failure is
// shown, and the profile is still added, not connected), then the profile is stored. Nothing
// when the wizard was cancelled or the store refused the name because another profile took
// it meanwhile (said in a message naming it).
std::optional<AddedServer> addServer(const ServerFlowContext &context, QWidget *parent);

struct LogonFlow
{
    bool finished = false;           // the wizard ended with Finish: logged on and saved
    protocol::ServerProfile profile; // the profile as the wizard left it (also on Cancel)
};

// Log on: the logon wizard for `profile`. `withProxyRule` is set by the Log on command.
LogonFlow logOn(const ServerFlowContext &context, const protocol::ServerProfile &profile,
                bool withProxyRule, QWidget *parent);

// Server properties: the sheet titled `caption`; the profile as stored when OK or Apply
// stored it, nothing otherwise. The connected flag is kept.
std::optional<protocol::ServerProfile> editServer(const ServerFlowContext &context,
                                                  const protocol::ServerProfile &profile,
                                                  const QString &caption, QWidget *parent);

// Rename of a server node: stores the profile under `newName` in place of its old name.
// An empty name changes nothing; a name another profile has is refused with a message naming
// it; other store failures are shown. The renamed profile, or nothing.
std::optional<protocol::ServerProfile> renameServer(const ServerFlowContext &context,
                                                    const protocol::ServerProfile &profile,
                                                    const QString &newName, QWidget *parent);

// Delete server: confirmation 2000 (No preselected), ServerDelete with the profile's user ID,
// then the stored profile is deleted. True when the node should go; every failure is shown.
bool deleteServer(const ServerFlowContext &context, const protocol::ServerProfile &profile,
                  QWidget *parent);

} // namespace views
