#include "windows_files.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QtEndian>

namespace art {
namespace {

void put16(QByteArray& out, quint16 value) {
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, quint32 value) {
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// An icon image as Windows stores it: a BITMAPINFOHEADER of twice the height, the colour
// rows (BGRA, bottom row first), then the 1-bit mask of transparent pixels.
QByteArray dibIconImage(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width();
    const int h = image.height();
    const int mask_stride = ((w + 31) / 32) * 4;
    QByteArray out;
    put32(out, 40);
    put32(out, w);
    put32(out, h * 2);
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);  // BI_RGB
    put32(out, w * h * 4 + mask_stride * h);
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            put32(out, row[x]);  // 0xAARRGGBB: B, G, R, A in little-endian order
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray mask(mask_stride, '\0');
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            if (qAlpha(row[x]) == 0)
                mask[x / 8] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(mask);
    }
    return out;
}

}  // namespace

bool saveBmp(const QImage& image, const QString& path) {
    return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

bool saveIco(const QList<QImage>& images, const QString& path) {
    QList<QByteArray> data;
    for (const QImage& image : images) {
        if (image.width() == 256) {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG"))
                return false;
            data.append(png);
        } else {
            data.append(dibIconImage(image));
        }
    }
    QByteArray out;
    put16(out, 0);
    put16(out, 1);  // an icon
    put16(out, static_cast<quint16>(images.size()));
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out.append(static_cast<char>(size >= 256 ? 0 : size));  // 0 stands for 256
        out.append(static_cast<char>(size >= 256 ? 0 : size));
        out.append('\0');  // no palette
        out.append('\0');
        put16(out, 1);
        put16(out, 32);
        put32(out, static_cast<quint32>(data[i].size()));
        put32(out, offset);
        offset += static_cast<quint32>(data[i].size());
    }
    for (const QByteArray& image : data)
        out.append(image);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

}  // namespace art
