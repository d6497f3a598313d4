// The window that announces a newer version: sound, version number, download and close.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QString>
#include <functional>

namespace update {

// What the new-version window shows and acts on (the update client's answers, as copies).
struct NewVersion {
  QString version;           // shown in 升级模块_标签1
  QString notes_address;     // the release-notes page, loaded unseen
  QString download_address;  // opened by "点击下载" when it is a web address
  bool forced = false;       // "关闭" ends the program
};

// Modal, always on top, 533 × 281, dragged by its background; Esc does not close it. On
// creation it starts its chime, loads the release-notes page into a hidden, silent page view and
// shows the newer version's number. "关闭" ends the program when the update is forced (else
// closes); "点击下载" opens the download address (absolute http and https addresses only) and
// ends the program. Ending the program is the caller's `end_program`, called at most once: after
// the first action the labels do nothing more.
class NewVersionWindow : public QDialog {
  Q_OBJECT
 public:
  NewVersionWindow(NewVersion shown, std::function<void(int exit_code)> end_program,
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

  const NewVersion shown_;
  const std::function<void(int exit_code)> end_program_;
  bool acted_ = false;  // a label has acted; the window is on its way out
  QImage background_;
  QWidget* close_label_ = nullptr;
  QWidget* download_label_ = nullptr;
  QPoint drag_offset_;  // from the pointer to the window's corner while dragging
};

}  // namespace update
