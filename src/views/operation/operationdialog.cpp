#include "views/operation/operationdialog.h"

#include "views/common/languagemodule.h"

#include <engine/operations/logentry.h>
#include <engine/operations/operation.h>
#include <engine/operations/operationkind.h>
#include <engine/operations/progressreporter.h>

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace views {

namespace {

constexpr int kForm = 171;
constexpr int kOverallBar = 1050;
constexpr int kItemBar = 1051;
constexpr int kItemText = 1052;
constexpr int kStatusText = 1053;
constexpr int kTransferText = 1056;

constexpr int kBytesOfTotal = 2090;     // "%1 of %2"
constexpr int kBytesDone = 2091;        // "%1"
constexpr int kSpeedAndTimeLeft = 2092; // "%1, %2/s, %3 left"
constexpr int kSpeedOnly = 2093;        // "%1, %2/s"

constexpr int kUnchangedQuestion = 2075; // (local path)
constexpr int kUnchangedUndo = 2076;
constexpr int kUnchangedCheckIn = 2077;
constexpr int kUnchangedAlwaysUndo = 2078;

// A progress bar holds an int; totals beyond that are shown in scaled units.
struct BarScale
{
    std::int64_t divisor = 1;
    static BarScale of(std::int64_t total)
    {
        BarScale s;
        while (total / s.divisor > INT_MAX)
            s.divisor *= 1024;
        return s;
    }
    int operator()(std::int64_t value) const
    {
        return static_cast<int>(std::clamp<std::int64_t>(value / divisor, 0, INT_MAX));
    }
};

QString timeLeft(std::int64_t seconds)
{
    const std::int64_t h = seconds / 3600, m = (seconds / 60) % 60, s = seconds % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

} // namespace

engine::StringTable engineStrings(const LanguageModule &module)
{
    (void)module; // the module's resource is mapped under its root once it is open
    engine::StringTable table;
    QFile file(LanguageModule::rootPath() + QStringLiteral("/strings.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    const QByteArray data = file.readAll();
    std::string error;
    // The module was parsed when it was opened; a table it refused leaves the lines as
    // "#<number>", which still shows the gap.
    if (!engine::StringTable::parse(std::string_view(data.constData(), data.size()), table, error))
        return engine::StringTable();
    return table;
}

QString transferText(const LanguageModule &module, std::int64_t done, std::int64_t total,
                     std::chrono::milliseconds elapsed)
{
    const QLocale locale;
    const QString doneText = locale.formattedDataSize(done);
    const QString amount =
        total >= 0 ? module.text(kBytesOfTotal).arg(doneText, locale.formattedDataSize(total))
                   : module.text(kBytesDone).arg(doneText);
    // Below a fifth of a second the speed is noise.
    if (elapsed.count() < 200 || done <= 0)
        return amount;
    const double perSecond =
        static_cast<double>(done) * 1000.0 / static_cast<double>(elapsed.count());
    const QString speed = locale.formattedDataSize(static_cast<qint64>(perSecond));
    if (total < done)
        return module.text(kSpeedOnly).arg(amount, speed);
    const auto left =
        static_cast<std::int64_t>(static_cast<double>(total - done) / perSecond + 0.999);
    return module.text(kSpeedAndTimeLeft).arg(amount, speed, timeLeft(left));
}

// The worker's reporter: every call is queued onto the dialog's thread, so the worker never
// waits for the window. The dialog joins the worker before it goes, so the pointer stays
// valid for every call.
class DialogReporter final : public engine::ProgressReporter
{
public:
    explicit DialogReporter(OperationDialog *dialog)
        : m_dialog(dialog)
    {
    }

    void itemText(std::string_view text) override
    {
        post([d = m_dialog,
              t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))] {
            d->onItemText(t);
        });
    }
    void statusText(int stringId) override
    {
        post([d = m_dialog, stringId] { d->onStatusText(d->module().text(stringId)); });
    }
    void statusLiteral(std::string_view text) override
    {
        post([d = m_dialog,
              t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))] {
            d->onStatusText(t);
        });
    }
    void subTotal(std::int64_t total) override
    {
        post([d = m_dialog, total] { d->onSubTotal(total); });
    }
    void subPosition(std::int64_t position) override
    {
        post([d = m_dialog, position] { d->onSubPosition(position); });
    }
    void total(std::int64_t count) override
    {
        post([d = m_dialog, count] { d->onTotal(count); });
    }
    void step(std::int64_t count) override
    {
        post([d = m_dialog, count] { d->onStep(count); });
    }
    void bytes(std::int64_t done, std::int64_t total) override
    {
        post([d = m_dialog, done, total] { d->onBytes(done, total); });
    }
    void log(const engine::LogEntry &entry) override
    {
        post([d = m_dialog, entry] { d->onLog(entry); });
    }
    void recordChanged(const engine::RecordChange &change) override
    {
        post([d = m_dialog, change] { d->onRecordChanged(change); });
    }
    engine::UnchangedCopy unchangedCopy(std::string_view localPath) override
    {
        // The one call that waits: the question is asked on the dialog's thread, and the
        // wait gives up once the run is cancelled (a dialog that goes cancels first), so a
        // question never outlives its dialog.
        struct Answer
        {
            std::mutex mutex;
            std::condition_variable ready;
            bool given = false;
            engine::UnchangedCopy value = engine::UnchangedCopy::CheckIn;
        };
        auto answer = std::make_shared<Answer>();
        post(
            [d = m_dialog, answer,
             path = QString::fromUtf8(localPath.data(), static_cast<qsizetype>(localPath.size()))] {
                const engine::UnchangedCopy value = d->askUnchanged(path);
                {
                    const std::lock_guard lock(answer->mutex);
                    answer->value = value;
                    answer->given = true;
                }
                answer->ready.notify_all();
            });
        std::unique_lock lock(answer->mutex);
        while (!answer->given) {
            if (m_cancel && m_cancel->load())
                return engine::UnchangedCopy::CheckIn;
            answer->ready.wait_for(lock, std::chrono::milliseconds(50));
        }
        return answer->value;
    }

    void setCancelFlag(const std::atomic<bool> *cancel) { m_cancel = cancel; }

private:
    template<class F> void post(F &&call)
    {
        QMetaObject::invokeMethod(m_dialog, std::forward<F>(call), Qt::QueuedConnection);
    }

    OperationDialog *m_dialog;
    const std::atomic<bool> *m_cancel = nullptr;
};

OperationDialog::OperationDialog(const LanguageModule &module, engine::OperationRequest request,
                                 engine::ServiceFactory factory, QWidget *parent)
    : FormDialog(module, kForm, parent)
    , m_request(std::move(request))
    , m_factory(std::move(factory))
    , m_strings(engineStrings(module))
    , m_overall(bind<QProgressBar>(kOverallBar))
    , m_item(bind<QProgressBar>(kItemBar))
    , m_itemText(bind<QLabel>(kItemText))
    , m_statusText(bind<QLabel>(kStatusText))
    , m_transferText(bind<QLabel>(kTransferText))
    , m_cancel(nullptr)
{
    setWindowTitle(module.text(engine::titleStringId(m_request.kind)));
    if (auto *buttons =
            form() ? form()->findChild<QDialogButtonBox *>(QStringLiteral("buttons")) : nullptr)
        m_cancel = buttons->button(QDialogButtonBox::Cancel);
    if (!m_cancel) {
        // A damaged form still gets a Cancel that works.
        m_cancel = new QPushButton(this);
        m_cancel->hide();
        connect(m_cancel, &QPushButton::clicked, this, &OperationDialog::reject);
    }
    for (QProgressBar *bar : {m_overall, m_item}) {
        bar->setRange(0, 0);
        bar->setValue(0);
        bar->setRange(0, 1);
    }
    m_itemText->clear();
    m_statusText->clear();
    m_transferText->clear();
}

OperationDialog::~OperationDialog()
{
    // A dialog destroyed mid-run (its parent went) still stops and joins its worker: the
    // worker holds pointers into this dialog.
    if (m_thread) {
        if (m_operation)
            m_operation->cancel();
        m_thread->wait();
        delete m_thread;
    }
}

int OperationDialog::exec()
{
    if (m_state != State::Starting)
        return QDialog::result();
    auto reporter = std::make_unique<DialogReporter>(this);
    m_operation = std::make_unique<engine::Operation>(m_request, reporter.get());
    reporter->setCancelFlag(&m_operation->cancelFlag());
    m_reporter = std::move(reporter);
    m_state = State::Running;

    engine::Operation *operation = m_operation.get();
    engine::ServiceFactory factory = m_factory;
    m_thread = QThread::create([this, operation, factory] {
        const platform::ResultCode rc = engine::runOperation(*operation, factory);
        // Queued to the dialog, which joins this thread before it goes.
        QMetaObject::invokeMethod(
            this, [this, rc] { onWorkerEnded(rc); }, Qt::QueuedConnection);
    });
    m_thread->start();

    if (m_showDelay.count() > 0) {
        // Keep the event loop going without user input until the run has ended or the
        // delay is over, so quick runs never show a window.
        QEventLoop wait;
        QTimer::singleShot(m_showDelay, &wait, &QEventLoop::quit);
        m_quickWait = &wait;
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        m_quickWait = nullptr;
        if (m_state == State::Closed)
            return QDialog::result(); // cancelled and ended before the window showed
        if (m_workerEnded && m_state == State::Running) {
            m_state = State::Closed;
            setResult(QDialog::Accepted);
            return QDialog::Accepted;
        }
    }
    return QDialog::exec();
}

void OperationDialog::reject()
{
    switch (m_state) {
    case State::Running:
        m_state = State::Cancelling;
        m_cancel->setEnabled(false);
        m_operation->cancel();
        // The worker stops at its next check; the window keeps painting meanwhile and closes
        // when the worker says it has ended.
        if (m_workerEnded)
            onWorkerEnded(m_result);
        return;
    case State::Cancelling:
        return;
    case State::Starting:
    case State::Closed:
        QDialog::reject();
        return;
    }
}

void OperationDialog::onWorkerEnded(platform::ResultCode rc)
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    m_workerEnded = true;
    m_result = rc;
    m_operation.reset();
    m_reporter.reset();
    if (m_state == State::Cancelling) {
        m_state = State::Closed;
        // The dialog's own line, whether or not the worker saw the cancel itself.
        engine::LogEntry cancelled;
        cancelled.kind = engine::LogKind::Warning;
        cancelled.messageId = engine::kErrorTextMessage;
        cancelled.code = platform::kCancelled;
        onLog(cancelled);
        QDialog::done(QDialog::Rejected);
        if (m_quickWait)
            m_quickWait->quit();
        return;
    }
    if (m_state == State::Running && isVisible()) {
        m_state = State::Closed;
        QDialog::done(QDialog::Accepted);
    }
    if (m_quickWait)
        m_quickWait->quit(); // exec() notices the end itself
}

void OperationDialog::onTotal(std::int64_t count)
{
    m_overallTotal = std::max<std::int64_t>(count, 0);
    m_overallDone = 0;
    const BarScale scale = BarScale::of(m_overallTotal);
    // A total of 0 leaves the bar empty rather than full.
    m_overall->setRange(0, std::max(scale(m_overallTotal), 1));
    m_overall->setValue(0);
}

void OperationDialog::onStep(std::int64_t count)
{
    m_overallDone = std::min(m_overallDone + count, m_overallTotal);
    m_overall->setValue(BarScale::of(m_overallTotal)(m_overallDone));
}

void OperationDialog::onSubTotal(std::int64_t total)
{
    const BarScale scale = BarScale::of(total);
    m_item->setRange(0, std::max(scale(total), 1));
    m_item->setValue(0);
    m_item->setProperty("byteTotal", QVariant::fromValue<qint64>(total));
    m_transferText->clear();
    m_fileClock.start();
}

void OperationDialog::onSubPosition(std::int64_t position)
{
    const qint64 total = m_item->property("byteTotal").toLongLong();
    m_item->setValue(BarScale::of(total)(position));
}

void OperationDialog::onItemText(const QString &text)
{
    m_itemText->setText(text);
}

void OperationDialog::onStatusText(const QString &text)
{
    m_statusText->setText(text);
}

void OperationDialog::onBytes(std::int64_t done, std::int64_t total)
{
    if (!m_fileClock.isValid() || done == 0)
        m_fileClock.start();
    // A transfer reports every piece it writes; a text that changes faster than the eye
    // reads only costs the window its paint time.
    if (m_transferShown.isValid() && m_transferShown.elapsed() < 100 && done != total)
        return;
    m_transferShown.start();
    m_transferText->setText(
        transferText(module(), done, total, std::chrono::milliseconds(m_fileClock.elapsed())));
}

void OperationDialog::onLog(const engine::LogEntry &entry)
{
    emitLine(entry.image(), QString::fromStdString(m_strings.formatEntry(entry)));
}

void OperationDialog::onRecordChanged(const engine::RecordChange &change)
{
    if (m_changeSink)
        m_changeSink(change);
}

engine::UnchangedCopy OperationDialog::askUnchanged(const QString &localPath)
{
    // A run being cancelled does not use the answer.
    if (m_state != State::Running)
        return engine::UnchangedCopy::CheckIn;
    // Before the progress window shows, the question stands over the window that started
    // the job.
    QWidget *over = isVisible() ? this : parentWidget();
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    module().text(kUnchangedQuestion).arg(localPath), QMessageBox::NoButton, over);
    QAbstractButton *undo = box.addButton(module().text(kUnchangedUndo), QMessageBox::YesRole);
    QAbstractButton *checkIn = box.addButton(module().text(kUnchangedCheckIn), QMessageBox::NoRole);
    QAbstractButton *always =
        box.addButton(module().text(kUnchangedAlwaysUndo), QMessageBox::AcceptRole);
    box.setDefaultButton(qobject_cast<QPushButton *>(undo));
    // Closing the question checks in, as a check-in does without it.
    box.setEscapeButton(checkIn);
    box.exec();
    if (box.clickedButton() == always) {
        m_alwaysUndo = true;
        return engine::UnchangedCopy::UndoCheckOut;
    }
    return box.clickedButton() == undo ? engine::UnchangedCopy::UndoCheckOut
                                       : engine::UnchangedCopy::CheckIn;
}

void OperationDialog::emitLine(int image, const QString &text)
{
    if (m_logSink)
        m_logSink(image, text);
}

} // namespace views
