#include "views/common/languagemodule.h"

#include <engine/stringtable.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QResource>
#include <QUiLoader>
#include <QWidget>

#include <algorithm>

namespace views {

static const QString kMapRoot = QStringLiteral("/zem");

// The rules live in the engine, so the command-line client picks the same module.
int codePageForLocale(const QString &localeName)
{
    return engine::codePageForLocale(localeName.toStdString());
}

QString languageOfCodePage(int codePage)
{
    switch (codePage) {
    case 932:
        return QStringLiteral("ja");
    case 936:
        return QStringLiteral("zh_CN");
    case 949:
        return QStringLiteral("ko");
    case 950:
        return QStringLiteral("zh_TW");
    default:
        return {};
    }
}

int currentCodePage()
{
    return engine::currentCodePage();
}

QStringList moduleSearchDirs(const QString &executableDir)
{
    const QDir dir(executableDir);
    return {dir.absolutePath(),
            QDir::cleanPath(dir.absoluteFilePath(QStringLiteral("../share/ravelind")))};
}

static QString moduleFileName(int codePage)
{
    return QStringLiteral("Zem%1.rcc").arg(codePage);
}

static QString findIn(int codePage, const QStringList &dirs)
{
    for (const QString &dir : dirs) {
        const QFileInfo info(QDir(dir), moduleFileName(codePage));
        if (info.isFile() && info.isReadable())
            return info.absoluteFilePath();
    }
    return {};
}

std::optional<ModuleLocation> findModule(int codePage, const QStringList &dirs)
{
    if (QString path = findIn(codePage, dirs); !path.isEmpty())
        return ModuleLocation{path, codePage, false};
    if (codePage != kEnglishCodePage) {
        if (QString path = findIn(kEnglishCodePage, dirs); !path.isEmpty())
            return ModuleLocation{path, kEnglishCodePage, true};
    }
    return std::nullopt;
}

static QString unescape(QStringView text, bool &ok)
{
    QString out;
    out.reserve(text.size());
    ok = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++i == text.size()) {
            ok = false;
            break;
        }
        switch (text[i].unicode()) {
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            ok = false;
            return out;
        }
    }
    return out;
}

bool parseStringTable(const QByteArray &data, std::map<int, QString> &table, QString &error)
{
    const QString text = QString::fromUtf8(data);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto fail = [&](const QString &why) {
            error = QStringLiteral("line %1: %2").arg(n + 1).arg(why);
            return false;
        };
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0)
            return fail(QStringLiteral("no tab after the number"));
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (!ok || id < 0)
            return fail(QStringLiteral("bad number"));
        const QString value = unescape(line.mid(tab + 1), ok);
        if (!ok)
            return fail(QStringLiteral("bad escape"));
        if (!table.emplace(id, value).second)
            return fail(QStringLiteral("number %1 given twice").arg(id));
    }
    return true;
}

LanguageModule::LanguageModule(ModuleLocation location)
    : m_location(std::move(location))
{
}

std::unique_ptr<LanguageModule> LanguageModule::open(const ModuleLocation &location, QString &error)
{
    if (!QResource::registerResource(location.path, kMapRoot)) {
        error = QStringLiteral("%1 is not a resource file").arg(location.path);
        return nullptr;
    }
    std::unique_ptr<LanguageModule> module(new LanguageModule(location));
    QFile strings(rootPath() + QStringLiteral("/strings.txt"));
    if (!strings.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 holds no string table").arg(location.path);
        return nullptr; // the destructor unregisters the file
    }
    QString why;
    if (!parseStringTable(strings.readAll(), module->m_strings, why)) {
        error = QStringLiteral("%1: string table %2").arg(location.path, why);
        return nullptr;
    }
    return module;
}

LanguageModule::~LanguageModule()
{
    QResource::unregisterResource(m_location.path, kMapRoot);
}

QString LanguageModule::rootPath()
{
    return QLatin1Char(':') + kMapRoot;
}

QString LanguageModule::text(int id) const
{
    const auto it = m_strings.find(id);
    return it == m_strings.end() ? QStringLiteral("#%1").arg(id) : it->second;
}

QString LanguageModule::textPart(int id, int part) const
{
    return text(id).section(QLatin1Char('\n'), part, part);
}

QPixmap LanguageModule::bitmap(int id) const
{
    return image(QStringLiteral("%1.png").arg(id));
}

QPixmap LanguageModule::image(const QString &fileName) const
{
    const QString path = rootPath() + QStringLiteral("/images/") + fileName;
    // On a screen with two device pixels a logical pixel, a picture drawn at twice the size
    // stays sharp where a scaled one would blur.
    if (qGuiApp != nullptr && qGuiApp->devicePixelRatio() > 1.0) {
        QString doubled = path;
        const qsizetype dot = doubled.lastIndexOf(QLatin1Char('.'));
        doubled.insert(dot < 0 ? doubled.size() : dot, QStringLiteral("@2x"));
        QPixmap sharp(doubled);
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap(path);
}

QList<QPixmap> LanguageModule::splitStrip(const QPixmap &strip, int size)
{
    QList<QPixmap> pieces;
    if (size <= 0)
        return pieces;
    // `size` is in logical pixels; the strip may hold more device pixels a logical one.
    const qreal ratio = strip.devicePixelRatio();
    const int side = qRound(size * ratio);
    for (int x = 0; x + side <= strip.width(); x += side) {
        QPixmap piece = strip.copy(x, 0, side, side);
        piece.setDevicePixelRatio(ratio);
        pieces.append(piece);
    }
    return pieces;
}

std::unique_ptr<QWidget> LanguageModule::loadForm(int id, QWidget *parent, QString &error) const
{
    QFile file(rootPath() + QStringLiteral("/forms/%1.ui").arg(id));
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("form %1 is missing from the language module").arg(id);
        return nullptr;
    }
    QUiLoader loader;
    std::unique_ptr<QWidget> widget(loader.load(&file, parent));
    if (!widget) {
        error = QStringLiteral("form %1: %2").arg(id).arg(loader.errorString());
        return nullptr;
    }
    return widget;
}

QList<int> LanguageModule::formIds() const
{
    QList<int> ids;
    const QStringList names = QDir(rootPath() + QStringLiteral("/forms"))
                                  .entryList({QStringLiteral("*.ui")}, QDir::Files);
    for (const QString &name : names) {
        bool ok = false;
        const int id = QFileInfo(name).completeBaseName().toInt(&ok);
        if (ok)
            ids.append(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace views
