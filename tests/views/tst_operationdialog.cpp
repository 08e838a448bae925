// The progress dialog running real operations against the reference service with its demo
// data: gets, a check-out, edit and check-in round, undo check-out, the lines and record
// changes it hands on, a cancel in the middle of a long transfer, and that a quick run
// never shows its window.

#include "views/dialogs/operationoptions.h"
#include "views/operation/operationdialog.h"

#include "views/common/errortext.h"

#include "viewstestsupport.h"

#include <config/settings.h>
#include <engine/localfiles.h>
#include <engine/operations/operation.h>
#include <engine/operations/operationrunner.h>
#include <engine/operations/progressreporter.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using engine::OperationKind;

namespace {

std::string readBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What one modal run of the dialog gave.
struct Outcome
{
    int result = -1;
    platform::ResultCode code = 0;
    QString title;
    QStringList lines;
    QList<int> images;
    std::vector<engine::RecordChange> changes;
    bool everShown = false;

    bool hasLine(const QString &part) const
    {
        for (const QString &l : lines)
            if (l.contains(part))
                return true;
        return false;
    }
    const engine::FileRecordChanged *fileChange(std::size_t i) const
    {
        return i < changes.size() ? std::get_if<engine::FileRecordChanged>(&changes[i]) : nullptr;
    }
};

} // namespace

class TestOperationDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void getFiles_data();
    void getFiles();
    void checkOutEditCheckIn();
    void undoCheckOut_data();
    void undoCheckOut();
    void checkInWithDeleteLocal();
    void unchangedQuestionClosedChecksIn();
    void cancelDuringLongTransfer();
    void quickRunNeverShows();

private:
    engine::OperationRequest request(OperationKind kind) const
    {
        engine::OperationRequest r;
        r.kind = kind;
        r.profile = m_service.profile;
        r.logonUserName = "tester";
        r.ipAddress = "127.0.0.1";
        return r;
    }
    protocol::FileItem fileOf(const std::string &folder, const std::string &name)
    {
        protocol::ServiceClient c = m_service.client();
        std::vector<protocol::FileItem> list;
        if (!c.getFileList(m_service.profile.userId, folder, list).succeeded())
            return {};
        for (const protocol::FileItem &f : list)
            if (f.fileName == name)
                return f;
        return {};
    }
    // Runs the dialog modally; `during` is called every few milliseconds while it runs.
    Outcome run(const engine::OperationRequest &r,
                const std::function<void(views::OperationDialog &)> &during = {},
                std::chrono::milliseconds showDelay = std::chrono::milliseconds(500))
    {
        Outcome out;
        views::OperationDialog dialog(*m_module, r, engine::serviceClientFactory(), nullptr);
        dialog.setShowDelay(showDelay);
        dialog.setLogSink([&out](int image, const QString &text) {
            out.images.append(image);
            out.lines.append(text);
        });
        dialog.setRecordChangeSink(
            [&out](const engine::RecordChange &change) { out.changes.push_back(change); });
        QTimer watch;
        watch.setInterval(2);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            out.everShown = out.everShown || dialog.isVisible();
            if (during)
                during(dialog);
        });
        watch.start();
        out.title = dialog.windowTitle();
        out.result = dialog.exec();
        out.code = dialog.resultCode();
        return out;
    }

    std::unique_ptr<views::LanguageModule> m_module;
    viewstest::DemoService m_service;
    servertest::TempDir m_local;
};

void TestOperationDialog::initTestCase()
{
    m_module = viewstest::openModule();
    QVERIFY2(m_module, "the built language module was not found");
    QVERIFY2(m_service.start("tester"), "the demo service did not start");
}

void TestOperationDialog::getFiles_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("multiple");
    QTest::addColumn<QString>("localName"); // the one file's own local name
    QTest::addColumn<bool>("keepWritable");

    QTest::newRow("one file to another local name")
        << QStringList{"index.html"} << false << "start-page.html" << false;
    QTest::newRow("several files") << QStringList{"index.html", "style.css"} << true << "" << false;
    QTest::newRow("one file kept writable")
        << QStringList{"style.css"} << false << "style.css" << true;
}

void TestOperationDialog::getFiles()
{
    QFETCH(QStringList, names);
    QFETCH(bool, multiple);
    QFETCH(QString, localName);
    QFETCH(bool, keepWritable);

    const fs::path folder = m_local.path() / QTest::currentDataTag();
    engine::OperationRequest r = request(OperationKind::GetFiles);
    r.serverPath = "Projects\\Website";
    r.localFolder = folder;
    r.multipleFiles = multiple;
    r.keepWritable = keepWritable;
    if (!multiple)
        r.localPath = folder / localName.toStdString();
    std::uint64_t row = 1;
    for (const QString &name : names) {
        const protocol::FileItem item = fileOf(r.serverPath, name.toStdString());
        QVERIFY(!item.fileName.empty());
        r.files.push_back({row++, item});
    }

    const Outcome out = run(r);
    QCOMPARE(out.result, int(QDialog::Accepted));
    QCOMPARE(out.code, platform::ResultCode(0));
    QCOMPARE(out.title, m_module->text(2028));
    QCOMPARE(out.lines.size(), names.size());
    for (const QString &name : names) {
        const fs::path local = multiple ? folder / name.toStdString() : r.localPath;
        QVERIFY2(fs::is_regular_file(local), local.c_str());
        QCOMPARE(engine::isReadOnly(local), !keepWritable);
        QVERIFY(out.hasLine(QString::fromStdString(local.string())));
    }
    QVERIFY(!out.images.contains(9));
    if (names.contains("index.html")) {
        const fs::path page = multiple ? folder / "index.html" : r.localPath;
        QVERIFY(readBytes(page).find("Welcome to Quellvane") != std::string::npos);
    }
}

void TestOperationDialog::checkOutEditCheckIn()
{
    const fs::path folder = m_local.path() / "round";
    const protocol::FileItem readme = fileOf("", "README.txt");
    QVERIFY(readme.checkoutUserId.empty());

    engine::OperationRequest out = request(OperationKind::CheckOutFiles);
    out.localFolder = folder;
    out.multipleFiles = true;
    out.files = {{7, readme}};
    const Outcome checkedOut = run(out);
    QCOMPARE(checkedOut.result, int(QDialog::Accepted));
    QCOMPARE(checkedOut.title, m_module->text(2029));
    const fs::path local = folder / "README.txt";
    QVERIFY(fs::is_regular_file(local));
    QVERIFY(!engine::isReadOnly(local));
    QVERIFY(readBytes(local).find("Build: run scripts/build.sh") != std::string::npos);
    QCOMPARE(checkedOut.images, QList<int>{10});
    QVERIFY(checkedOut.hasLine(QString::fromStdString(local.string())));
    // The row learns its holder at once.
    const engine::FileRecordChanged *held = checkedOut.fileChange(0);
    QVERIFY(held);
    QCOMPARE(held->row, std::uint64_t(7));
    QVERIFY(!held->record.checkoutUserId.empty());
    QVERIFY(!fileOf("", "README.txt").checkoutUserId.empty());

    const std::string edited = "Quellvane demo repository\r\n\r\nEdited by the dialog test\r\n";
    writeBytes(local, edited);

    views::CheckInOptions options;
    options.comment = QStringLiteral("Edited through the progress dialog");
    options.deleteLocal = false;
    engine::OperationRequest in = request(OperationKind::CheckInFiles);
    in.localFolder = folder;
    in.files = {{7, held->record}};
    views::applyCheckIn(options, in);
    const Outcome checkedIn = run(in);
    QCOMPARE(checkedIn.result, int(QDialog::Accepted));
    QCOMPARE(checkedIn.title, m_module->text(2031));
    QCOMPARE(checkedIn.images, QList<int>{10});
    QVERIFY(fs::is_regular_file(local));
    QVERIFY(engine::isReadOnly(local));
    const engine::FileRecordChanged *released = checkedIn.fileChange(0);
    QVERIFY(released);
    QCOMPARE(released->row, std::uint64_t(7));
    QVERIFY(released->record.checkoutUserId.empty());
    QVERIFY(fileOf("", "README.txt").checkoutUserId.empty());

    // The service now hands out the edited text.
    engine::OperationRequest get = request(OperationKind::GetFiles);
    get.localFolder = m_local.path() / "round-back";
    get.multipleFiles = true;
    get.files = {{1, fileOf("", "README.txt")}};
    QCOMPARE(run(get).result, int(QDialog::Accepted));
    QCOMPARE(readBytes(m_local.path() / "round-back" / "README.txt"), edited);
}

void TestOperationDialog::undoCheckOut_data()
{
    QTest::addColumn<bool>("deleteLocal");
    QTest::newRow("keep, read-only again") << false;
    QTest::newRow("delete the local copy") << true;
}

void TestOperationDialog::undoCheckOut()
{
    QFETCH(bool, deleteLocal);
    const fs::path folder = m_local.path() / (deleteLocal ? "undo-delete" : "undo-keep");
    engine::OperationRequest out = request(OperationKind::CheckOutFiles);
    out.serverPath = "Documents";
    out.localFolder = folder;
    out.multipleFiles = true;
    out.files = {{3, fileOf("Documents", "roadmap.md")}};
    const Outcome checkedOut = run(out);
    QCOMPARE(checkedOut.result, int(QDialog::Accepted));
    const engine::FileRecordChanged *held = checkedOut.fileChange(0);
    QVERIFY(held);
    const fs::path local = folder / "roadmap.md";
    QVERIFY(!engine::isReadOnly(local));

    views::UndoCheckOutOptions options;
    options.deleteLocal = deleteLocal;
    engine::OperationRequest undo = request(OperationKind::UndoCheckOutFiles);
    undo.serverPath = "Documents";
    undo.localFolder = folder;
    undo.files = {{3, held->record}};
    views::applyUndoCheckOut(options, undo);
    const Outcome undone = run(undo);
    QCOMPARE(undone.result, int(QDialog::Accepted));
    QCOMPARE(undone.title, m_module->text(2030));
    QCOMPARE(undone.images, QList<int>{10});
    QCOMPARE(fs::exists(local), !deleteLocal);
    if (!deleteLocal)
        QVERIFY(engine::isReadOnly(local));
    const engine::FileRecordChanged *released = undone.fileChange(0);
    QVERIFY(released);
    QVERIFY(released->record.checkoutUserId.empty());
    QVERIFY(fileOf("Documents", "roadmap.md").checkoutUserId.empty());
}

void TestOperationDialog::checkInWithDeleteLocal()
{
    const fs::path folder = m_local.path() / "in-delete";
    engine::OperationRequest out = request(OperationKind::CheckOutFiles);
    out.serverPath = "Projects\\Tools";
    out.localFolder = folder;
    out.multipleFiles = true;
    out.files = {{1, fileOf("Projects\\Tools", "build.sh")}};
    const Outcome checkedOut = run(out);
    QCOMPARE(checkedOut.result, int(QDialog::Accepted));
    QVERIFY(checkedOut.fileChange(0));
    writeBytes(folder / "build.sh", "#!/bin/sh\nset -eu\nmake -j4\n");

    config::SettingsValues settings;
    settings.deleteLocalFile = 1;
    views::CheckInDialog ask(*m_module, settings, views::CheckInOptions{}, nullptr);
    ask.accept(); // the preset answer: delete the local copy
    engine::OperationRequest in = request(OperationKind::CheckInFiles);
    in.serverPath = "Projects\\Tools";
    in.localFolder = folder;
    in.files = {{1, checkedOut.fileChange(0)->record}};
    views::applyCheckIn(ask.options(), in);
    QVERIFY(in.deleteLocal);
    const Outcome checkedIn = run(in);
    QCOMPARE(checkedIn.result, int(QDialog::Accepted));
    QCOMPARE(checkedIn.images, QList<int>{10});
    QVERIFY(!fs::exists(folder / "build.sh"));
    QVERIFY(fileOf("Projects\\Tools", "build.sh").checkoutUserId.empty());
}

// The question about an unchanged copy, closed without an answer: the file is checked in as
// a check-in does without the question, and nothing is to be remembered.
void TestOperationDialog::unchangedQuestionClosedChecksIn()
{
    const fs::path folder = m_local.path() / "unchanged-closed";
    engine::OperationRequest out = request(OperationKind::CheckOutFiles);
    out.serverPath = "Projects\\Tools";
    out.localFolder = folder;
    out.multipleFiles = true;
    out.files = {{2, fileOf("Projects\\Tools", "deploy.py")}};
    const Outcome checkedOut = run(out);
    QVERIFY(checkedOut.fileChange(0));
    std::vector<protocol::HistoryItem> before;
    QVERIFY(
        m_service.client()
            .getHistoryList(m_service.profile.userId, "Projects\\Tools\\deploy.py", false, before)
            .succeeded());

    engine::OperationRequest in = request(OperationKind::CheckInFiles);
    in.serverPath = "Projects\\Tools";
    in.localFolder = folder;
    in.files = {{2, checkedOut.fileChange(0)->record}};
    in.unchangedCopy = engine::UnchangedCopy::Ask;
    QString question;
    bool alwaysChosen = true;
    const Outcome checkedIn = run(in, [&](views::OperationDialog &dialog) {
        alwaysChosen = dialog.alwaysUndoUnchanged();
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && question.isEmpty()) {
            question = box->text();
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    QCOMPARE(checkedIn.result, int(QDialog::Accepted));
    QCOMPARE(question,
             m_module->text(2075).arg(QString::fromStdString((folder / "deploy.py").string())));
    QVERIFY(!alwaysChosen);
    std::vector<protocol::HistoryItem> after;
    QVERIFY(
        m_service.client()
            .getHistoryList(m_service.profile.userId, "Projects\\Tools\\deploy.py", false, after)
            .succeeded());
    QCOMPARE(after.size(), before.size() + 1);
    QVERIFY(engine::isReadOnly(folder / "deploy.py"));
    QCOMPARE(checkedIn.images, QList<int>{10});
}

void TestOperationDialog::cancelDuringLongTransfer()
{
    // A file big enough that its download is still under way when Cancel is pressed.
    const fs::path drop = m_local.path() / "drop" / "big.bin";
    std::string bytes(50u * 1024 * 1024, '\0');
    std::mt19937 random(4711);
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t v = random();
        std::memcpy(&bytes[i], &v, std::min<std::size_t>(4, bytes.size() - i));
    }
    writeBytes(drop, bytes);
    {
        engine::OperationRequest add = request(OperationKind::AddDropped);
        add.targetPath = "Projects";
        add.comment = "big";
        add.droppedPaths = {drop};
        engine::NullReporter quiet;
        engine::Operation op(add, &quiet);
        QCOMPARE(engine::runOperation(op, engine::serviceClientFactory()), platform::ResultCode(0));
    }

    const fs::path folder = m_local.path() / "cancel";
    const fs::path local = folder / "big.bin";
    const std::string before = "the local copy before the get\n";
    writeBytes(local, before);
    QCOMPARE(engine::setReadOnly(local, true), 0);

    engine::OperationRequest get = request(OperationKind::GetFiles);
    get.serverPath = "Projects";
    get.localFolder = folder;
    get.multipleFiles = true;
    get.files = {{1, fileOf("Projects", "big.bin")}};
    QVERIFY(!get.files[0].record.fileName.empty());

    bool pressed = false, disabledAtOnce = false, shownWhenPressed = false;
    bool paintedWhileCancelling = false;
    QString transferTextSeen;
    const Outcome out = run(
        get,
        [&](views::OperationDialog &dialog) {
            auto *item = dialog.findChild<QProgressBar *>(QStringLiteral("c1051"));
            auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
            QPushButton *cancel = buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr;
            if (!item || !cancel)
                return;
            if (pressed) {
                // The event loop still runs while the worker reaches its next check.
                paintedWhileCancelling = paintedWhileCancelling || dialog.isCancelling();
                return;
            }
            // A user sees the window first, then presses Cancel while the bar moves.
            if (dialog.isVisible() && item->value() > 0 &&
                item->value() < item->maximum() - item->maximum() / 10) {
                if (auto *t = dialog.findChild<QLabel *>(QStringLiteral("c1056")))
                    transferTextSeen = t->text();
                shownWhenPressed = dialog.isVisible();
                pressed = true;
                QTest::mouseClick(cancel, Qt::LeftButton);
                disabledAtOnce = !cancel->isEnabled();
            }
        },
        std::chrono::milliseconds(100));

    QVERIFY2(pressed, "the transfer ended before Cancel could be pressed");
    QVERIFY(shownWhenPressed);
    QVERIFY(disabledAtOnce);
    QCOMPARE(out.result, int(QDialog::Rejected));
    QCOMPARE(out.code, platform::kCancelled);
    QCOMPARE(readBytes(local), before);
    QVERIFY(engine::isReadOnly(local));
    QVERIFY(!out.lines.isEmpty());
    QCOMPARE(out.lines.last(), views::errorText(*m_module, platform::kCancelled));
    QCOMPARE(out.images.last(), 9);
    QVERIFY(!out.hasLine(QStringLiteral(" was fetched")));
    // Bytes done of the file, at least.
    QVERIFY2(transferTextSeen.contains(QStringLiteral(" of ")), qPrintable(transferTextSeen));
    Q_UNUSED(paintedWhileCancelling);
}

void TestOperationDialog::quickRunNeverShows()
{
    engine::OperationRequest get = request(OperationKind::GetFiles);
    get.serverPath = "Projects\\Tools";
    get.localFolder = m_local.path() / "quick";
    get.multipleFiles = true;
    get.files = {{1, fileOf("Projects\\Tools", "deploy.py")}};
    const Outcome out = run(get);
    QCOMPARE(out.result, int(QDialog::Accepted));
    QVERIFY(!out.everShown);
    QVERIFY(fs::is_regular_file(m_local.path() / "quick" / "deploy.py"));

    // An empty selection ends at once too, still with IDOK.
    engine::OperationRequest nothing = request(OperationKind::GetFiles);
    nothing.serverPath = "Projects";
    nothing.localFolder = m_local.path() / "nothing";
    nothing.multipleFiles = true;
    const Outcome none = run(nothing);
    QCOMPARE(none.result, int(QDialog::Accepted));
    QVERIFY(!none.everShown);
    QVERIFY(none.lines.isEmpty());
}

QTEST_MAIN(TestOperationDialog)
#include "tst_operationdialog.moc"
