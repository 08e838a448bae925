#pragma once

// Shared pieces of the views' Qt tests: the English language module, a settings store in a
// temporary folder, the reference service with its demo data, and a browse window on it.

#include "servertestsupport.h"

#include <config/settings.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <protocol/serviceclient.h>
#include <views/browse/browsewindow.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

namespace browsetest {

inline const views::LanguageModule &module()
{
    static std::unique_ptr<views::LanguageModule> m = [] {
        QString error;
        const auto location = views::findModule(437, {QStringLiteral(RAVELIND_MODULE_DIR)});
        auto opened = location ? views::LanguageModule::open(*location, error) : nullptr;
        if (!opened)
            qFatal("no language module in %s: %s", RAVELIND_MODULE_DIR, qPrintable(error));
        return opened;
    }();
    return *m;
}

inline views::BrowseResources resources()
{
    views::BrowseResources r;
    r.module = &module();
    r.text = [](int id) {
        return module().text(id);
    };
    r.images = views::LanguageModule::splitStrip(module().bitmap(133), 16);
    r.errorText = [](platform::ResultCode rc) {
        return views::errorText(module(), rc);
    };
    r.identity = platform::readMachineIdentity();
    return r;
}

// The reference service with the demo repository, and a profile whose user ID is this
// machine's logon user (who owns the demo's private folder).
struct DemoService
{
    servertest::TempDir data;
    servertest::ServerProcess server;
    bool started = false;

    DemoService() { started = server.start(data.path(), {"--seed-demo"}); }
    ~DemoService() { server.stop(); }

    protocol::ServerProfile profile(const std::string &name = "Demo") const
    {
        protocol::ServerProfile p;
        p.name = name;
        p.server = "127.0.0.1";
        p.url = "/Service.asmx";
        p.port = static_cast<std::uint16_t>(server.port());
        p.userId = platform::readMachineIdentity().userName;
        p.timeout = 10;
        return p;
    }
    // A client of another user of the same service ("another client's change").
    protocol::ServiceClient client() const
    {
        protocol::ServiceClient c;
        c.fillFromProfile(profile());
        return c;
    }
};

// Settings in a temporary folder; the log goes to `logFolder` (the temporary folder itself
// when empty).
struct TestSettings
{
    servertest::TempDir dir;
    platform::Registry registry{dir.path() / "registry.reg"};
    config::Settings settings{registry, dir.path().string()};

    explicit TestSettings(const std::string &logFolder = {})
    {
        (void)settings.load();
        config::SettingsValues v = settings.values();
        v.defaultLogFolder = logFolder.empty() ? dir.path().string() : logFolder;
        (void)settings.write(v, {config::SettingField::DefaultLogFolder});
    }
};

// Runs `answer` on the next modal widget that opens.
inline void answerNextModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer = std::move(answer)] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        }
    });
    timer->start();
}

// The child of `parent` named `name`, by its text (the model's display role).
inline QModelIndex childNamed(const QAbstractItemModel &model, const QModelIndex &parent,
                              const QString &name)
{
    for (int r = 0; r < model.rowCount(parent); ++r) {
        const QModelIndex i = model.index(r, 0, parent);
        if (i.data().toString() == name)
            return i;
    }
    return {};
}

inline QStringList childNames(const QAbstractItemModel &model, const QModelIndex &parent)
{
    QStringList names;
    for (int r = 0; r < model.rowCount(parent); ++r)
        names << model.index(r, 0, parent).data().toString();
    return names;
}

} // namespace browsetest
