#include "app/main_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWebEngineView>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/link_catalogue.h"
#include "app/main_window_layout.h"
#include "app/page_view.h"
#include "app/points_claim.h"
#include "app/program_version.h"
#include "ui/digits_validator.h"
#include "ui/fixed_frame.h"
#include "ui/hyperlink_label.h"
#include "ui/open_address.h"
#include "ui/text_qt.h"
#include "ui/window_opening.h"
#include "update/check_for_update.h"

namespace app {
namespace {

template <class Control>
Control* control(QWidget* window, const char* name) {
  return window->findChild<Control*>(QString::fromUtf8(name));
}

// Each entry box and drop-down list has the label beside it as its buddy, so assistive
// technology names the field after the label and reports which label describes it.
void label_fields(QWidget* window) {
  const std::pair<const char*, const char*> fields[] = {
      {"透明标签5", "编辑框1"},      {"透明标签14", "编辑框3"},     {"透明标签15", "编辑框4"},
      {"透明标签7", "代码区组合框"}, {"透明标签8", "系统区组合框"}, {"透明标签11", "软件区组合框"}};
  for (const auto& [label, field] : fields)
    control<QLabel>(window, label)->setBuddy(control<QWidget>(window, field));
}

}  // namespace

MainWindow::MainWindow(const MakerValues& values, Program& program, QWidget* parent)
    : QMainWindow(parent), values_(values), program_(program) {
  setWindowTitle(QStringLiteral("栎湾腕舟助手"));
  create_menu();
  create_pages();
  connect_side_buttons();
  connect_catalogue();
  ui::set_fixed_frame(
      this, {kMainClientSize.width(), kMainClientSize.height() + menuBar()->sizeHint().height()},
      ui::TitleButtons::MinimizeAndClose);
  ui::close_on_escape(this);
  on_created();
}

void MainWindow::create_menu() {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("关于软件"));
  menu->addAction(QStringLiteral("小天才协议"), this, [] { ui::open_modeless<AgreementWindow>(); });
  menu->addAction(QStringLiteral("官方Q群"), this, [this] {
    ui::open_address(QStringLiteral("https://qm.qq.com/cgi-bin/qm/qr?k=%1&jump_from=webapi")
                         .arg(QString::fromStdString(values_.qq_group_key)));
  });
  menu->addAction(QStringLiteral("软件说明"), this,
                  [this] { ui::open_modeless<AboutWindow>(values_); });
}

void MainWindow::create_pages() {
  auto* client = new QWidget(this);
  client->setFixedSize(kMainClientSize);
  setCentralWidget(client);

  pages_ = new QTabWidget(client);
  pages_->setObjectName(QStringLiteral("高级选择夹1"));
  pages_->setGeometry(kTabControlPlace);
  pages_->setDocumentMode(true);
  // Pages change only through the side buttons. The hidden tab bar must not be a Tab stop either:
  // Tab would land on it and go nowhere.
  pages_->tabBar()->hide();
  pages_->tabBar()->setFocusPolicy(Qt::NoFocus);
  QHash<QString, QWidget*> containers;
  for (int index = 0; index < kPageCount; ++index) {
    auto* page = new QWidget;
    page->setObjectName(page_name(index));
    pages_->addTab(page, QString::number(index + 1));
    containers.insert(page_name(index), page);
  }
  pages_->setCurrentIndex(4);  // the layout's own initial page; the creation handler selects 0

  ui::build_controls(client, main_window_controls(values_), containers);
  label_fields(this);

  control<ui::HyperlinkLabel>(this, "超级链接框1")
      ->set_address(ui::HyperlinkLabel::Kind::Mail, QString::fromStdString(values_.mailbox));
  control<ui::HyperlinkLabel>(this, "超级链接框3")
      ->set_address(ui::HyperlinkLabel::Kind::Web,
                    "http://" + QString::fromStdString(values_.download_site_host));
  control<ui::HyperlinkLabel>(this, "超级链接框2")
      ->set_address(ui::HyperlinkLabel::Kind::Web,
                    "http://" + QString::fromStdString(values_.help_site_host));
  for (const char* name : {"编辑框1", "编辑框3", "编辑框4"}) {
    auto* entry = control<QLineEdit>(this, name);
    entry->setValidator(new ui::DigitsValidator(entry));
  }
  new PointsClaim(containers.value(page_name(2)), values_, program_.verification_code());

  auto* view = new QWebEngineView(containers.value(page_name(4)));
  view->setObjectName(QStringLiteral("超文本浏览框1"));
  view->setAccessibleName(
      QStringLiteral("软件大全"));  // the page the side button of that name shows
  view->setGeometry(kPageViewPlace);
  setup_page_view(view, QString::fromStdString(values_.share_address()));
}

void MainWindow::connect_side_buttons() {
  const std::pair<const char*, int> buttons[] = {
      {"超级按钮1", 0}, {"超级按钮2", 1}, {"超级按钮4", 2}, {"超级按钮5", 4}, {"超级按钮3", 3}};
  for (const auto& [name, page] : buttons) {
    connect(control<QPushButton>(this, name), &QPushButton::clicked, pages_,
            [pages = pages_, page = page] { pages->setCurrentIndex(page); });
  }
}

void MainWindow::connect_catalogue() {
  const auto wire = [this](const char* button, const char* list, std::vector<CatalogueRow> rows) {
    QComboBox* combo = control<QComboBox>(this, list);
    for (const CatalogueRow& row : rows) combo->addItem(row.item);
    combo->setCurrentIndex(-1);
    connect(control<QPushButton>(this, button), &QPushButton::clicked, combo,
            [combo, rows = std::move(rows)] { open_selected_row(*combo, rows); });
  };
  wire("按钮1", "代码区组合框", tutorial_rows());
  wire("按钮2", "系统区组合框", system_image_rows());
  wire("按钮3", "软件区组合框", software_rows(values_));
}

void MainWindow::on_created() {
  pages_->setCurrentIndex(0);
  update::check_for_update(program_.update_client(), values_.app_id, kProgramVersion, true,
                           [this](int exit_code) { program_.end_program(exit_code); });
}

}  // namespace app
