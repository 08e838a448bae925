// The browse window on large folders of the reference service (loopback): from selecting a
// folder node to the painted list, the longest stall of the event loop meanwhile, sorting,
// filtering, selecting, and the memory the rows keep; then a tree of 2,010 folders expanded
// level by level. Runs on the offscreen platform; see run.sh.
//
//   browse-bench [files in a folder]...     (default 10000 100000)
//
// The folders are written straight into a fresh store of the service before it starts, so
// the set-up takes seconds rather than one upload per file.

#include <config/settings.h>
#include <platform/machineidentity.h>
#include <platform/registry.h>
#include <views/browse/browsewindow.h>
#include <views/common/errortext.h>
#include <views/common/languagemodule.h>

#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// --- The service ----------------------------------------------------------------------------

class Server
{
public:
    ~Server() { stop(); }
    bool start(const std::filesystem::path &data)
    {
        int ends[2];
        if (pipe(ends) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(ends[1], STDOUT_FILENO);
            close(ends[0]);
            close(ends[1]);
            const std::string dir = data.string();
            execl(RAVELIND_SERVER_PATH, RAVELIND_SERVER_PATH, "--data", dir.c_str(), "--port", "0",
                  static_cast<char *>(nullptr));
            _exit(127);
        }
        close(ends[1]);
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd fd{ends[0], POLLIN, 0};
            char buffer[256];
            if (poll(&fd, 1, 30000) <= 0)
                return false;
            const ssize_t got = read(ends[0], buffer, sizeof buffer);
            if (got <= 0)
                return false;
            line.append(buffer, static_cast<std::size_t>(got));
        }
        close(ends[0]);
        line.resize(line.find('\n'));
        m_port = std::atoi(line.c_str() + line.rfind(' ') + 1);
        return m_port > 0;
    }
    void stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
    int port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

bool exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
    return false;
}

struct Inserter
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *item = nullptr;
    sqlite3_stmt *version = nullptr;

    bool prepare()
    {
        return sqlite3_prepare_v2(db,
                                  "INSERT INTO items(parent, name, kind, owner) VALUES(?1, ?2, "
                                  "?3, '')",
                                  -1, &item, nullptr) == SQLITE_OK &&
               sqlite3_prepare_v2(db,
                                  "INSERT INTO versions(item, version, hash, size, update_time, "
                                  "checkin_time, user_id, comment) VALUES(?1, 1, 'bench', ?2, ?3, "
                                  "?4, 'bench', '')",
                                  -1, &version, nullptr) == SQLITE_OK;
    }
    ~Inserter()
    {
        sqlite3_finalize(item);
        sqlite3_finalize(version);
    }
    sqlite3_int64 add(sqlite3_int64 parent, const std::string &name, int kind)
    {
        sqlite3_reset(item);
        sqlite3_bind_int64(item, 1, parent);
        sqlite3_bind_text(item, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(item, 3, kind);
        if (sqlite3_step(item) != SQLITE_DONE)
            return -1;
        return sqlite3_last_insert_rowid(db);
    }
    bool addFile(sqlite3_int64 parent, int i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "file%06d.txt", i);
        const sqlite3_int64 id = add(parent, name, 2);
        if (id < 0)
            return false;
        char update[32], checkin[32];
        std::snprintf(update, sizeof update, "2026/%02d/%02d %02d:%02d:%02d", 1 + i % 12,
                      1 + i % 28, i % 24, i % 60, (i * 7) % 60);
        std::snprintf(checkin, sizeof checkin, "2026/%02d/%02d %02d:%02d:%02d", 1 + (i / 7) % 12,
                      1 + (i / 3) % 28, (i / 5) % 24, i % 60, (i * 11) % 60);
        sqlite3_reset(version);
        sqlite3_bind_int64(version, 1, id);
        sqlite3_bind_int64(version, 2, (static_cast<sqlite3_int64>(i) * 7919) % 5000000);
        sqlite3_bind_text(version, 3, update, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(version, 4, checkin, -1, SQLITE_TRANSIENT);
        return sqlite3_step(version) == SQLITE_DONE;
    }
};

// "A7" and the like; snprintf because GCC 12 warns falsely on "A" + std::to_string(7).
std::string numbered(const char *prefix, int n)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%d", prefix, n);
    return text;
}

// Folders "Files<N>" with N files each and "Tree": 10 folders of 10 folders of 19 folders.
bool fillStore(const std::filesystem::path &data, const std::vector<int> &sizes)
{
    {
        Server first; // creates the store and its tables
        if (!first.start(data))
            return false;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open((data / "ravelind.db").string().c_str(), &db) != SQLITE_OK)
        return false;
    Inserter in;
    in.db = db;
    bool ok = exec(db, "BEGIN") && in.prepare();
    for (int size : sizes) {
        const sqlite3_int64 folder = in.add(1, numbered("Files", size), 1);
        ok = ok && folder > 0;
        for (int i = 0; ok && i < size; ++i)
            ok = in.addFile(folder, i);
    }
    const sqlite3_int64 tree = in.add(1, "Tree", 1);
    for (int a = 0; ok && a < 10; ++a) {
        const sqlite3_int64 one = in.add(tree, numbered("A", a), 1);
        for (int b = 0; ok && b < 10; ++b) {
            const sqlite3_int64 two = in.add(one, numbered("B", b), 1);
            for (int c = 0; ok && c < 19; ++c)
                ok = in.add(two, numbered("C", c), 1) > 0;
        }
    }
    ok = ok && exec(db, "COMMIT");
    sqlite3_close(db);
    return ok;
}

// --- Measuring ------------------------------------------------------------------------------

// Hands freed memory back first, so the figure is what is still in use.
long statusKb(const char *field)
{
    malloc_trim(0);
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(in, line)) {
        if (line.compare(0, length, field) == 0)
            return std::atol(line.c_str() + length + 1);
    }
    return -1;
}

// The longest time the event loop went without running a 5 ms timer: what the user sees as
// a window that does not paint.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start();
    }
    qint64 stop()
    {
        m_timer.stop();
        return std::max(m_longest, m_since.elapsed());
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// Runs the event loop until `done` holds; false after 120 s.
template<typename Done> bool spinUntil(Done done)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (t.elapsed() > 120000)
            return false;
    }
    return true;
}

double ms(const QElapsedTimer &t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

QModelIndex childNamed(const QAbstractItemModel &model, const QModelIndex &parent,
                       const QString &name)
{
    for (int r = 0; r < model.rowCount(parent); ++r) {
        const QModelIndex i = model.index(r, 0, parent);
        if (i.data().toString() == name)
            return i;
    }
    return {};
}

// Time of `step` followed by a synchronous paint of the window.
template<typename Step> double timedPaint(views::BrowseWindow &w, Step step)
{
    QElapsedTimer t;
    t.start();
    step();
    w.repaint();
    return ms(t);
}

void benchFolder(views::BrowseWindow &w, const QModelIndex &server, int size)
{
    const QModelIndex folder =
        childNamed(w.treeModel(), server, QStringLiteral("Files%1").arg(size));
    if (!folder.isValid()) {
        std::printf("no folder Files%d\n", size);
        return;
    }
    // Back on the server node first, so the rows of an earlier folder are gone.
    w.selectNode(server);
    w.runner().waitIdle();
    QCoreApplication::processEvents();
    const long before = statusKb("VmRSS:");

    StallMeter stall;
    stall.start();
    QElapsedTimer t;
    t.start();
    w.selectNode(folder);
    if (!spinUntil([&] { return w.fileModel().rowCount() == size; })) {
        std::printf("Files%d: the list did not fill\n", size);
        return;
    }
    const double filled = ms(t);
    w.repaint();
    const double painted = ms(t);
    const qint64 longestStall = stall.stop();
    w.runner().waitIdle();
    QCoreApplication::processEvents();
    const long after = statusKb("VmRSS:");
    std::printf("%7d files: select to filled %8.1f ms, to painted %8.1f ms, longest event-loop "
                "stall %5lld ms\n",
                size, filled, painted, static_cast<long long>(longestStall));
    std::printf("               memory kept by the list %ld KB (%.0f bytes a row), peak RSS %ld "
                "KB\n",
                after - before, (after - before) * 1024.0 / size, statusKb("VmHWM:"));

    views::FileSortProxy &proxy = w.fileProxy();
    const struct
    {
        int column;
        const char *name;
    } sorts[] = {{views::FileListModel::Name, "name"},
                 {views::FileListModel::Name, "name again"},
                 {views::FileListModel::Size, "size"},
                 {views::FileListModel::CheckinDate, "check-in date"},
                 {views::FileListModel::UpdateDate, "update date"}};
    for (const auto &s : sorts)
        std::printf("               sort by %-14s %8.1f ms\n", s.name,
                    timedPaint(w, [&] { proxy.clickColumn(s.column); }));
    QLineEdit *filter = w.filterEdit();
    const struct
    {
        const char *text;
        const char *name;
    } filters[] = {
        {"99", "substring \"99\""}, {"file*7?.txt", "wildcard \"file*7?.txt\""}, {"", "cleared"}};
    for (const auto &f : filters) {
        const double took = timedPaint(w, [&] { filter->setText(QString::fromLatin1(f.text)); });
        std::printf("               filter %-24s %8.1f ms (%d rows)\n", f.name, took,
                    proxy.rowCount());
    }
    std::printf("               select all             %8.1f ms\n",
                timedPaint(w, [&] { w.selectAllFiles(); }));
    std::printf("               invert selection       %8.1f ms\n",
                timedPaint(w, [&] { w.invertFileSelection(); }));
    // Timed first: the count read in the same call could be read before the inversion.
    const double inverted = timedPaint(w, [&] {
        w.invertFileSelection();
        (void)w.selectedRows();
    });
    std::printf("               invert again, read rows %7.1f ms (%zu selected)\n", inverted,
                w.selectedRows().size());
    std::printf("               remove every row       %8.1f ms\n", timedPaint(w, [&] {
                    std::vector<int> all(static_cast<std::size_t>(size));
                    for (int i = 0; i < size; ++i)
                        all[static_cast<std::size_t>(i)] = i;
                    w.fileModel().removeRowsAt(std::move(all));
                }));
}

void benchTree(views::BrowseWindow &w, const QModelIndex &server)
{
    views::FolderTreeModel &tree = w.treeModel();
    const QModelIndex top = childNamed(tree, server, QStringLiteral("Tree"));
    if (!top.isValid()) {
        std::printf("no folder Tree\n");
        return;
    }
    QTreeView *view = w.treeView();
    std::vector<QPersistentModelIndex> level{top};
    int total = 0;
    for (int depth = 1; depth <= 3; ++depth) {
        StallMeter stall;
        stall.start();
        QElapsedTimer t;
        t.start();
        for (const QPersistentModelIndex &i : level)
            view->expand(i);
        w.runner().waitIdle();
        if (!spinUntil([&] {
                for (const QPersistentModelIndex &i : level) {
                    if (!tree.isListed(i))
                        return false;
                }
                return true;
            })) {
            std::printf("tree level %d did not list\n", depth);
            return;
        }
        std::vector<QPersistentModelIndex> next;
        for (const QPersistentModelIndex &i : level) {
            for (int r = 0; r < tree.rowCount(i); ++r)
                next.emplace_back(tree.index(r, 0, i));
        }
        w.repaint();
        total += static_cast<int>(next.size());
        std::printf("tree level %d: %4zu nodes expanded, %5zu folders listed in %8.1f ms "
                    "(%.2f ms a node), longest stall %lld ms\n",
                    depth, level.size(), next.size(), ms(t),
                    ms(t) / static_cast<double>(level.size()),
                    static_cast<long long>(stall.stop()));
        if (depth == 3)
            break;
        level = std::move(next);
    }
    std::printf("tree: %d folders below \"Tree\"\n", total);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000};

    char pattern[] = "/tmp/browse-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 2;
    const std::filesystem::path dir(pattern);
    int rc = 0;
    {
        QElapsedTimer setUp;
        setUp.start();
        if (!fillStore(dir / "data", sizes)) {
            std::fprintf(stderr, "could not fill the store\n");
            std::filesystem::remove_all(dir);
            return 2;
        }
        Server server;
        if (!server.start(dir / "data")) {
            std::fprintf(stderr, "the service did not start\n");
            std::filesystem::remove_all(dir);
            return 2;
        }
        std::printf("set-up (store filled, service started): %.0f ms\n", ms(setUp));

        QApplication app(argc, argv);
        QString error;
        const auto location = views::findModule(437, {QStringLiteral(RAVELIND_MODULE_DIR)});
        auto module = location ? views::LanguageModule::open(*location, error) : nullptr;
        if (!module) {
            std::fprintf(stderr, "no language module: %s\n", qPrintable(error));
            std::filesystem::remove_all(dir);
            return 2;
        }
        views::BrowseResources resources;
        resources.module = module.get();
        resources.text = [&](int id) {
            return module->text(id);
        };
        resources.images = views::LanguageModule::splitStrip(module->bitmap(133), 16);
        resources.errorText = [&](platform::ResultCode code) {
            return views::errorText(*module, code);
        };
        resources.identity = platform::readMachineIdentity();

        platform::Registry registry(dir / "registry.reg");
        config::Settings settings(registry, dir.string());
        (void)settings.load();

        protocol::ServerProfile profile;
        profile.name = "Bench";
        profile.server = "127.0.0.1";
        profile.url = "/Service.asmx";
        profile.port = static_cast<std::uint16_t>(server.port());
        profile.userId = "bench";
        profile.timeout = 120;

        views::BrowseWindow w(resources, settings,
                              [&] { return std::vector<protocol::ServerProfile>{profile}; });
        w.resize(1200, 800);
        w.show();
        QCoreApplication::processEvents();
        const QModelIndex root = w.treeModel().rootIndex();
        const QPersistentModelIndex serverNode = w.treeModel().index(0, 0, root);
        w.selectNode(serverNode);
        w.runner().waitIdle();
        spinUntil([&] { return w.treeModel().isListed(serverNode); });
        if (!w.treeModel().profile(serverNode) || !w.treeModel().profile(serverNode)->connected) {
            std::fprintf(stderr, "logon failed\n");
            rc = 2;
        } else {
            std::printf("window process RSS after logon: %ld KB\n", statusKb("VmRSS:"));
            for (int size : sizes)
                benchFolder(w, serverNode, size);
            benchTree(w, serverNode);
        }
    }
    std::filesystem::remove_all(dir);
    return rc;
}
