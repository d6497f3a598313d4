// Decoding JPEG bytes into QImage: good pictures, bad bytes, files.
#include "ui/jpeg_image.h"

#include <QBuffer>
#include <QColor>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// JPEG bytes of a picture, written by Qt's own encoder so the decoder is checked against another.
QByteArray encode(const QImage& image, int quality = 95) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "JPG", quality));
  return bytes;
}

QImage four_colours(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.setPixel(x, y,
                     y < height / 2 ? (x < width / 2 ? qRgb(220, 30, 30) : qRgb(30, 200, 40))
                                    : (x < width / 2 ? qRgb(20, 40, 210) : qRgb(250, 250, 250)));
  return image;
}

void expect_close(QRgb actual, QRgb expected) {
  EXPECT_NEAR(qRed(actual), qRed(expected), 12);
  EXPECT_NEAR(qGreen(actual), qGreen(expected), 12);
  EXPECT_NEAR(qBlue(actual), qBlue(expected), 12);
}

TEST(JpegImage, DecodesColourPictureAtItsSize) {
  const QImage image = ui::decode_jpeg(encode(four_colours(96, 64)));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(96, 64));
  expect_close(image.pixel(10, 10), qRgb(220, 30, 30));
  expect_close(image.pixel(80, 10), qRgb(30, 200, 40));
  expect_close(image.pixel(10, 50), qRgb(20, 40, 210));
  expect_close(image.pixel(80, 50), qRgb(250, 250, 250));
}

TEST(JpegImage, DecodesGreyPictureAsRgb) {
  QImage grey(40, 30, QImage::Format_Grayscale8);
  grey.fill(QColor(128, 128, 128));
  const QImage image = ui::decode_jpeg(encode(grey));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(40, 30));
  expect_close(image.pixel(20, 15), qRgb(128, 128, 128));
}

TEST(JpegImage, BadBytesGiveNullImage) {
  const QByteArray good = encode(four_colours(64, 64));
  QByteArray no_image_data = good;
  no_image_data.truncate(good.indexOf("\xFF\xDA"));  // headers only, up to the start of scan
  QByteArray huge = good;
  const qsizetype frame =
      huge.indexOf("\xFF\xC0");  // baseline frame: height and width at +5 and +7
  ASSERT_GT(frame, 0);
  huge[frame + 5] = huge[frame + 6] = huge[frame + 7] = huge[frame + 8] = '\xFF';

  const struct {
    const char* name;
    QByteArray bytes;
  } cases[] = {
      {"empty", {}},
      {"text", "this is not a picture"},
      {"start marker only", "\xFF\xD8"},
      {"headers without scan", no_image_data},
      {"cut in the middle of the scan", good.left(good.size() / 2)},
      {"65535 x 65535 claimed", huge},
  };
  for (const auto& test : cases) EXPECT_TRUE(ui::decode_jpeg(test.bytes).isNull()) << test.name;
}

TEST(JpegImage, ScrambledBytesNeverCrash) {
  const QByteArray good = encode(four_colours(48, 48));
  QRandomGenerator random(20240607);
  for (int round = 0; round < 400; ++round) {
    QByteArray bytes = good;
    const int changes = 1 + random.bounded(8);
    for (int change = 0; change < changes; ++change)
      bytes[random.bounded(static_cast<int>(bytes.size()))] =
          static_cast<char>(random.bounded(256));
    const QImage image = ui::decode_jpeg(bytes);
    if (!image.isNull()) {
      EXPECT_FALSE(image.size().isEmpty());
    }
  }
}

TEST(JpegImage, LoadsFromFileAndRefusesMissingOne) {
  QTemporaryDir directory;
  ASSERT_TRUE(directory.isValid());
  const QString path = directory.filePath(QStringLiteral("picture.jpg"));
  ASSERT_TRUE(four_colours(20, 10).save(path, "JPG"));
  EXPECT_EQ(ui::load_jpeg(path).size(), QSize(20, 10));
  EXPECT_TRUE(ui::load_jpeg(directory.filePath(QStringLiteral("missing.jpg"))).isNull());
}

}  // namespace
