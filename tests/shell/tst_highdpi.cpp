// The program on a screen with two device pixels a logical pixel, in the Fusion style: the
// shared images come from the pictures drawn at twice the size instead of being scaled up.

#include "shelltestsupport.h"

#include <views/common/languagemodule.h>

#include <QToolBar>
#include <QToolButton>

using namespace shelltest;

class TstHighDpi : public QObject
{
    Q_OBJECT
private slots:
    void smallImagesAndToolbarsUseTheDoubledPictures()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        StartedApp started;
        QCOMPARE(started.startResult, 0);
        const QList<QPixmap> &images = started.frame().smallImages();
        QVERIFY(images.size() >= 14);
        for (const QPixmap &image : images) {
            QCOMPARE(image.devicePixelRatio(), 2.0);
            QCOMPARE(image.width(), 32); // device pixels, 16 logical
            QCOMPARE(image.deviceIndependentSize().toSize(), QSize(16, 16));
        }
        const views::LanguageModule &module = started.app->module();
        QCOMPARE(module.image(QStringLiteral("toolbar128.png")).devicePixelRatio(), 2.0);
        // A picture without a doubled version is still found.
        QVERIFY(!module.bitmap(102).isNull());
        QCOMPARE(module.bitmap(102).devicePixelRatio(), 1.0);

        started.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&started.frame()));
        const QList<QToolBar *> bars = started.frame().findChildren<QToolBar *>();
        QVERIFY(!bars.isEmpty());
    }
};

QTEST_MAIN(TstHighDpi)
#include "tst_highdpi.moc"
