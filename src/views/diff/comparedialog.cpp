#include "views/diff/comparedialog.h"

#include "views/common/errortext.h"
#include "views/common/languagemodule.h"

#include <engine/operations/operation.h>
#include <engine/operations/progressreporter.h>
#include <platform/tempfile.h>

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include <mutex>

namespace views {

namespace {

constexpr int kFormId = 143;
constexpr int kFirstEmpty = 2003;
constexpr int kSecondEmpty = 2004;
constexpr int kSecondUnusable = 2005;
constexpr int kFirstFolder = 2006;
constexpr int kFirstUnusable = 2007;
constexpr int kSecondFolder = 2008;
constexpr int kFetchTitle = 2022;
constexpr int kFetching = 3331;
constexpr int kFileFilter = 174;
constexpr int kAppTitle = 128;

// Keeps the first failure line of a fetch, for the message box.
class FailureReporter final : public engine::ProgressReporter
{
public:
    void itemText(std::string_view) override {}
    void statusText(int) override {}
    void subTotal(std::int64_t) override {}
    void subPosition(std::int64_t) override {}
    void total(std::int64_t) override {}
    void step(std::int64_t) override {}
    void statusLiteral(std::string_view) override {}
    void bytes(std::int64_t, std::int64_t) override {}
    void recordChanged(const engine::RecordChange &) override {}
    void log(const engine::LogEntry &entry) override
    {
        std::lock_guard lock(m_mutex);
        if (entry.kind == engine::LogKind::Failure && !m_failure)
            m_failure = entry;
    }
    std::optional<engine::LogEntry> failure() const
    {
        std::lock_guard lock(m_mutex);
        return m_failure;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<engine::LogEntry> m_failure;
};

QString entryText(const LanguageModule &module, const engine::LogEntry &entry)
{
    if (entry.messageId == engine::kErrorTextMessage)
        return errorText(module, entry.code);
    QString text = module.text(entry.messageId);
    for (const engine::LogArgument &a : entry.arguments)
        text = text.arg(QString::fromStdString(a.toString()));
    return text;
}

} // namespace

CompareDialog::CompareDialog(const LanguageModule &module, protocol::ServerProfile profile,
                             engine::ServiceFactory factory, QWidget *parent)
    : FormDialog(module, kFormId, parent)
    , m_profile(std::move(profile))
    , m_factory(std::move(factory))
    , m_first(bind<QLineEdit>(1030))
    , m_second(bind<QLineEdit>(1031))
{
    connect(bind<QPushButton>(1032), &QPushButton::clicked, this, [this] { browse(m_first); });
    connect(bind<QPushButton>(1033), &QPushButton::clicked, this, [this] { browse(m_second); });
}

CompareDialog::~CompareDialog() = default;

void CompareDialog::setEntries(const QString &first, const QString &second)
{
    m_first->setText(first);
    m_second->setText(second);
}

QString CompareDialog::firstEntry() const
{
    return m_first->text();
}

QString CompareDialog::secondEntry() const
{
    return m_second->text();
}

QStringList CompareDialog::temporaryFiles() const
{
    QStringList files;
    for (int i = 0; i < 2; ++i) {
        if (m_temporary[i])
            files << m_files[i];
    }
    return files;
}

CompareDialog::Side CompareDialog::parseEntry(const QString &entry)
{
    Side side;
    const QFileInfo info(entry);
    if (info.isDir()) {
        side.kind = Side::Kind::Folder;
        return side;
    }
    if (info.isFile()) {
        side.kind = Side::Kind::Local;
        side.localPath = entry;
        return side;
    }
    const qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return side;
    bool ok = false;
    const int version = entry.mid(colon + 1).trimmed().toInt(&ok, 10);
    if (!ok)
        return side;
    side.kind = Side::Kind::Server;
    side.serverPath = entry.left(colon).toStdString();
    side.version = version;
    return side;
}

void CompareDialog::refuse(int message, QLineEdit *focus)
{
    QMessageBox::warning(this, module().text(kAppTitle), module().text(message));
    focus->setFocus();
    focus->selectAll();
}

void CompareDialog::browse(QLineEdit *field)
{
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), field->text(), module().text(kFileFilter),
                                     nullptr, QFileDialog::DontUseNativeDialog);
    if (!chosen.isEmpty())
        field->setText(chosen);
}

void CompareDialog::discardFetched()
{
    for (int i = 0; i < 2; ++i) {
        if (m_temporary[i])
            QFile::remove(m_files[i]);
        m_temporary[i] = false;
        m_files[i].clear();
    }
}

std::optional<QString> CompareDialog::fetch(const Side &side)
{
    std::filesystem::path temp;
    if (const platform::ResultCode rc = platform::makeTempFile(temp); platform::failed(rc)) {
        QMessageBox::critical(this, module().text(kAppTitle), errorText(module(), rc));
        return std::nullopt;
    }
    engine::OperationRequest request;
    request.kind = engine::OperationKind::GetVersion;
    request.profile = m_profile;
    request.serverPath = side.serverPath;
    // The folder that holds the temporary file: the worker makes the folder when missing.
    request.localFolder = temp.parent_path();
    request.localPath = temp;
    request.multipleFiles = false;
    request.keepWritable = true;
    request.version = side.version;
    auto reporter = std::make_shared<FailureReporter>();
    auto operation = std::make_shared<engine::Operation>(std::move(request), reporter.get());

    QProgressDialog progress(this);
    progress.setLabelText(
        module().text(kFetching).arg(QString::fromStdString(side.serverPath)).arg(side.version));
    progress.setWindowTitle(module().text(kFetchTitle));
    progress.setRange(0, 0);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);

    QFutureWatcher<platform::ResultCode> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<platform::ResultCode>::finished, &loop, &QEventLoop::quit);
    connect(&progress, &QProgressDialog::canceled, this, [operation] { operation->cancel(); });
    const engine::ServiceFactory factory = m_factory;
    watcher.setFuture(QtConcurrent::run(
        [operation, reporter, factory] { return engine::runOperation(*operation, factory); }));
    progress.show();
    if (fetchStarted)
        fetchStarted(&progress);
    // The progress box keeps the window painting while the fetch runs; its Cancel only asks
    // the fetch to stop, and the loop ends when the fetch has.
    if (!watcher.isFinished())
        loop.exec();
    watcher.waitForFinished();
    const platform::ResultCode rc = watcher.result();
    progress.hide();

    const QString path = QString::fromStdString(temp.string());
    if (operation->isCancelled()) {
        QFile::remove(path);
        return std::nullopt;
    }
    if (platform::failed(rc) || reporter->failure()) {
        QFile::remove(path);
        const std::optional<engine::LogEntry> failure = reporter->failure();
        QMessageBox::critical(this, module().text(kAppTitle),
                              failure ? entryText(module(), *failure) : errorText(module(), rc));
        return std::nullopt;
    }
    return path;
}

void CompareDialog::accept()
{
    const QString first = m_first->text();
    const QString second = m_second->text();
    if (first.isEmpty())
        return refuse(kFirstEmpty, m_first);
    if (second.isEmpty())
        return refuse(kSecondEmpty, m_second);
    // Both entries are checked before anything is fetched.
    const Side a = parseEntry(first);
    if (a.kind == Side::Kind::Folder)
        return refuse(kFirstFolder, m_first);
    if (a.kind == Side::Kind::Unusable || (a.kind == Side::Kind::Server && a.version == 0))
        return refuse(kFirstUnusable, m_first);
    const Side b = parseEntry(second);
    if (b.kind == Side::Kind::Folder)
        return refuse(kSecondFolder, m_second);
    if (b.kind == Side::Kind::Unusable || (b.kind == Side::Kind::Server && b.version == 0))
        return refuse(kSecondUnusable, m_second);

    discardFetched();
    const Side *sides[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        if (sides[i]->kind == Side::Kind::Local) {
            m_files[i] = sides[i]->localPath;
            continue;
        }
        const std::optional<QString> fetched = fetch(*sides[i]);
        if (!fetched) {
            discardFetched();
            return;
        }
        m_files[i] = *fetched;
        m_temporary[i] = true;
    }
    QDialog::accept();
}

} // namespace views
