// ravelind-cli: the version-control client for scripts and CI, over the same engine, settings
// and language module as the window. See cliarguments.h for the command line and
// clisession.h for the exit status.

#include "cliarguments.h"
#include "cliconnection.h"
#include "clisession.h"

#include <config/profilestore.h>
#include <engine/stringtable.h>
#include <platform/httptransport.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

int usageError(const std::string &why)
{
    std::fprintf(stderr, "ravelind-cli: %s\n(ravelind-cli --help lists the commands)\n",
                 why.c_str());
    return cli::kExitTrouble;
}

// The profile the command line names; nothing after a usage error line.
std::optional<protocol::ServerProfile> chooseProfile(const cli::GlobalOptions &global)
{
    protocol::ServerProfile profile;
    if (!global.server.empty()) {
        std::string why;
        const std::optional<cli::ServerUrl> url = cli::parseServerUrl(global.server, why);
        if (!url) {
            usageError(why);
            return std::nullopt;
        }
        return cli::profileFromUrl(*url);
    }
    platform::Registry registry(platform::Registry::defaultFile());
    config::ProfileStore store(registry);
    const platform::ResultCode rc = store.readByName(global.profile, profile);
    if (rc != 0) {
        usageError(rc == platform::err::FileNotFound || rc == platform::err::NoMoreItems
                       ? "there is no server profile named \"" + global.profile + "\""
                       : "the server profile \"" + global.profile +
                             "\" cannot be read: " + platform::errorText(rc, true));
        return std::nullopt;
    }
    return profile;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cli::ParseOutcome parsed = cli::parseArguments(args);
    if (!parsed.invocation)
        return usageError(parsed.error);
    const cli::Invocation &in = *parsed.invocation;
    if (in.help) {
        std::fputs(cli::usageText().data(), stdout);
        return cli::kExitOk;
    }

    const std::optional<engine::StringTableLocation> location = engine::findStringTable(
        engine::currentCodePage(), engine::stringTableSearchDirs(engine::executableDir()));
    if (!location) {
        // The one text that cannot come from the module.
        std::fputs("ravelind-cli: Resource file is not found!\n", stderr);
        return cli::kExitTrouble;
    }
    std::string why;
    const std::optional<engine::StringTable> strings =
        engine::StringTable::load(location->path, why);
    if (!strings) {
        std::fprintf(stderr, "ravelind-cli: %s\n", why.c_str());
        return cli::kExitTrouble;
    }

    std::optional<protocol::ServerProfile> profile = chooseProfile(in.global);
    if (!profile)
        return cli::kExitTrouble;
    const platform::MachineIdentity machine = platform::readMachineIdentity();
    cli::applyIdentity(in.global, machine.userName, *profile);
    std::optional<std::string> password =
        cli::passwordFrom(std::getenv("RAVELIND_PASSWORD"), *profile);
    if (!password && ::isatty(STDIN_FILENO))
        password =
            cli::promptPassword("Password for " + profile->userName + "@" + profile->server + ": ");
    profile->password = password.value_or(std::string());

    platform::initHttp();
    protocol::ServiceClient client;
    client.fillFromProfile(*profile);
    cli::Console console(stdout, stderr, ::isatty(STDERR_FILENO) != 0);
    cli::Session session(*strings, client, *profile, machine, console);
    return cli::runCommand(in, session);
}
