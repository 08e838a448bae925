// Draws the bitmaps of the English language module (resources/437/images/) and the
// program's desktop icons (resources/icons/hicolor/). The PNGs are committed; run this only
// to change a picture:
//   g++ -std=c++20 -fPIC resources/tools/makeimages.cpp $(pkg-config --cflags --libs Qt6Gui) \
//       -o /tmp/makeimages && QT_QPA_PLATFORM=offscreen /tmp/makeimages resources/437/images \
//       resources/icons/hicolor
// Another module's pictures are the English ones except the splash, whose line under the name
// is drawn in that language (it needs a font with its script, for Japanese fonts-ipafont):
//   QT_QPA_PLATFORM=offscreen /tmp/makeimages --splash resources/932/images/114.png \
//       "バージョン管理されたファイル"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <functional>
#include <vector>

namespace {

using Draw = std::function<void(QPainter &)>;

const QColor kOutline(60, 60, 70);
const QColor kFolder(240, 196, 80);
const QColor kFolderDark(205, 150, 40);
const QColor kPage(252, 252, 252);
const QColor kBlue(52, 110, 200);
const QColor kGreen(46, 160, 67);
const QColor kRed(208, 52, 44);
const QColor kGrey(140, 140, 150);

QPen pen(const QColor &c, qreal w = 1.0)
{
    QPen p(c, w);
    p.setJoinStyle(Qt::RoundJoin);
    p.setCapStyle(Qt::RoundCap);
    return p;
}

void folderClosed(QPainter &p)
{
    p.setPen(pen(kFolderDark));
    p.setBrush(kFolderDark);
    p.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
    p.setBrush(kFolder);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1, 1);
}

void folderOpen(QPainter &p)
{
    p.setPen(pen(kFolderDark));
    p.setBrush(kFolderDark);
    p.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
    p.drawRoundedRect(QRectF(1.5, 4.5, 12, 9), 1, 1);
    QPainterPath flap;
    flap.moveTo(3.5, 7.5);
    flap.lineTo(15.5, 7.5);
    flap.lineTo(13.5, 13.5);
    flap.lineTo(1.5, 13.5);
    flap.closeSubpath();
    p.setBrush(QColor(250, 214, 110));
    p.drawPath(flap);
}

void lock(QPainter &p)
{
    p.setPen(pen(QColor(90, 70, 20), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9.5, 7, 4, 5), 0, 180 * 16);
    p.setPen(pen(QColor(90, 70, 20)));
    p.setBrush(QColor(120, 120, 130));
    p.drawRect(QRectF(8.5, 9.5, 6, 5));
}

void page(QPainter &p, qreal x = 3.5, qreal y = 1.5)
{
    QPainterPath path;
    path.moveTo(x, y);
    path.lineTo(x + 6, y);
    path.lineTo(x + 9, y + 3);
    path.lineTo(x + 9, y + 13);
    path.lineTo(x, y + 13);
    path.closeSubpath();
    p.setPen(pen(kOutline));
    p.setBrush(kPage);
    p.drawPath(path);
    p.drawLine(QPointF(x + 6, y), QPointF(x + 6, y + 3));
    p.drawLine(QPointF(x + 6, y + 3), QPointF(x + 9, y + 3));
    p.setPen(pen(QColor(170, 180, 200)));
    for (qreal ly = y + 6; ly < y + 12; ly += 2)
        p.drawLine(QPointF(x + 2, ly), QPointF(x + 7, ly));
}

void server(QPainter &p, const QColor &lamp)
{
    QLinearGradient g(0, 0, 16, 0);
    g.setColorAt(0, QColor(200, 205, 215));
    g.setColorAt(1, QColor(150, 155, 170));
    p.setPen(pen(kOutline));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3.5, 1.5, 9, 13), 1, 1);
    p.setPen(pen(QColor(90, 95, 110)));
    p.drawLine(QPointF(5, 4.5), QPointF(11, 4.5));
    p.drawLine(QPointF(5, 6.5), QPointF(11, 6.5));
    p.setPen(pen(kOutline));
    p.setBrush(lamp);
    p.drawEllipse(QPointF(8, 11), 2, 2);
}

void badgeCircle(QPainter &p, const QColor &c, QRectF r)
{
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.3);
    g.setColorAt(0, c.lighter(140));
    g.setColorAt(1, c);
    p.setPen(pen(c.darker(140)));
    p.setBrush(g);
    p.drawEllipse(r);
}

void cross(QPainter &p, QRectF r, const QColor &c = Qt::white, qreal w = 1.8)
{
    p.setPen(pen(c, w));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void tick(QPainter &p, QPointF a, QPointF b, QPointF c, const QColor &col = Qt::white,
          qreal w = 1.8)
{
    p.setPen(pen(col, w));
    p.drawPolyline(QPolygonF{a, b, c});
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &c, qreal w = 2.0)
{
    p.setPen(pen(c, w));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF l1 = line;
    l1.setLength(4.5);
    l1.setAngle(line.angle() + 40);
    QLineF l2 = line;
    l2.setLength(4.5);
    l2.setAngle(line.angle() - 40);
    p.drawLine(l1);
    p.drawLine(l2);
}

void clock(QPainter &p, QRectF r)
{
    p.setPen(pen(kOutline));
    p.setBrush(QColor(235, 240, 250));
    p.drawEllipse(r);
    p.setPen(pen(kBlue, 1.4));
    QPointF c = r.center();
    p.drawLine(c, c + QPointF(0, -r.height() / 2 + 2.5));
    p.drawLine(c, c + QPointF(r.width() / 2 - 3, 0));
}

void globe(QPainter &p)
{
    badgeCircle(p, kBlue, QRectF(1.5, 1.5, 13, 13));
    p.setPen(pen(QColor(220, 235, 255)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
}

void triangle(QPainter &p, bool up)
{
    QPolygonF t = up ? QPolygonF{{4, 11}, {12, 11}, {8, 5}} : QPolygonF{{4, 5}, {12, 5}, {8, 11}};
    p.setPen(pen(QColor(90, 90, 100)));
    p.setBrush(QColor(120, 120, 130));
    p.drawPolygon(t);
}

void person(QPainter &p, QPointF at, const QColor &c)
{
    p.setPen(pen(c.darker(150)));
    p.setBrush(c);
    p.drawEllipse(at, 2.2, 2.2);
    p.drawChord(QRectF(at.x() - 4, at.y() + 2.5, 8, 8), 0, 180 * 16);
}

// Image list 133: the shared small images of the tree, the lists and the message pane.
std::vector<Draw> smallImages()
{
    return {
        globe,                                               // 0 root
        [](QPainter &p) { server(p, QColor(60, 200, 80)); }, // 1 server, logged on
        [](QPainter &p) { server(p, kGrey); },               // 2 server, not logged on
        folderClosed,                                        // 3 folder
        folderOpen,                                          // 4 folder, selected
        [](QPainter &p) {
            folderClosed(p);
            lock(p);
        }, // 5 private folder
        [](QPainter &p) {
            folderOpen(p);
            lock(p);
        },                            // 6 private folder, selected
        [](QPainter &p) { page(p); }, // 7 file
        [](QPainter &p) {             // 8 file, checked out
            page(p, 1.5, 1.5);
            badgeCircle(p, kRed, QRectF(8.5, 8.5, 7, 7));
            tick(p, {10.3, 12}, {11.8, 13.5}, {14, 10.3}, Qt::white, 1.3);
        },
        [](QPainter &p) { // 9 failure, warning, cancellation
            badgeCircle(p, kRed, QRectF(1.5, 1.5, 13, 13));
            cross(p, QRectF(5.5, 5.5, 5, 5));
        },
        [](QPainter &p) { // 10 success
            badgeCircle(p, kGreen, QRectF(1.5, 1.5, 13, 13));
            tick(p, {4.8, 8.2}, {7, 10.6}, {11.2, 5.6});
        },
        [](QPainter &p) { triangle(p, true); },                  // 11 sorted ascending
        [](QPainter &p) { triangle(p, false); },                 // 12 sorted descending
        [](QPainter &p) { clock(p, QRectF(1.5, 1.5, 13, 13)); }, // 13 history
        [](QPainter &p) {                                        // 14 deleted folder
            folderClosed(p);
            badgeCircle(p, kRed, QRectF(8.5, 8.5, 7, 7));
            cross(p, QRectF(10.5, 10.5, 3, 3), Qt::white, 1.3);
        },
    };
}

// Toolbar 128 of the main window, in the order of the button table in mainframe.cpp.
std::vector<Draw> mainToolbar()
{
    return {
        [](QPainter &p) { // 0 new browse window
            p.setPen(pen(kOutline));
            p.setBrush(kPage);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(kBlue);
            p.drawRect(QRectF(1.5, 2.5, 13, 3));
            p.setPen(pen(kGreen, 2));
            p.drawLine(QPointF(8, 7.5), QPointF(8, 12.5));
            p.drawLine(QPointF(5.5, 10), QPointF(10.5, 10));
        },
        [](QPainter &p) { // 1 add server
            server(p, QColor(60, 200, 80));
            badgeCircle(p, kGreen, QRectF(8.5, 0.5, 7, 7));
            p.setPen(pen(Qt::white, 1.4));
            p.drawLine(QPointF(12, 2), QPointF(12, 6));
            p.drawLine(QPointF(10, 4), QPointF(14, 4));
        },
        [](QPainter &p) { // 2 log on
            server(p, kGrey);
            person(p, {12, 7}, kBlue);
        },
        [](QPainter &p) { // 3 get
            page(p, 1.5, 1.5);
            arrow(p, {12, 2}, {12, 13}, kBlue);
        },
        [](QPainter &p) { // 4 check out
            page(p, 1.5, 1.5);
            badgeCircle(p, kRed, QRectF(8.5, 8.5, 7, 7));
            tick(p, {10.3, 12}, {11.8, 13.5}, {14, 10.3}, Qt::white, 1.3);
        },
        [](QPainter &p) { // 5 check in
            page(p, 1.5, 1.5);
            arrow(p, {12, 14}, {12, 3}, kGreen);
        },
        [](QPainter &p) { // 6 undo check out
            page(p, 1.5, 1.5);
            p.setPen(pen(kRed, 1.8));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(7.5, 5.5, 7, 8), 90 * 16, -250 * 16);
            arrow(p, {11.5, 5.5}, {9, 5.5}, kRed, 1.8);
        },
        [](QPainter &p) { clock(p, QRectF(1.5, 1.5, 13, 13)); }, // 7 history
        [](QPainter &p) {                                        // 8 compare
            page(p, 0.5, 0.5);
            page(p, 6.5, 2.5);
        },
        [](QPainter &p) { cross(p, QRectF(3, 3, 10, 10), kRed, 2.6); }, // 9 delete
        [](QPainter &p) {                                               // 10 server profiles
            p.setPen(pen(kOutline));
            p.setBrush(kPage);
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            for (int i = 0; i < 3; ++i) {
                p.setPen(pen(kOutline));
                p.setBrush(QColor(60, 200, 80));
                p.drawRect(QRectF(3.5, 3.5 + 3.5 * i, 2, 2));
                p.setPen(pen(kGrey));
                p.drawLine(QPointF(7, 4.5 + 3.5 * i), QPointF(12.5, 4.5 + 3.5 * i));
            }
        },
        [](QPainter &p) { // 11 options
            p.setPen(pen(kOutline, 1.2));
            for (int i = 0; i < 3; ++i)
                p.drawLine(QPointF(2, 4 + 4 * i), QPointF(14, 4 + 4 * i));
            p.setBrush(kBlue);
            p.drawRect(QRectF(9.5, 2.5, 3, 3));
            p.drawRect(QRectF(3.5, 6.5, 3, 3));
            p.drawRect(QRectF(7.5, 10.5, 3, 3));
        },
        [](QPainter &p) { // 12 help
            badgeCircle(p, kBlue, QRectF(1.5, 1.5, 13, 13));
            p.setPen(Qt::white);
            QFont f = p.font();
            f.setPixelSize(11);
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        },
        [](QPainter &p) { // 13 about
            badgeCircle(p, kBlue, QRectF(1.5, 1.5, 13, 13));
            p.setPen(pen(Qt::white, 2));
            p.drawPoint(QPointF(8, 5));
            p.drawLine(QPointF(8, 7.5), QPointF(8, 11.5));
        },
        [](QPainter &p) { // 14 tools
            p.setPen(pen(QColor(80, 85, 100), 2.6));
            p.drawLine(QPointF(3, 13), QPointF(10, 6));
            p.setPen(pen(QColor(80, 85, 100), 1.2));
            p.setBrush(QColor(170, 175, 190));
            p.drawEllipse(QRectF(8.5, 1.5, 6, 6));
            p.setBrush(Qt::transparent);
            p.setPen(Qt::NoPen);
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.drawRect(QRectF(11, 1, 4, 3.5));
        },
    };
}

// Toolbar 176 of the tools customization dialog: new tool, delete tool.
std::vector<Draw> toolsToolbar()
{
    return {
        [](QPainter &p) {
            page(p);
            badgeCircle(p, kGreen, QRectF(0.5, 8.5, 7, 7));
            p.setPen(pen(Qt::white, 1.4));
            p.drawLine(QPointF(4, 10), QPointF(4, 14));
            p.drawLine(QPointF(2, 12), QPointF(6, 12));
        },
        [](QPainter &p) { cross(p, QRectF(3, 3, 10, 10), kRed, 2.6); },
    };
}

QImage strip(const std::vector<Draw> &draws, int size = 16)
{
    QImage image(size * int(draws.size()), size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    for (std::size_t i = 0; i < draws.size(); ++i) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(size * qreal(i), 0);
        p.setClipRect(QRectF(0, 0, size, size));
        // The pictures are drawn on a 16-unit grid; larger strips are the same drawing scaled,
        // for screens with more than one device pixel a logical pixel.
        p.scale(size / 16.0, size / 16.0);
        draws[i](p);
    }
    return image;
}

// The emblem: a server with two folders; used scaled in the header, splash and icon.
void emblem(QPainter &p, QRectF r)
{
    p.save();
    p.translate(r.topLeft());
    p.scale(r.width() / 16.0, r.height() / 16.0);
    server(p, QColor(60, 200, 80));
    p.translate(6, 6);
    p.scale(0.6, 0.6);
    folderOpen(p);
    p.restore();
}

QImage header()
{
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    emblem(p, QRectF(2, 2, 60, 60));
    return image;
}

QImage icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    emblem(p, QRectF(0, 0, size, size));
    return image;
}

QImage splash(const QString &subtitle = QStringLiteral("Files under version control"))
{
    QImage image(440, 260, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 260);
    g.setColorAt(0, QColor(34, 72, 140));
    g.setColorAt(1, QColor(18, 38, 80));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int x = -260; x < 440; x += 18)
        p.drawLine(x, 260, x + 260, 0);
    emblem(p, QRectF(36, 70, 120, 120));
    p.setPen(Qt::white);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(40);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(170, 90, 260, 50), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Ravelind"));
    f.setPixelSize(14);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(200, 215, 240));
    p.drawText(QRectF(172, 140, 260, 24), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    p.drawText(QRectF(172, 222, 260, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quellvane"));
    return image;
}

QImage tipsBulb()
{
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(20, 14), 20);
    g.setColorAt(0, QColor(255, 250, 200));
    g.setColorAt(1, QColor(250, 200, 40));
    p.setPen(pen(QColor(170, 120, 20), 1.5));
    p.setBrush(g);
    QPainterPath bulb;
    bulb.addEllipse(QRectF(10, 4, 28, 28));
    QPainterPath neck;
    neck.addRect(QRectF(17, 24, 14, 10));
    p.drawPath(bulb.united(neck));
    p.setPen(pen(QColor(90, 90, 100), 1.2));
    p.setBrush(QColor(170, 175, 185));
    p.drawRoundedRect(QRectF(17, 34, 14, 8), 2, 2);
    p.drawLine(QPointF(17, 38), QPointF(31, 38));
    p.setPen(pen(QColor(200, 140, 20), 1.2));
    p.drawPolyline(QPolygonF{{20, 26}, {22, 18}, {24, 24}, {26, 18}, {28, 26}});
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--splash")
        return splash(QString::fromLocal8Bit(argv[3])).save(QString::fromLocal8Bit(argv[2])) ? 0
                                                                                             : 1;
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    bool ok = strip(smallImages()).save(out.filePath(QStringLiteral("133.png")));
    ok = strip(mainToolbar()).save(out.filePath(QStringLiteral("toolbar128.png"))) && ok;
    ok = strip(toolsToolbar()).save(out.filePath(QStringLiteral("toolbar176.png"))) && ok;
    ok = header().save(out.filePath(QStringLiteral("149.png"))) && ok;
    ok = splash().save(out.filePath(QStringLiteral("114.png"))) && ok;
    ok = tipsBulb().save(out.filePath(QStringLiteral("102.png"))) && ok;
    ok = icon(16).save(out.filePath(QStringLiteral("icon128-16.png"))) && ok;
    ok = icon(48).save(out.filePath(QStringLiteral("icon128-48.png"))) && ok;
    // Twice the size, for a device pixel ratio of 2 (the module picks them by the "@2x" name).
    ok = strip(smallImages(), 32).save(out.filePath(QStringLiteral("133@2x.png"))) && ok;
    ok = strip(mainToolbar(), 32).save(out.filePath(QStringLiteral("toolbar128@2x.png"))) && ok;
    ok = strip(toolsToolbar(), 32).save(out.filePath(QStringLiteral("toolbar176@2x.png"))) && ok;
    ok = icon(32).save(out.filePath(QStringLiteral("icon128-16@2x.png"))) && ok;
    ok = icon(96).save(out.filePath(QStringLiteral("icon128-48@2x.png"))) && ok;
    if (argc > 2) {
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString folder = QStringLiteral("%1x%1/apps").arg(size);
            ok = theme.mkpath(folder) && ok;
            ok = icon(size).save(theme.filePath(folder + QStringLiteral("/ravelind.png"))) && ok;
        }
    }
    return ok ? 0 : 1;
}
