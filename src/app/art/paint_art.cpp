// vkdc-art: paints the program's pictures at build time, so that none is taken from
// elsewhere. Usage: vkdc-art [--windows] OUTPUT_FOLDER. Writes the launcher banner (424 x 104),
// the two converter banners (361 x 56) and the program icon in every size the windows and the
// desktop use, as PNG files; with --windows also the banners as .bmp and the icon sizes as one
// vkdc.ico, which the Windows build compiles into its resources. Needs no display: run it with
// QT_QPA_PLATFORM=offscreen.
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "windows_files.h"

#include <algorithm>
#include <cstdio>

namespace {

const QColor kDeep(0x0b, 0x3c, 0x5d);
const QColor kSea(0x1d, 0x7f, 0x9e);
const QColor kFoam(0xe8, 0xf4, 0xf8);
const QColor kAmber(0xf2, 0xa6, 0x1f);

QFont artFont(qreal pixels, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans Arabic UI"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(qRound(pixels));
    font.setBold(bold);
    return font;
}

// The largest font up to `pixels` high in which `text` fits `width`.
QFont fittedFont(const QString& text, qreal pixels, bool bold, qreal width) {
    QFont font = artFont(pixels, bold);
    while (font.pixelSize() > 8 && QFontMetricsF(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

// A database drum: three stacked discs, in `box`.
void paintDrum(QPainter& p, const QRectF& box, const QColor& body, const QColor& rim) {
    const qreal w = box.width();
    const qreal cap = box.height() * 0.22;  // height of the elliptic top
    const qreal step = (box.height() - cap) / 3.0;
    for (int i = 2; i >= 0; --i) {
        const qreal top = box.top() + i * step;
        QPainterPath slice;
        slice.moveTo(box.left(), top + cap / 2);
        slice.lineTo(box.left(), top + step + cap / 2);
        slice.arcTo(QRectF(box.left(), top + step, w, cap), 180, 180);
        slice.lineTo(box.right(), top + cap / 2);
        slice.closeSubpath();
        QLinearGradient shade(box.left(), 0, box.right(), 0);
        shade.setColorAt(0, body.darker(125));
        shade.setColorAt(0.45, body.lighter(120));
        shade.setColorAt(1, body.darker(140));
        p.setPen(QPen(rim, std::max<qreal>(0.6, w / 40)));
        p.setBrush(shade);
        p.drawPath(slice);
        p.drawEllipse(QRectF(box.left(), top, w, cap));
    }
    p.setBrush(body.lighter(135));
    p.drawEllipse(QRectF(box.left(), box.top(), w, cap));
}

// An upward arrow: the file moves to a newer version.
void paintArrow(QPainter& p, const QRectF& box, const QColor& colour) {
    QPainterPath arrow;
    const qreal cx = box.center().x();
    const qreal shaft = box.width() * 0.34;
    arrow.moveTo(cx, box.top());
    arrow.lineTo(box.right(), box.top() + box.height() * 0.5);
    arrow.lineTo(cx + shaft / 2, box.top() + box.height() * 0.5);
    arrow.lineTo(cx + shaft / 2, box.bottom());
    arrow.lineTo(cx - shaft / 2, box.bottom());
    arrow.lineTo(cx - shaft / 2, box.top() + box.height() * 0.5);
    arrow.lineTo(box.left(), box.top() + box.height() * 0.5);
    arrow.closeSubpath();
    p.setPen(QPen(colour.darker(160), std::max<qreal>(0.6, box.width() / 20)));
    p.setBrush(colour);
    p.drawPath(arrow);
}

QImage paintIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QRadialGradient ground(s * 0.3, s * 0.25, s);
    ground.setColorAt(0, kSea.lighter(130));
    ground.setColorAt(1, kDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    paintDrum(p, QRectF(s * 0.12, s * 0.2, s * 0.5, s * 0.66), kFoam, kDeep);
    paintArrow(p, QRectF(s * 0.58, s * 0.12, s * 0.34, s * 0.5), kAmber);
    return image;
}

QLinearGradient bannerGround(const QSize& size) {
    QLinearGradient ground(0, 0, size.width(), size.height());
    ground.setColorAt(0, kDeep);
    ground.setColorAt(0.7, kSea);
    ground.setColorAt(1, kSea.lighter(125));
    return ground;
}

// Faint rows of a table, drifting across the banner's right side.
void paintRows(QPainter& p, const QSize& size) {
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int y = 6; y < size.height(); y += 9) {
        const int x = size.width() / 2 + (y * 7) % 23;
        p.drawLine(x, y, size.width() - 6, y);
    }
}

QImage paintLauncherBanner() {
    const QSize size(424, 104);
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(image.rect(), bannerGround(size));
    paintRows(p, size);
    paintDrum(p, QRectF(18, 16, 52, 72), kFoam, kDeep);
    paintArrow(p, QRectF(62, 12, 30, 42), kAmber);

    p.setPen(Qt::white);
    const QString title = QStringLiteral("Velkor Database Convert");
    p.setFont(fittedFont(title, 24, true, 300));
    p.drawText(QRectF(108, 14, 310, 34), Qt::AlignLeft | Qt::AlignVCenter, title);
    p.setPen(kFoam);
    p.setFont(artFont(15, false));
    p.drawText(QRectF(108, 54, 300, 34), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("تبديل بانک اطلاعات ولکور"));
    return image;
}

QImage paintConverterBanner(const QString& from, const QString& to, const QString& persian) {
    const QSize size(361, 56);
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(image.rect(), bannerGround(size));
    paintRows(p, size);
    paintDrum(p, QRectF(10, 8, 30, 42), kFoam, kDeep);
    paintArrow(p, QRectF(36, 6, 18, 26), kAmber);

    p.setPen(Qt::white);
    p.setFont(artFont(19, true));
    p.drawText(QRectF(64, 4, 150, 48), Qt::AlignLeft | Qt::AlignVCenter,
               from + QStringLiteral(" \u2192 ") + to);
    p.setPen(kFoam);
    p.setFont(fittedFont(persian, 13, false, 168));
    p.drawText(QRectF(180, 4, 172, 48), Qt::AlignRight | Qt::AlignVCenter, persian);
    return image;
}

bool checked(bool written, const QString& path) {
    if (!written)
        std::fprintf(stderr, "vkdc-art: cannot write %s\n", qPrintable(path));
    return written;
}

bool save(const QImage& image, const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    return checked(image.save(path, "PNG"), path);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const bool windows = argc == 3 && qstrcmp(argv[1], "--windows") == 0;
    if (argc != 2 && !windows) {
        std::fprintf(stderr, "usage: vkdc-art [--windows] OUTPUT_FOLDER\n");
        return 2;
    }
    const char* out = argv[argc - 1];
    QDir folder(QString::fromLocal8Bit(out));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "vkdc-art: cannot create %s\n", out);
        return 1;
    }
    const struct {
        QImage image;
        QString name;
    } banners[] = {
        {paintLauncherBanner(), QStringLiteral("banner-main")},
        {paintConverterBanner(QStringLiteral("1.0"), QStringLiteral("2.0"),
                              QStringLiteral("تبديل بانک نسخه 1 به نسخه 2")),
         QStringLiteral("banner-vkdc12")},
        {paintConverterBanner(QStringLiteral("2.0"), QStringLiteral("3.0"),
                              QStringLiteral("تبديل بانک نسخه 2 به نسخه 3")),
         QStringLiteral("banner-vkdc23")},
    };
    bool ok = true;
    for (const auto& banner : banners) {
        ok &= save(banner.image, folder, banner.name + QStringLiteral(".png"));
        if (windows) {
            const QString bmp = folder.filePath(banner.name + QStringLiteral(".bmp"));
            ok &= checked(art::saveBmp(banner.image, bmp), bmp);
        }
    }
    QList<QImage> icons;
    for (int size : {16, 24, 32, 48, 128, 189, 256}) {
        icons.append(paintIcon(size));
        ok &= save(icons.back(), folder, QStringLiteral("vkdc-%1.png").arg(size));
    }
    if (windows) {
        // Windows picks among these by the size it needs: the title bars, the task bar,
        // Explorer's views.
        icons.removeIf([](const QImage& icon) { return icon.width() == 128; });
        const QString ico = folder.filePath(QStringLiteral("vkdc.ico"));
        ok &= checked(art::saveIco(icons, ico), ico);
    }
    return ok ? 0 : 1;
}
