// JPEG pictures decoded with libjpeg into QImage.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace ui {

// Decodes JPEG bytes into an RGB image. Bad or truncated bytes give a null image, never a crash.
QImage decode_jpeg(const QByteArray& bytes);

// Reads a JPEG file or Qt resource (":/...") and decodes it; a null image when it cannot.
QImage load_jpeg(const QString& path);

}  // namespace ui
