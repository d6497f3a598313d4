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
#include "ui/text_qt.h"

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

const ui::ControlTable& window_layout() {
  using ui::ControlKind;
  static const ui::ControlTable table{
      {"透明标签6",
       ControlKind::TransparentLabel,
       {},
       {-32, 8, 368, 160},
       "啊呜~有新版本啦~",
       {"方正喵呜体", 32, true},
       kTitleColor},
      {"透明标签3",
       ControlKind::TransparentLabel,
       {},
       {80, 176, 160, 64},
       "关闭",
       {"微软雅黑", 21, true},
       kCloseColor},
      {"透明标签2",
       ControlKind::TransparentLabel,
       {},
       {312, 176, 160, 64},
       "点击下载",
       {"微软雅黑", 21, true},
       kDownloadColor},
      {"透明标签1",
       ControlKind::TransparentLabel,
       {},
       {328, 16, 104, 24},
       "版本：",
       {},
       kVersionColor},
      {"升级模块_标签1",
       ControlKind::Label,
       {},
       {432, 16, 70, 24},
       "1.0",
       {"微软雅黑", 16, false},
       kVersionColor},
  };
  return table;
}

// Only web addresses go to the browser: the address comes from the network.
bool is_web_address(const QString& address) {
  const QUrl url(address, QUrl::StrictMode);
  return url.isValid() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

}  // namespace

NewVersionWindow::NewVersionWindow(UpdateClient& client,
                                   std::function<void(int exit_code)> end_program, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      client_(client),
      end_program_(std::move(end_program)) {
  static const bool resources_registered = (register_update_resources(), true);
  Q_UNUSED(resources_registered);

  setWindowTitle(QStringLiteral("有新的版本啦 --腕舟助手"));
  resize(533, 281);
  background_ = ui::load_jpeg(kBackground);

  const QHash<QString, QWidget*> controls = ui::build_controls(this, window_layout());
  // The big labels centre their text, so the title that starts left of the window stays whole;
  // "版本：" sits on one line with the version number.
  for (const char* name : {"透明标签6", "透明标签3", "透明标签2"})
    static_cast<QLabel*>(controls.value(QString::fromUtf8(name)))->setAlignment(Qt::AlignCenter);
  static_cast<QLabel*>(controls.value(QStringLiteral("透明标签1")))
      ->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  close_label_ = controls.value(QStringLiteral("透明标签3"));
  download_label_ = controls.value(QStringLiteral("透明标签2"));
  for (QWidget* label : {close_label_, download_label_}) {
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
  }

  // The release-notes page is loaded but never shown: the view lies hidden outside the window.
  auto* notes_view = new QWebEngineView(this);
  notes_view->setObjectName(QStringLiteral("超文本浏览框1"));
  notes_view->setGeometry(-232, 304, 360, 200);
  notes_view->hide();

  // Played once; nothing waits for it, and without an audio device it is silently skipped.
  auto* chime = new QSoundEffect(this);
  chime->setSource(kChime);
  chime->play();

  notes_view->setUrl(QUrl(ui::to_qstring(client_.notes_page_address())));
  static_cast<QLabel*>(controls.value(QStringLiteral("升级模块_标签1")))
      ->setText(ui::to_qstring(client_.get_new_version()));
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
  if (client_.get_forced()) end_program_(0);
  close();
}

void NewVersionWindow::download_pressed() {
  if (const QString address = ui::to_qstring(client_.get_download_address());
      is_web_address(address))
    ui::open_address(address);
  end_program_(0);
  close();
}

}  // namespace update
