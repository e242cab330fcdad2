// The Windows build's forms of the pictures vkdc-art paints: a resource compiler takes
// bitmaps (.bmp) and icon files (.ico), not PNG.
#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace art {

// `image` as a 24-bit BMP file (an opaque banner).
bool saveBmp(const QImage& image, const QString& path);

// One .ico of `images` (square, 1 to 256 pixels): 32-bit images with their transparency mask,
// the 256-pixel one PNG-compressed as Windows keeps it.
bool saveIco(const QList<QImage>& images, const QString& path);

}  // namespace art
