// The window that announces a newer version: sound, version number, download and close.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <functional>

#include "update/update_client.h"

namespace update {

// Modal, always on top, 533 × 281, dragged by its background; Esc does not close it. On
// creation it starts its chime, loads the release-notes page into a hidden page view and shows
// the newer version's number. "关闭" ends the program when the update is forced (else closes);
// "点击下载" opens the download address (http and https only) and ends the program.
class NewVersionWindow : public QDialog {
  Q_OBJECT
 public:
  NewVersionWindow(UpdateClient& client, std::function<void(int exit_code)> end_program,
                   QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void close_pressed();
  void download_pressed();

  UpdateClient& client_;
  std::function<void(int exit_code)> end_program_;
  QImage background_;
  QWidget* close_label_ = nullptr;
  QWidget* download_label_ = nullptr;
  QPoint drag_offset_;  // from the pointer to the window's corner while dragging
};

}  // namespace update
