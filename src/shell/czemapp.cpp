#include "shell/czemapp.h"

#include "shell/cmainframe.h"
#include "shell/shellconstants.h"
#include "shell/tipsdialog.h"

#include <config/profilestore.h>
#include <config/settings.h>
#include <platform/registry.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>
#include <views/diff/czemdiffchildframe.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include <cstdio>

namespace shell {

CZemApp::CZemApp(StartOptions options)
    : tipOfTheDay([](CMainFrame &frame) { frame.tipOfTheDay(); })
    , m_options(std::move(options))
{
}

CZemApp::~CZemApp()
{
    // The window goes first: it reads the module and the settings while it closes.
    m_mainFrame.reset();
    if (m_qtTranslator)
        QCoreApplication::removeTranslator(m_qtTranslator.get());
}

// Platforms without a screen have nobody to click a message box away.
static bool canShowMessageBoxes()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

void CZemApp::fail(const QString &text) const
{
    std::fprintf(stderr, "ravelind: %s\n", text.toLocal8Bit().constData());
    if (canShowMessageBoxes())
        QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
}

int CZemApp::start()
{
    // 1. Code page and application name.
    const int codePage = views::currentCodePage();
    QCoreApplication::setApplicationName(QStringLiteral("Ravelind"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quellvane"));

    // 2. The language module: the locale's, else the English one.
    m_moduleDirs = m_options.moduleDirs.isEmpty()
                       ? views::moduleSearchDirs(QCoreApplication::applicationDirPath())
                       : m_options.moduleDirs;
    std::optional<views::ModuleLocation> location = views::findModule(codePage, m_moduleDirs);
    QString why;
    if (location)
        m_module = views::LanguageModule::open(*location, why);
    if (!m_module && location && location->codePage != views::kEnglishCodePage) {
        // The locale's module is there but damaged: English is better than nothing.
        std::fprintf(stderr, "ravelind: %s\n", why.toLocal8Bit().constData());
        location = views::findModule(views::kEnglishCodePage, m_moduleDirs);
        if (location) {
            location->fellBack = true;
            m_module = views::LanguageModule::open(*location, why);
        }
    }
    if (!m_module) {
        if (!why.isEmpty())
            std::fprintf(stderr, "ravelind: %s\n", why.toLocal8Bit().constData());
        // The box only says the module is missing; say where it was looked for, so a
        // broken installation can be mended.
        for (int wanted : {codePage, views::kEnglishCodePage}) {
            for (const QString &dir : std::as_const(m_moduleDirs))
                std::fprintf(stderr, "ravelind: looked for %s\n",
                             QDir(dir)
                                 .absoluteFilePath(QStringLiteral("Zem%1.rcc").arg(wanted))
                                 .toLocal8Bit()
                                 .constData());
            if (wanted == views::kEnglishCodePage)
                break;
        }
        fail(QLatin1String(kModuleMissingText));
        return kModuleMissingExitCode;
    }
    // Qt's standard buttons speak the module's language when Qt's translation of it is
    // installed; without it the program still runs, with those buttons in English.
    const QString language = views::languageOfCodePage(m_module->codePage());
    if (!language.isEmpty()) {
        auto translator = std::make_unique<QTranslator>();
        const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (translator->load(QStringLiteral("qtbase_") + language, dir) &&
            QCoreApplication::installTranslator(translator.get())) {
            m_qtTranslator = std::move(translator);
        } else {
            std::fprintf(stderr, "ravelind: no qtbase_%s.qm in %s: Qt's buttons stay English\n",
                         language.toLocal8Bit().constData(), dir.toLocal8Bit().constData());
        }
    }
    if (location->fellBack) {
        std::fprintf(stderr, "ravelind: %s\n",
                     m_module->text(str::ModuleFellBack).arg(codePage).toLocal8Bit().constData());
    }

    // 3. to 7. The settings store (its file, RAVELIND_CONFIG_DIR), the settings and the
    // machine identity. The clipboard formats are fixed MIME types (shellconstants.h).
    m_registry = std::make_unique<platform::Registry>(m_options.registryFile.empty()
                                                          ? platform::Registry::defaultFile()
                                                          : m_options.registryFile);
    m_settings = std::make_unique<config::Settings>(*m_registry);
    m_profiles = std::make_unique<config::ProfileStore>(*m_registry);
    m_toolStore = std::make_unique<config::ToolStore>(*m_registry);
    const platform::ResultCode loaded = m_settings->load();
    if (platform::failed(loaded)) {
        fail(m_module->text(str::SettingsUnreadable).arg(views::errorText(*m_module, loaded)));
        return 1;
    }
    const std::optional<platform::RegistryNotice> notice = m_registry->takeNotice();
    m_identity = platform::readMachineIdentity();

    // 9. The child window templates hold their defaults until the windows register.
    m_templates.setFactory(ChildKind::Diff, [this]() -> QWidget * {
        const views::LanguageModule *module = m_module.get();
        views::ViewTexts texts;
        texts.text = [module](int id) {
            return module->text(id);
        };
        texts.image = [module](const QString &name) {
            return module->image(name);
        };
        return new views::CZemDiffChildFrame(std::move(texts));
    });
    // 10. The main window.
    m_mainFrame = std::make_unique<CMainFrame>(*this);
    QString frameError;
    if (!m_mainFrame->create(frameError)) {
        fail(m_module->text(str::FormDamaged).arg(frameError));
        m_mainFrame.reset();
        return 1;
    }
    // 11. One browse window, 12. shown with the start-up show state.
    m_mainFrame->newBrowseWindow();
    m_mainFrame->showWithState(m_settings->values().startShowState());
    if (m_options.splash)
        m_mainFrame->showSplash();
    if (notice) {
        const QString text = m_module->text(str::SettingsSetAside)
                                 .arg(QString::fromStdString(notice->setAsidePath.string()),
                                      QString::fromStdString(notice->reason));
        std::fprintf(stderr, "ravelind: %s\n", text.toLocal8Bit().constData());
        if (canShowMessageBoxes())
            QMessageBox::warning(m_mainFrame.get(), m_mainFrame->windowTitle(), text);
    }
    if (location->fellBack)
        m_mainFrame->showStatusMessage(m_module->text(str::ModuleFellBack).arg(codePage));
    // 13. The tip of the day, when the splash is allowed and the setting asks for it.
    if (m_options.splash && m_settings->values().startUp == 0 && tipOfTheDay)
        tipOfTheDay(*m_mainFrame);
    // 14. The tools list.
    m_tools = m_toolStore->load();
    m_started = true;
    return 0;
}

void CZemApp::exit()
{
    if (!m_started)
        return;
    m_started = false;
    const platform::ResultCode rc = m_toolStore->save(m_tools);
    if (platform::failed(rc)) {
        std::fprintf(stderr, "ravelind: %s\n",
                     m_module->text(str::ToolsNotSaved)
                         .arg(views::errorText(*m_module, rc))
                         .toLocal8Bit()
                         .constData());
    }
}

std::filesystem::path CZemApp::tipsFile() const
{
    QStringList dirs = m_moduleDirs;
    dirs.append(QDir::currentPath());
    return findTipsFile(m_module ? m_module->codePage() : views::kEnglishCodePage, dirs);
}

QString CZemApp::qtTranslationFile() const
{
    return m_qtTranslator ? m_qtTranslator->filePath() : QString();
}

QString CZemApp::helpFile(QStringList *searched) const
{
    // The guide in the module's language, docs/<language>/index.html; the English one,
    // docs/index.html, where that is not installed.
    QStringList guides;
    const QString language =
        views::languageOfCodePage(m_module ? m_module->codePage() : views::kEnglishCodePage);
    if (!language.isEmpty())
        guides.append(QStringLiteral("docs/%1/index.html").arg(language));
    guides.append(QStringLiteral("docs/index.html"));
    QStringList candidates;
    for (const QString &guide : std::as_const(guides)) {
        for (const QString &dir : m_moduleDirs)
            candidates.append(QDir(dir).absoluteFilePath(guide));
    }
    if (searched)
        *searched = candidates;
    for (const QString &candidate : std::as_const(candidates)) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

} // namespace shell
