#include "ui/jpeg_image.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace ui {
namespace {

// Pictures larger than this are refused before any pixel memory is taken.
constexpr unsigned long kMaxPixels = 1UL << 26;

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back into
// decode_into. Warnings (corrupt or truncated data) are counted, never printed.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void jump_back(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void keep_quiet(j_common_ptr) {}

// Owns one libjpeg decompressor and its error manager.
class Decompressor {
 public:
  Decompressor() {
    info_.err = jpeg_std_error(&errors_.base);
    errors_.base.error_exit = jump_back;
    errors_.base.output_message = keep_quiet;
  }
  ~Decompressor() { jpeg_destroy_decompress(&info_); }  // safe on a never-created decompressor
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct* info() { return &info_; }
  std::jmp_buf& jump() { return errors_.jump; }

 private:
  ErrorManager errors_{};
  jpeg_decompress_struct info_{};
};

// Decodes into image; false on any libjpeg error or warning. No local here has a destructor, so
// the jump back from error_exit leaves nothing behind; the decompressor is released by its owner.
bool decode_into(Decompressor& decompressor, const QByteArray& bytes, QImage& image) {
  jpeg_decompress_struct* info = decompressor.info();
  if (setjmp(decompressor.jump())) return false;
  jpeg_create_decompress(info);
  jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) return false;
  if (static_cast<unsigned long>(info->image_width) * info->image_height > kMaxPixels) return false;
  info->out_color_space = JCS_RGB;
  jpeg_start_decompress(info);
  image = QImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height),
                 QImage::Format_RGB888);
  if (image.isNull() || info->output_components != 3) return false;
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = image.scanLine(static_cast<int>(info->output_scanline));
    jpeg_read_scanlines(info, &row, 1);
  }
  jpeg_finish_decompress(info);
  return info->err->num_warnings == 0;
}

}  // namespace

QImage decode_jpeg(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  QImage image;
  Decompressor decompressor;
  if (!decode_into(decompressor, bytes, image)) return {};
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage load_jpeg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return decode_jpeg(file.readAll());
}

}  // namespace ui
