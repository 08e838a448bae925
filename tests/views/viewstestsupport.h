#pragma once

// What the Qt tests of the views share: the built English language module, and the
// reference service with its demo data as a child process.

#include "views/common/languagemodule.h"

#include "servertestsupport.h"

#include <protocol/records.h>
#include <protocol/serviceclient.h>

#include <QString>
#include <QtTest>

#include <memory>
#include <optional>
#include <string>

namespace viewstest {

inline std::unique_ptr<views::LanguageModule> openModule()
{
    const auto location = views::findModule(437, QStringList{QStringLiteral(RAVELIND_MODULE_DIR)});
    if (!location)
        return nullptr;
    QString error;
    return views::LanguageModule::open(*location, error);
}

inline protocol::ServerProfile profileFor(int port)
{
    protocol::ServerProfile profile;
    profile.name = "demo";
    profile.server = "127.0.0.1";
    profile.url = "/Service.asmx";
    profile.port = static_cast<std::uint16_t>(port);
    profile.timeout = 60;
    return profile;
}

// The demo service on a fresh data folder, with one user of these tests logged on.
struct DemoService
{
    servertest::TempDir data;
    servertest::ServerProcess process;
    protocol::ServerProfile profile;

    bool start(const std::string &logonUser)
    {
        if (!process.start(data.path(), {"--seed-demo"}))
            return false;
        profile = profileFor(process.port());
        protocol::ServiceClient client;
        client.fillFromProfile(profile);
        std::optional<std::string> id;
        if (!client.logon("", "pc-" + logonUser, logonUser, "127.0.0.1", id).succeeded() || !id)
            return false;
        profile.userId = *id;
        return true;
    }

    protocol::ServiceClient client() const
    {
        protocol::ServiceClient c;
        c.fillFromProfile(profile);
        return c;
    }
};

} // namespace viewstest
