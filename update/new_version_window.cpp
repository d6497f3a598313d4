#include "update/new_version_window.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSoundEffect>
#include <QUrl>
#include <QWebEngineView>
#include <utility>

#include "ui/control_table.h"
#include "ui/jpeg_image.h"
#include "ui/open_address.h"
#include "ui/silent_web_page.h"
#include "ui/web_address.h"

// The window's picture and sound live in a static library: register them before first use.
// Q_INIT_RESOURCE must be expanded outside any namespace.
static void register_update_resources() { Q_INIT_RESOURCE(update); }

namespace update {
namespace {

const QString kBackground = QStringLiteral(":/update/new_version_background.jpg");
const QUrl kChime(QStringLiteral("qrc:/update/new_version_chime.wav"));

constexpr QColor kTitleColor{255, 111, 97};
constexpr QColor kCloseColor{88, 108, 128};
constexpr QColor kDownloadColor{232, 76, 61};
constexpr QColor kVersionColor{40, 90, 160};

// The window's controls by layout name.
constexpr ui::ControlName kTitleLabel{"透明标签6"};
constexpr ui::ControlName kCloseLabel{"透明标签3"};
constexpr ui::ControlName kDownloadLabel{"透明标签2"};
constexpr ui::ControlName kVersionCaption{"透明标签1"};
constexpr ui::ControlName kVersionLabel{"升级模块_标签1"};
constexpr ui::ControlName kNotesView{"超文本浏览框1"};

const ui::ControlTable& window_layout() {
  using ui::ControlKind;
  using ui::kClientArea;
  const QString yahei = QStringLiteral("微软雅黑");
  // clang-format off
  static const ui::ControlTable table{
      {kTitleLabel,     ControlKind::TransparentLabel, kClientArea, {-32, 8, 368, 160}, "啊呜~有新版本啦~", {"方正喵呜体", 32, true}, kTitleColor},
      {kCloseLabel,     ControlKind::TransparentLabel, kClientArea, {80, 176, 160, 64}, "关闭",             {yahei, 21, true},        kCloseColor},
      {kDownloadLabel,  ControlKind::TransparentLabel, kClientArea, {312, 176, 160, 64}, "点击下载",        {yahei, 21, true},        kDownloadColor},
      {kVersionCaption, ControlKind::TransparentLabel, kClientArea, {328, 16, 104, 24}, "版本：",           {},                       kVersionColor},
      {kVersionLabel,   ControlKind::Label,            kClientArea, {432, 16, 70, 24},  "1.0",              {yahei, 16, false},       kVersionColor},
  };
  // clang-format on
  return table;
}

}  // namespace

NewVersionWindow::NewVersionWindow(NewVersion shown, std::function<void(int exit_code)> end_program,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      shown_(std::move(shown)),
      end_program_(std::move(end_program)) {
  static const bool resources_registered = (register_update_resources(), true);
  Q_UNUSED(resources_registered);

  setWindowTitle(QStringLiteral("有新的版本啦 --腕舟助手"));
  resize(533, 281);
  background_ = ui::load_jpeg(kBackground);

  const ui::Controls controls = ui::build_controls(this, window_layout());
  // The big labels centre their text, so the title that starts left of the window stays whole;
  // "版本：" sits on one line with the version number.
  for (const ui::ControlName name : {kTitleLabel, kCloseLabel, kDownloadLabel})
    controls.get<QLabel>(name).setAlignment(Qt::AlignCenter);
  controls.get<QLabel>(kVersionCaption).setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  close_label_ = &controls.get<QLabel>(kCloseLabel);
  download_label_ = &controls.get<QLabel>(kDownloadLabel);
  QLabel& version_label = controls.get<QLabel>(kVersionLabel);
  for (QWidget* label : {close_label_, download_label_}) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
  }

  // The release-notes page is loaded but never shown: the view lies hidden outside the window,
  // and its page raises no dialog of any kind.
  auto* notes_view = new QWebEngineView(this);
  notes_view->setObjectName(kNotesView.text());
  notes_view->setPage(new ui::SilentWebPage(notes_view));
  notes_view->setGeometry(-232, 304, 360, 200);
  notes_view->hide();

  // Played once; nothing waits for it, and without an audio device it is silently skipped.
  auto* chime = new QSoundEffect(this);
  chime->setSource(kChime);
  chime->play();

  notes_view->setUrl(QUrl(shown_.notes_address));
  version_label.setText(shown_.version);
}

bool NewVersionWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == close_label_) {
      close_pressed();
      return true;
    }
    if (watched == download_label_) {
      download_pressed();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void NewVersionWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, background_);
}

void NewVersionWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();  // Esc does not close this window
    return;
  }
  QDialog::keyPressEvent(event);
}

void NewVersionWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  drag_offset_ = event->globalPosition().toPoint() - pos();
  event->accept();
}

void NewVersionWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) {
    QDialog::mouseMoveEvent(event);
    return;
  }
  move(event->globalPosition().toPoint() - drag_offset_);
  event->accept();
}

void NewVersionWindow::close_pressed() {
  if (acted_) return;
  acted_ = true;
  if (shown_.forced) end_program_(0);
  close();
}

void NewVersionWindow::download_pressed() {
  if (acted_) return;
  acted_ = true;
  // The address comes from the network: only an absolute web address reaches the browser.
  if (ui::is_web_address(shown_.download_address)) ui::open_address(shown_.download_address);
  end_program_(0);
  close();
}

}  // namespace update
