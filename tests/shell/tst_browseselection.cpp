// The selection notions computed from what a browse window reports.

#include "shell/browseselection.h"

#include <QTest>

using namespace shell;
using protocol::ItemKind;

Q_DECLARE_METATYPE(std::vector<shell::SelectionNode>)
Q_DECLARE_METATYPE(std::vector<protocol::FileItem>)

static SelectionNode server(const char *name)
{
    return {ItemKind::ServerProfile, name, {}};
}
static SelectionNode folder(const char *name, const char *work = "")
{
    return {ItemKind::Folder, name, work};
}

class TestBrowseSelection : public QObject
{
    Q_OBJECT
private slots:
    void notions_data();
    void notions();
    void checkedOut_data();
    void checkedOut();
};

void TestBrowseSelection::notions_data()
{
    using Chain = std::vector<SelectionNode>;
    QTest::addColumn<Chain>("chain");
    QTest::addColumn<QString>("serverPath");
    QTest::addColumn<QString>("own");       // "-" for none
    QTest::addColumn<QString>("inherited"); // "-" for none
    QTest::newRow("server node") << Chain{server("Local")} << ""
                                 << "-"
                                 << "-";
    QTest::newRow("folder with its own working folder")
        << Chain{server("Local"), folder("Docs", "/home/u/docs/")} << "Docs"
        << "/home/u/docs"
        << "/home/u/docs";
    QTest::newRow("two levels below the working folder")
        << Chain{server("Local"), folder("Docs", "/w"), folder("Plans"), folder("Old")}
        << "Docs\\Plans\\Old"
        << "-"
        << "/w/Plans/Old";
    QTest::newRow("working folder recorded with a backslash")
        << Chain{server("Local"), folder("Docs", "C:\\work\\"), folder("A")} << "Docs\\A"
        << "-"
        << "C:\\work/A";
    QTest::newRow("nearest working folder wins")
        << Chain{server("S"), folder("A", "/a"), folder("B", "/b"), folder("C")} << "A\\B\\C"
        << "-"
        << "/b/C";
    QTest::newRow("no working folder up to the server")
        << Chain{server("S"), folder("A"), folder("B")} << "A\\B"
        << "-"
        << "-";
    QTest::newRow("working folder at the file-system root")
        << Chain{server("S"), folder("A", "/"), folder("B")} << "A\\B"
        << "-"
        << "/B";
    QTest::newRow("a name that climbs out gives no folder")
        << Chain{server("S"), folder("A", "/w"), folder(".."), folder("B")} << "A\\..\\B"
        << "-"
        << "-";
    QTest::newRow("a name holding a slash gives no folder")
        << Chain{server("S"), folder("A", "/w"), folder("x/y")} << "A\\x/y"
        << "-"
        << "-";
    const std::string longName(200, 'n');
    QTest::newRow("server path longer than 260 bytes is empty")
        << Chain{server("S"), folder(longName.c_str()), folder(longName.c_str())} << ""
        << "-"
        << "-";
}

void TestBrowseSelection::notions()
{
    QFETCH(std::vector<SelectionNode>, chain);
    QFETCH(QString, serverPath);
    QFETCH(QString, own);
    QFETCH(QString, inherited);
    const auto show = [](const std::optional<std::string> &s) {
        return s ? QString::fromStdString(*s) : QStringLiteral("-");
    };
    QCOMPARE(QString::fromStdString(serverPathOf(chain)), serverPath);
    QCOMPARE(show(ownWorkingFolder(chain)), own);
    QCOMPARE(show(inheritedWorkingFolder(chain)), inherited);
}

void TestBrowseSelection::checkedOut_data()
{
    using Files = std::vector<protocol::FileItem>;
    QTest::addColumn<bool>("serverFound");
    QTest::addColumn<Files>("files");
    QTest::addColumn<bool>("none");
    QTest::addColumn<bool>("any");
    protocol::FileItem free;
    free.fileName = "a.txt";
    protocol::FileItem taken;
    taken.fileName = "b.txt";
    taken.checkoutUser = "jane";
    QTest::newRow("server, no rows") << true << Files{} << true << false;
    QTest::newRow("server, rows not checked out") << true << Files{free, free} << true << false;
    QTest::newRow("server, one row checked out") << true << Files{free, taken} << false << true;
    QTest::newRow("no server") << false << Files{taken} << false << false;
}

void TestBrowseSelection::checkedOut()
{
    QFETCH(bool, serverFound);
    QFETCH(std::vector<protocol::FileItem>, files);
    QFETCH(bool, none);
    QFETCH(bool, any);
    QCOMPARE(noneCheckedOut(serverFound, files), none);
    QCOMPARE(anyCheckedOut(serverFound, files), any);
}

QTEST_APPLESS_MAIN(TestBrowseSelection)
#include "tst_browseselection.moc"
