// The browse window against the reference service with its demo data: listing, refresh,
// sorting, renames, drag data, the filter, the local-state overlay and a server that is down.

#include "browsetestsupport.h"

#include <engine/dragblock.h>
#include <views/browse/browseconstants.h>
#include <views/operation/operationlaunch.h>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QThreadPool>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

using namespace browsetest;
using views::BrowseWindow;
using views::FileListModel;

namespace {

protocol::FileItem fileRow(const std::string &name, std::int64_t size, const std::string &checkin,
                           const std::string &update, const std::string &user = {})
{
    protocol::FileItem f;
    f.fileName = name;
    f.fileSize = size;
    f.checkinDate = checkin;
    f.updateDate = update;
    f.checkoutUser = user;
    f.checkoutPath = user.empty() ? std::string() : "C:\\w\\" + name;
    f.ipAddress = user.empty() ? std::string() : "10.0.0." + std::to_string(size % 7);
    return f;
}

// Holds the answer of the next folder listing, already read from the service, until the test
// lets it go: the window then gets an answer older than what happened meanwhile.
struct FolderListHold
{
    std::mutex mutex;
    std::condition_variable changed;
    bool armed = false;
    bool holding = false;
    bool released = false;

    void arm()
    {
        const std::lock_guard lock(mutex);
        armed = true;
        holding = released = false;
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    bool isHolding()
    {
        const std::lock_guard lock(mutex);
        return holding;
    }
    void holdIfArmed()
    {
        std::unique_lock lock(mutex);
        if (!armed)
            return;
        armed = false;
        holding = true;
        changed.wait(lock, [this] { return released; });
        holding = false;
    }
};

// The real client, with the hold on its folder listings.
class HoldingService : public protocol::Service
{
public:
    HoldingService(const protocol::ServerProfile &profile, FolderListHold &hold)
        : m_hold(hold)
    {
        m_client.fillFromProfile(profile);
    }
    void setCancelFlag(const std::atomic<bool> *cancel) override { m_client.setCancelFlag(cancel); }
    void setProgressSink(protocol::ProgressSink *sink) override { m_client.setProgressSink(sink); }
    protocol::CallResult logon(std::string_view u, std::string_view pc, std::string_view l,
                               std::string_view ip, std::optional<std::string> &r) override
    {
        return m_client.logon(u, pc, l, ip, r);
    }
    protocol::CallResult getFolderList(std::string_view u, std::string_view p,
                                       std::vector<protocol::FolderItem> &list) override
    {
        protocol::CallResult r = m_client.getFolderList(u, p, list);
        m_hold.holdIfArmed();
        return r;
    }
    protocol::CallResult getFileList(std::string_view u, std::string_view p,
                                     std::vector<protocol::FileItem> &list) override
    {
        return m_client.getFileList(u, p, list);
    }
    protocol::CallResult getHistoryList(std::string_view u, std::string_view p, bool sub,
                                        std::vector<protocol::HistoryItem> &list) override
    {
        return m_client.getHistoryList(u, p, sub, list);
    }
    protocol::CallResult getDeletedList(std::string_view u, std::string_view p,
                                        std::vector<protocol::DeletedItem> &list) override
    {
        return m_client.getDeletedList(u, p, list);
    }
    protocol::CallResult getItemCount(std::string_view u, std::string_view p, bool sub,
                                      std::int64_t &count) override
    {
        return m_client.getItemCount(u, p, sub, count);
    }
    protocol::CallResult createFolder(std::string_view u, std::string_view p, std::string_view n,
                                      std::string_view c, bool priv) override
    {
        return m_client.createFolder(u, p, n, c, priv);
    }
    protocol::CallResult rename(std::string_view u, std::string_view p, std::string_view n) override
    {
        return m_client.rename(u, p, n);
    }
    protocol::CallResult move(std::string_view u, std::string_view p, std::string_view d) override
    {
        return m_client.move(u, p, d);
    }
    protocol::CallResult deleteItem(std::string_view u, std::string_view p, bool purge) override
    {
        return m_client.deleteItem(u, p, purge);
    }
    protocol::CallResult repaire(std::string_view u, std::string_view p) override
    {
        return m_client.repaire(u, p);
    }
    protocol::CallResult rollBack(std::string_view u, std::string_view p, std::int32_t v) override
    {
        return m_client.rollBack(u, p, v);
    }
    protocol::CallResult setWorkFolderPath(std::string_view u, std::string_view p,
                                           std::string_view w) override
    {
        return m_client.setWorkFolderPath(u, p, w);
    }
    protocol::CallResult updateComment(std::string_view u, std::string_view p, std::int32_t v,
                                       std::string_view c) override
    {
        return m_client.updateComment(u, p, v, c);
    }
    protocol::CallResult serverDelete(std::string_view u) override
    {
        return m_client.serverDelete(u);
    }
    protocol::CallResult addFile(std::string_view u, std::string_view p, std::string_view n,
                                 const std::filesystem::path &f, std::string_view c) override
    {
        return m_client.addFile(u, p, n, f, c);
    }
    protocol::CallResult checkin(std::string_view u, std::string_view p, std::string_view c,
                                 const std::filesystem::path &f) override
    {
        return m_client.checkin(u, p, c, f);
    }
    protocol::CallResult getFile(std::string_view u, std::string_view p, std::int32_t v,
                                 const std::filesystem::path &f) override
    {
        return m_client.getFile(u, p, v, f);
    }
    protocol::CallResult checkOut(std::string_view u, std::string_view p,
                                  std::string_view l) override
    {
        return m_client.checkOut(u, p, l);
    }
    protocol::CallResult checkoutCancel(std::string_view u, std::string_view p) override
    {
        return m_client.checkoutCancel(u, p);
    }

private:
    protocol::ServiceClient m_client;
    FolderListHold &m_hold;
};

} // namespace

class TestBrowseWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DemoService> m_service;
    std::unique_ptr<TestSettings> m_settings;
    views::BrowseResources m_resources;
    std::unique_ptr<BrowseWindow> m_window;
    std::vector<protocol::ServerProfile> m_profiles;

    BrowseWindow &w() { return *m_window; }
    views::FolderTreeModel &tree() { return m_window->treeModel(); }

    void open(engine::ServiceCalls calls = engine::ServiceCalls())
    {
        m_window = std::make_unique<BrowseWindow>(
            m_resources, m_settings->settings, [this] { return m_profiles; }, std::move(calls));
        m_window->resize(1000, 600);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
    }
    QModelIndex server() { return tree().index(0, 0, tree().rootIndex()); }
    // Selects the node of `path` below the server ("" for the server), waiting for each
    // listing on the way.
    QModelIndex select(const QString &path)
    {
        QModelIndex node = server();
        w().selectNode(node);
        w().runner().waitIdle();
        if (path.isEmpty())
            return node;
        for (const QString &name : path.split(QLatin1Char('\\'))) {
            node = childNamed(tree(), node, name);
            if (!node.isValid())
                return {};
            w().selectNode(node);
            w().runner().waitIdle();
        }
        return node;
    }
    QStringList fileNames()
    {
        QStringList names;
        for (int r = 0; r < w().fileProxy().rowCount(); ++r)
            names << w().fileProxy().index(r, 0).data().toString();
        return names;
    }

private slots:
    void init()
    {
        m_service = std::make_unique<DemoService>();
        QVERIFY(m_service->started);
        m_settings = std::make_unique<TestSettings>();
        m_resources = resources();
        m_profiles = {m_service->profile()};
        open();
    }
    void cleanup()
    {
        m_window.reset();
        m_service.reset();
        m_settings.reset();
    }

    void selectingTheServerLogsOnAndListsItsFoldersAndFiles()
    {
        QVERIFY(!tree().profile(server())->connected);
        select(QString());
        QVERIFY(tree().profile(server())->connected);
        QCOMPARE(childNames(tree(), server()),
                 QStringList({QStringLiteral("Documents"), QStringLiteral("Private"),
                              QStringLiteral("Projects")}));
        QCOMPARE(fileNames(), QStringList{QStringLiteral("README.txt")});
        QCOMPARE(w().messages().rowCount(), 0);
    }

    void expandingAndReselectingNeverAddsFoldersTwice()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        QVERIFY(projects.isValid());
        const QStringList once = childNames(tree(), projects);
        // In the order the service sends them, each once.
        QCOMPARE(once, QStringList({QStringLiteral("Tools"), QStringLiteral("Website")}));
        // Away and back, collapsed and expanded again: still the same children once.
        select(QString());
        w().treeView()->collapse(projects);
        w().selectNode(projects);
        w().runner().waitIdle();
        w().treeView()->expand(projects);
        w().runner().waitIdle();
        QCOMPARE(childNames(tree(), projects), once);
        // A folder first reached by expanding (not selecting) lists itself once as well.
        const QModelIndex website = childNamed(tree(), projects, QStringLiteral("Website"));
        QVERIFY(tree().canFetchMore(website));
        w().treeView()->expand(website);
        w().runner().waitIdle();
        QCOMPARE(childNames(tree(), website), QStringList{QStringLiteral("assets")});
        w().selectNode(website);
        w().runner().waitIdle();
        QCOMPARE(childNames(tree(), website), QStringList{QStringLiteral("assets")});
        QCOMPARE(fileNames(),
                 QStringList({QStringLiteral("index.html"), QStringLiteral("style.css")}));
    }

    void f5AfterAnotherClientsChangeDropsDeletedFolders()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        QCOMPARE(childNames(tree(), projects).size(), 2);
        protocol::ServiceClient other = m_service->client();
        QVERIFY(
            other.deleteItem(m_service->profile().userId, "Projects\\Tools", false).succeeded());
        QVERIFY(other.createFolder(m_service->profile().userId, "Projects", "Later", "", false)
                    .succeeded());
        QTest::keyClick(w().treeView(), Qt::Key_F5);
        w().runner().waitIdle();
        QCOMPARE(childNames(tree(), projects),
                 QStringList({QStringLiteral("Later"), QStringLiteral("Website")}));
        // The selection inside a refreshed subtree goes up to the refreshed node.
        const QModelIndex website = childNamed(tree(), projects, QStringLiteral("Website"));
        w().selectNode(website);
        w().runner().waitIdle();
        w().refresh(projects);
        w().runner().waitIdle();
        QCOMPARE(w().selectedNode(), QModelIndex(projects));
        QCOMPARE(childNames(tree(), projects).size(), 2);
    }

    // A folder listing read before the tree changed here (a folder moved in by an operation)
    // and landing after it must not put the old folders back; nor may an older listing land
    // over a newer one.
    void aListingOlderThanATreeChangeNeverUndoesIt()
    {
        FolderListHold hold;
        // The held listing keeps one pool thread; the others go on meanwhile.
        QThreadPool::globalInstance()->setMaxThreadCount(
            std::max(4, QThreadPool::globalInstance()->maxThreadCount()));
        open(engine::ServiceCalls([&hold](const protocol::ServerProfile &p) {
            return std::make_unique<HoldingService>(p, hold);
        }));
        const QModelIndex projects = select(QStringLiteral("Projects"));
        const std::string user = m_service->profile().userId;
        protocol::ServiceClient other = m_service->client();
        const auto waitHeld = [&hold] {
            return QTest::qWaitFor([&] { return hold.isHolding(); });
        };

        // F5 on the selected folder reads its two folders; then Documents is moved in, on the
        // service and in the tree, before that answer lands.
        hold.arm();
        w().refreshSelected();
        QVERIFY(waitHeld());
        QVERIFY(other.move(user, "Documents", "Projects").succeeded());
        protocol::FolderItem moved;
        moved.name = "Documents";
        tree().removeNode(childNamed(tree(), server(), QStringLiteral("Documents")));
        tree().addFolder(projects, moved);
        hold.release();
        w().runner().waitIdle();
        const auto sortedChildren = [this](const QModelIndex &node) {
            QStringList names = childNames(tree(), node);
            names.sort();
            return names;
        };
        QTRY_COMPARE(sortedChildren(projects),
                     QStringList({QStringLiteral("Documents"), QStringLiteral("Tools"),
                                  QStringLiteral("Website")}));

        // An expansion's listing is held; selecting the folder lists it again after a new
        // folder came; the held, older answer then lands last and is dropped.
        const QModelIndex tools = childNamed(tree(), projects, QStringLiteral("Tools"));
        QVERIFY(tree().canFetchMore(tools));
        hold.arm();
        w().treeView()->expand(tools);
        QVERIFY(waitHeld());
        QVERIFY(other.createFolder(user, "Projects\\Tools", "Newer", "", false).succeeded());
        w().selectNode(tools);
        QTRY_COMPARE(childNames(tree(), tools), QStringList{QStringLiteral("Newer")});
        hold.release();
        w().runner().waitIdle();
        QTest::qWait(50);
        QCOMPARE(childNames(tree(), tools), QStringList{QStringLiteral("Newer")});
        QVERIFY(!tree().canFetchMore(tools));
    }

    void renamesChangeTheNameOnlyWhenTheServiceAgrees()
    {
        const QModelIndex projects = select(QStringLiteral("Projects"));
        const QModelIndex tools = childNamed(tree(), projects, QStringLiteral("Tools"));
        QVERIFY(tree().setData(tools, QStringLiteral("Scripts"), Qt::EditRole) == false);
        w().runner().waitIdle();
        QCOMPARE(tools.data().toString(), QStringLiteral("Scripts"));
        QCOMPARE(w().messages().rowCount(), 1);
        QCOMPARE(w().messages().textAt(0),
                 module().text(views::browsestr::FolderRenamed).arg(QStringLiteral("Scripts")));

        // Refused: a sibling already has the name. The error is shown; nothing changes.
        QString shown;
        answerNextModal([&shown](QWidget *box) {
            shown = static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->accept();
        });
        tree().setData(tools, QStringLiteral("Website"), Qt::EditRole);
        w().runner().waitIdle();
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(tools.data().toString(), QStringLiteral("Scripts"));
        QCOMPARE(w().messages().rowCount(), 1);

        // An empty name calls nothing.
        tree().setData(tools, QString(), Qt::EditRole);
        QVERIFY(!w().runner().busy());

        // A file, then the listing from the service says the same.
        w().selectNode(tools);
        w().runner().waitIdle();
        const int row = w().fileModel().rowOf("build.sh");
        QVERIFY(row >= 0);
        w().fileModel().setData(w().fileModel().index(row, 0), QStringLiteral("make.sh"),
                                Qt::EditRole);
        w().runner().waitIdle();
        QVERIFY(fileNames().contains(QStringLiteral("make.sh")));
        QCOMPARE(w().messages().rowCount(), 1); // a file rename writes no line
        w().refreshSelected();
        w().runner().waitIdle();
        QCOMPARE(fileNames(),
                 QStringList({QStringLiteral("deploy.py"), QStringLiteral("make.sh")}));

        // A refused file rename leaves the row as it was.
        answerNextModal([](QWidget *box) { static_cast<QMessageBox *>(box)->accept(); });
        w().fileModel().setData(w().fileModel().index(w().fileModel().rowOf("make.sh"), 0),
                                QStringLiteral("deploy.py"), Qt::EditRole);
        w().runner().waitIdle();
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(fileNames(),
                 QStringList({QStringLiteral("deploy.py"), QStringLiteral("make.sh")}));
    }

    void sortEveryColumnBothWays_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QStringList>("firstClick");
        // Rows in this order: b.txt 9 bytes, A.txt 100, c.txt 10, a.txt 1024. The first click
        // sorts descending. Dates as text: "2005/9/30" comes after "2005/10/02" because
        // '9' > '1'. Equal keys (users kim, kim) keep the rows' order.
        QTest::newRow("name, case-sensitive bytes")
            << int(FileListModel::Name) << QStringList{"c.txt", "b.txt", "a.txt", "A.txt"};
        QTest::newRow("check-in date as text")
            << int(FileListModel::CheckinDate) << QStringList{"b.txt", "c.txt", "a.txt", "A.txt"};
        QTest::newRow("update date as text")
            << int(FileListModel::UpdateDate) << QStringList{"A.txt", "c.txt", "b.txt", "a.txt"};
        QTest::newRow("size as a number, largest first")
            << int(FileListModel::Size) << QStringList{"a.txt", "A.txt", "c.txt", "b.txt"};
        QTest::newRow("check-out path")
            << int(FileListModel::CheckoutPath) << QStringList{"c.txt", "b.txt", "a.txt", "A.txt"};
        QTest::newRow("check-out user")
            << int(FileListModel::CheckoutUser) << QStringList{"b.txt", "c.txt", "a.txt", "A.txt"};
        QTest::newRow("address") << int(FileListModel::Address)
                                 << QStringList{"c.txt", "b.txt", "a.txt", "A.txt"};
    }
    void sortEveryColumnBothWays()
    {
        QFETCH(int, column);
        QFETCH(QStringList, firstClick);
        w().fileModel().setFiles({
            fileRow("b.txt", 9, "2005/9/30 10:00", "2005/01/02", "zed"),
            fileRow("A.txt", 100, "2005/01/01", "2006/01/01"),
            fileRow("c.txt", 10, "2005/10/02", "2005/01/03", "kim"),
            fileRow("a.txt", 1024, "2005/10/01", "2005/01/01", "kim"),
        });
        // Rows with equal keys keep their order (no secondary key), so the expected
        // second click is not simply the reverse where keys tie: compute it by the key.
        w().fileProxy().clickColumn(column);
        QCOMPARE(fileNames(), firstClick);
        QCOMPARE(w().fileProxy().headerImage(), views::browseimg::SortAscending);
        w().fileProxy().clickColumn(column);
        QCOMPARE(w().fileProxy().headerImage(), views::browseimg::SortDescending);
        const QStringList second = fileNames();
        for (int i = 1; i < second.size(); ++i) {
            const QModelIndex a = w().fileProxy().index(i - 1, column);
            const QModelIndex b = w().fileProxy().index(i, column);
            if (column == FileListModel::Size)
                QVERIFY(a.data(FileListModel::SortRole).toLongLong() <=
                        b.data(FileListModel::SortRole).toLongLong());
            else
                QVERIFY(a.data(FileListModel::SortRole).toByteArray() <=
                        b.data(FileListModel::SortRole).toByteArray());
        }
        // Each column keeps its own direction: another column's first click is descending.
        const int other = (column + 1) % FileListModel::kColumns;
        w().fileProxy().clickColumn(other);
        w().fileProxy().clickColumn(column);
        QCOMPARE(fileNames(), firstClick);
    }

    void sizeTexts_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("unitSize");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped") << qint64(1234567) << false << QStringLiteral("1,234,567");
        QTest::newRow("1024") << qint64(1024) << false << QStringLiteral("1,024");
        QTest::newRow("small") << qint64(999) << false << QStringLiteral("999");
        QTest::newRow("unknown") << qint64(-1) << false << QStringLiteral("-1");
        QTest::newRow("unit bytes") << qint64(1000) << true << QStringLiteral("1000 bytes");
        QTest::newRow("unit KB") << qint64(1024) << true << QStringLiteral("1.00 KB");
        QTest::newRow("unit tens") << qint64(15 * 1024 + 900) << true << QStringLiteral("15.8 KB");
        QTest::newRow("unit hundreds") << qint64(200 * 1024) << true << QStringLiteral("200 KB");
        QTest::newRow("unit GB") << qint64(5) * 1024 * 1024 * 1024 << true
                                 << QStringLiteral("5.00 GB");
        QTest::newRow("unit MB") << qint64(3 * 1024 * 1024 + 517) << true
                                 << QStringLiteral("3.00 MB");
    }
    void sizeTexts()
    {
        QFETCH(qint64, size);
        QFETCH(bool, unitSize);
        QFETCH(QString, text);
        QCOMPARE(views::formatFileSize(size, unitSize), text);
    }

    void removingRowsKeepsTheOthersInOrder_data()
    {
        QTest::addColumn<QList<int>>("remove");
        QTest::addColumn<QStringList>("left");
        // Six rows f0 to f5; the rows to remove come in any order, twice, or out of range.
        QTest::newRow("one in the middle")
            << QList<int>{2} << QStringList{"f0", "f1", "f3", "f4", "f5"};
        QTest::newRow("a run") << QList<int>{1, 2, 3} << QStringList{"f0", "f4", "f5"};
        QTest::newRow("two runs, unsorted") << QList<int>{5, 0, 4, 1} << QStringList{"f2", "f3"};
        QTest::newRow("every other") << QList<int>{0, 2, 4} << QStringList{"f1", "f3", "f5"};
        QTest::newRow("duplicates")
            << QList<int>{3, 3, 2, 3} << QStringList{"f0", "f1", "f4", "f5"};
        QTest::newRow("out of range ignored")
            << QList<int>{-1, 6, 40, 5} << QStringList{"f0", "f1", "f2", "f3", "f4"};
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5} << QStringList{};
        QTest::newRow("none") << QList<int>{} << QStringList{"f0", "f1", "f2", "f3", "f4", "f5"};
    }
    void removingRowsKeepsTheOthersInOrder()
    {
        QFETCH(QList<int>, remove);
        QFETCH(QStringList, left);
        std::vector<protocol::FileItem> files;
        for (int i = 0; i < 6; ++i)
            files.push_back(fileRow(std::string(1, 'f').append(std::to_string(i)), i, "", ""));
        w().fileModel().setFiles(std::move(files));
        QSignalSpy removed(&w().fileModel(), &QAbstractItemModel::rowsRemoved);
        w().fileModel().removeRowsAt(std::vector<int>(remove.begin(), remove.end()));
        QCOMPARE(fileNames(), left);
        // The views hear of every row that went, and of no other.
        int signalled = 0;
        for (const QList<QVariant> &args : removed)
            signalled += args.at(2).toInt() - args.at(1).toInt() + 1;
        QCOMPARE(signalled, 6 - int(left.size()));
    }

    void dragBlocksAreByteExact()
    {
        const QModelIndex docs = select(QStringLiteral("Documents"));
        w().fileModel().setFiles({fileRow("a.txt", 1, "", ""), fileRow("b.txt", 2, "", ""),
                                  fileRow("tab\there.txt", 3, "", "")});
        QModelIndexList rows;
        for (int r = 0; r < 2; ++r)
            rows << w().fileProxy().index(r, 0);
        std::unique_ptr<QMimeData> data(w().fileProxy().mimeData(rows));
        QVERIFY(data);
        const QByteArray block = data->data(views::kMimeZemList);
        const std::string expected =
            *engine::makeZemListBlock("127.0.0.1", "Documents", {"a.txt", "b.txt"});
        QCOMPARE(block, QByteArray(expected.data(), qsizetype(expected.size())));
        QCOMPARE(block.mid(792, 13), QByteArray("a.txt\tb.txt\t\0", 13));
        QCOMPARE(block.mid(788, 4), QByteArray("\x02\0\0\0", 4));
        QCOMPARE(block.size(), 12 + 797);
        // A drag of whole rows brings one index per column: each name still goes once.
        QModelIndexList cells;
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < FileListModel::kColumns; ++c)
                cells << w().fileProxy().index(r, c);
        }
        data.reset(w().fileProxy().mimeData(cells));
        QVERIFY(data);
        QCOMPARE(data->data(views::kMimeZemList), block);

        // A name with a TAB is left out of the drag, and the message pane says why.
        rows << w().fileProxy().index(2, 0);
        data.reset(w().fileProxy().mimeData(rows));
        QVERIFY(data);
        QCOMPARE(data->data(views::kMimeZemList),
                 QByteArray(expected.data(), qsizetype(expected.size())));
        QCOMPARE(w().messages().rowCount(), 1);
        QCOMPARE(w().messages().imageAt(0), views::browseimg::Failure);
        QVERIFY(w().messages().textAt(0).contains(QStringLiteral("tab\there.txt")));
        data.reset(w().fileProxy().mimeData({w().fileProxy().index(2, 0)}));
        QVERIFY(!data); // nothing left to drag

        // A folder node: 796 bytes, host and folder path.
        std::unique_ptr<QMimeData> folder(tree().mimeData({docs}));
        QVERIFY(folder);
        const std::string treeBlock = engine::makeZemTreeBlock("127.0.0.1", "Documents");
        QCOMPARE(folder->data(views::kMimeZemTree),
                 QByteArray(treeBlock.data(), qsizetype(treeBlock.size())));
        QVERIFY(!tree().mimeData({server()})); // only folders are dragged
    }

    void dropsAreAcceptedOnlyByFoldersOfLoggedOnServers()
    {
        const QModelIndex docs = select(QStringLiteral("Documents"));
        QMimeData list;
        list.setData(views::kMimeZemList, QByteArray(800, '\0'));
        QMimeData folder;
        folder.setData(views::kMimeZemTree, QByteArray(796, '\0'));
        QMimeData shell;
        shell.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x"))});
        QCOMPARE(views::FolderTreeModel::dropEffect(&list, true), Qt::MoveAction);
        QCOMPARE(views::FolderTreeModel::dropEffect(&folder, true), Qt::CopyAction);
        QCOMPARE(views::FolderTreeModel::dropEffect(&shell, true), Qt::CopyAction);
        QCOMPARE(views::FolderTreeModel::dropEffect(&list, false), Qt::IgnoreAction);
        QVERIFY(tree().canDropMimeData(&list, Qt::MoveAction, -1, -1, docs));
        QVERIFY(!tree().canDropMimeData(&list, Qt::MoveAction, -1, -1, server()));
        QVERIFY(!tree().canDropMimeData(&list, Qt::MoveAction, -1, -1, tree().rootIndex()));

        // The drop reaches the hook with what was dropped and where.
        std::vector<views::DropRequest> requests;
        w().dropHandler = [&requests](BrowseWindow &, const views::DropRequest &r) {
            requests.push_back(r);
        };
        QVERIFY(!tree().dropMimeData(&list, Qt::MoveAction, -1, -1, docs));
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].kind, views::DropRequest::Kind::ZemList);
        QCOMPARE(requests[0].targetPath, std::string("Documents"));
        QCOMPARE(requests[0].block.size(), 800);
        tree().profile(docs)->connected = 0;
        QVERIFY(!tree().canDropMimeData(&list, Qt::MoveAction, -1, -1, docs));
    }

    void filterNarrowsTheRowsAndCounts_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("count");
        QTest::newRow("none") << QString()
                              << QStringList{"notes.txt", "Plan.md", "a.txt", "b.TXT", "data.bin"}
                              << QString();
        QTest::newRow("substring, any case")
            << QStringLiteral("txt") << QStringList{"notes.txt", "a.txt", "b.TXT"}
            << QStringLiteral("3 of 5 files");
        QTest::newRow("star") << QStringLiteral("*.md") << QStringList{"Plan.md"}
                              << QStringLiteral("1 of 5 files");
        QTest::newRow("question mark") << QStringLiteral("?.txt") << QStringList{"a.txt", "b.TXT"}
                                       << QStringLiteral("2 of 5 files");
        QTest::newRow("nothing") << QStringLiteral("zzz") << QStringList{}
                                 << QStringLiteral("0 of 5 files");
    }
    void filterNarrowsTheRowsAndCounts()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, shown);
        QFETCH(QString, count);
        w().fileModel().setFiles({fileRow("notes.txt", 1, "", ""), fileRow("Plan.md", 2, "", ""),
                                  fileRow("a.txt", 3, "", ""), fileRow("b.TXT", 4, "", ""),
                                  fileRow("data.bin", 5, "", "")});
        QSignalSpy counts(&w(), &BrowseWindow::fileCountChanged);
        w().filterEdit()->setText(filter);
        QCOMPARE(fileNames(), shown);
        QCOMPARE(w().fileCountText(), count);
        if (!filter.isEmpty()) {
            QVERIFY(!counts.isEmpty());
            QCOMPARE(counts.last().first().toString(), count);
        }
        // A filter that hides every file says so, rather than that the folder is empty.
        auto *empty = w().findChild<QLabel *>(QStringLiteral("emptyText"));
        QVERIFY(empty);
        if (shown.isEmpty())
            QCOMPARE(empty->text(), module().text(views::browsestr::FilterNoMatch));
        else
            QVERIFY(empty->text().isEmpty());
        // Esc in the filter shows every file again.
        QTest::keyClick(w().filterEdit(), Qt::Key_Escape);
        QCOMPARE(w().filterEdit()->text(), QString());
        QCOMPARE(fileNames().size(), 5);
        // Ctrl+F reaches the filter from the list.
        w().detailsView()->setFocus();
        QTest::keyClick(w().detailsView(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w().filterEdit()));
    }

    void localStateOverlayShowsEachState()
    {
        servertest::TempDir work;
        protocol::ServiceClient other = m_service->client();
        const std::string user = m_service->profile().userId;
        QVERIFY(other.setWorkFolderPath(user, "Documents", work.path().string() + "/").succeeded());
        for (const char *name : {"c.txt", "d.txt"}) {
            std::ofstream(work.path() / "upload") << "content of " << name;
            QVERIFY(other.addFile(user, "Documents", name, work.path() / "upload", "").succeeded());
        }
        std::filesystem::remove(work.path() / "upload");
        select(QStringLiteral("Documents"));
        QCOMPARE(fileNames().size(), 4);
        const auto sizeOf = [this](const char *name) {
            return w().fileModel().file(w().fileModel().rowOf(name)).fileSize;
        };
        const auto writeLocal = [&work](const char *name, std::int64_t size, bool readOnly) {
            const auto path = work.path() / name;
            std::ofstream(path, std::ios::binary) << std::string(std::size_t(size), 'x');
            if (readOnly)
                std::filesystem::permissions(path,
                                             std::filesystem::perms::owner_write |
                                                 std::filesystem::perms::group_write |
                                                 std::filesystem::perms::others_write,
                                             std::filesystem::perm_options::remove);
        };
        writeLocal("meeting-notes.txt", sizeOf("meeting-notes.txt"), true);
        writeLocal("roadmap.md", sizeOf("roadmap.md") + 3, true);
        writeLocal("c.txt", 1, false);
        w().refreshSelected();
        w().runner().waitIdle();
        using S = engine::LocalState;
        const auto state = [this](const char *name) {
            const int row = w().fileModel().rowOf(name);
            return row < 0 ? S::Unknown : w().fileModel().localState(row);
        };
        QTRY_COMPARE(state("meeting-notes.txt"), S::ReadOnly);
        QCOMPARE(state("roadmap.md"), S::SizeDiffers);
        QCOMPARE(state("c.txt"), S::Writable);
        QCOMPARE(state("d.txt"), S::NotPresent);
        const QModelIndex d = w().fileModel().index(w().fileModel().rowOf("d.txt"), 0);
        QCOMPARE(d.data(Qt::ToolTipRole).toString(),
                 module().text(views::browsestr::LocalNotPresent));
        // The overlay is part of the row image: two states never share one image.
        const QModelIndex c = w().fileModel().index(w().fileModel().rowOf("c.txt"), 0);
        QVERIFY(d.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage() !=
                c.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage());
        // The large-icon view gets an image of its own size, not the small one.
        QCOMPARE(c.data(Qt::DecorationRole).value<QIcon>().pixmap(32).width(), 32);
        // A desktop switching to another palette (dark) redraws the overlays in its colours:
        // the writable mark is drawn in the highlight colour.
        const QPalette before = QApplication::palette();
        QPalette dark = before;
        dark.setColor(QPalette::Highlight, QColor(200, 30, 30));
        QApplication::setPalette(dark);
        QCoreApplication::processEvents();
        const QColor mark =
            c.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage().pixelColor(11, 11);
        QApplication::setPalette(before);
        QCOMPARE(mark.rgb(), QColor(200, 30, 30).rgb());
        for (const auto &e : std::filesystem::directory_iterator(work.path()))
            std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add);
    }

    void aServerThatIsDownIsReportedAndTheWindowGoesOn()
    {
        m_service->server.stop();
        QString shown;
        answerNextModal([&shown](QWidget *box) {
            shown = static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->accept();
        });
        w().selectNode(server());
        w().runner().waitIdle();
        QTRY_VERIFY(!shown.isEmpty());
        QVERIFY(!tree().profile(server())->connected);
        QCOMPARE(tree().rowCount(server()), 0);
        const auto *empty =
            w().detailsView()->viewport()->findChild<QLabel *>(QStringLiteral("emptyText"));
        QVERIFY(empty && empty->isVisible());
        QCOMPARE(empty->text(), module().text(views::browsestr::NoServerAnswer));
        // The window still answers: the root lists the servers again.
        w().refresh(tree().rootIndex());
        QCOMPARE(tree().rowCount(tree().rootIndex()), 1);
    }

    void statusPanesFollowTheSelectedFolder()
    {
        protocol::ServiceClient other = m_service->client();
        QVERIFY(other.setWorkFolderPath(m_service->profile().userId, "Projects", "/work/p")
                    .succeeded());
        QSignalSpy work(&w(), &BrowseWindow::workFolderPaneChanged);
        QSignalSpy comment(&w(), &BrowseWindow::commentPaneChanged);
        select(QStringLiteral("Projects"));
        QCOMPARE(work.last().first().toString(), QStringLiteral("/work/p"));
        QCOMPARE(comment.last().first().toString(), QStringLiteral("Active projects"));
        w().selectNode(server());
        w().runner().waitIdle();
        QCOMPARE(work.last().first().toString(), QString());
        QCOMPARE(comment.last().first().toString(), QString());
    }

    void splitterAndColumnsFollowTheSettings()
    {
        // SaveWindowSize 0: rows of equal share, the tree 4/10 of the width.
        QList<int> rows = w().outerSplitter()->sizes();
        QVERIFY(qAbs(rows[0] - rows[1]) <= 1);
        // Written on close whatever SaveColumnSize says; applied next time only with it.
        w().detailsView()->header()->resizeSection(FileListModel::Size, 123);
        w().detailsView()->header()->moveSection(FileListModel::Size, 0);
        m_window.reset();
        QCOMPARE(m_settings->settings.values().colMain[FileListModel::Size], 123);
        QCOMPARE(m_settings->settings.values().colMainOrder[0], int(FileListModel::Size));
        open();
        // Not applied: the default, which holds a whole date and size in this font.
        QHeaderView *header = w().detailsView()->header();
        const QFontMetrics metrics(w().detailsView()->font());
        QVERIFY(header->sectionSize(FileListModel::Size) != 123);
        QVERIFY(header->sectionSize(FileListModel::Size) >= 70);
        QVERIFY(header->sectionSize(FileListModel::CheckinDate) >
                metrics.horizontalAdvance(QStringLiteral("2026/12/08 04:12:33")));
        QCOMPARE(header->sectionSize(FileListModel::Name), 300);
        config::SettingsValues v = m_settings->settings.values();
        v.saveColumnSize = 1;
        v.saveColumnOrder = 1;
        QVERIFY(!platform::failed(m_settings->settings.write(
            v, {config::SettingField::SaveColumnSize, config::SettingField::SaveColumnOrder})));
        w().detailsView()->header()->resizeSection(FileListModel::Size, 123);
        w().detailsView()->header()->moveSection(FileListModel::Size, 0);
        m_window.reset();
        open();
        QCOMPARE(w().detailsView()->header()->sectionSize(FileListModel::Size), 123);
        QCOMPARE(w().detailsView()->header()->logicalIndex(0), int(FileListModel::Size));
    }

    // Without a language module there is no progress form to run a job in: nothing runs,
    // and a caller that goes on only after a finished job does not go on.
    void aJobWithoutALanguageModuleIsNotReportedAsDone()
    {
        m_window.reset();
        m_resources.module = nullptr;
        open();
        const std::filesystem::path target =
            std::filesystem::temp_directory_path() / "ravelind-no-module-get";
        engine::OperationRequest r;
        r.kind = engine::OperationKind::GetFiles;
        r.profile = m_service->profile();
        r.serverPath = "Projects\\Website";
        r.localFolder = target;
        r.multipleFiles = true;
        protocol::FileItem file;
        file.fileName = "index.html";
        r.files = {{0, file}};
        const views::JobOutcome outcome = views::runJob(w(), r);
        QVERIFY(!outcome.ran);
        QVERIFY(outcome.cancelled);
        QVERIFY(platform::failed(outcome.code));
        QVERIFY(!std::filesystem::exists(target / "index.html"));
    }
};

QTEST_MAIN(TestBrowseWindow)
#include "tst_browsewindow.moc"
