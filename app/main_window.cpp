#include "app/main_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QWebEngineView>
#include <utility>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/link_catalogue.h"
#include "app/main_window_layout.h"
#include "app/page_view.h"
#include "app/points_claim.h"
#include "ui/digits_validator.h"
#include "ui/fixed_frame.h"
#include "ui/hyperlink_label.h"
#include "ui/open_address.h"
#include "ui/window_opening.h"

namespace app {
namespace {

void create_menu(QMainWindow& window, const MakerValues& values) {
  QMenu* menu = window.menuBar()->addMenu(QStringLiteral("关于软件"));
  menu->addAction(QStringLiteral("小天才协议"), &window,
                  [] { ui::open_modeless<AgreementWindow>(); });
  menu->addAction(QStringLiteral("官方Q群"), &window, [&values] {
    ui::open_address(QStringLiteral("https://qm.qq.com/cgi-bin/qm/qr?k=%1&jump_from=webapi")
                         .arg(QString::fromStdString(values.qq_group_key)));
  });
  menu->addAction(QStringLiteral("软件说明"), &window,
                  [&values] { ui::open_modeless<AboutWindow>(values); });
}

// Each entry box and drop-down list has the label beside it as its buddy, so assistive
// technology names the field after the label and reports which label describes it.
void label_fields(const ui::Controls& controls) {
  const std::pair<ControlName, ControlName> fields[] = {
      {kClaimIdCaption, kClaimIdEntry},        {kClaimCodeCaption, kClaimCodeEntry},
      {kClaimQqCaption, kClaimQqEntry},        {kTutorialCaption, kTutorialList},
      {kSystemImageCaption, kSystemImageList}, {kSoftwareCaption, kSoftwareList}};
  for (const auto& [label, field] : fields)
    controls.get<QLabel>(label).setBuddy(&controls.get<QWidget>(field));
}

void set_addresses(const ui::Controls& controls, const MakerValues& values) {
  controls.get<ui::HyperlinkLabel>(kMakerMailLink)
      .set_address(ui::HyperlinkLabel::Kind::Mail, QString::fromStdString(values.mailbox));
  controls.get<ui::HyperlinkLabel>(kDownloadSiteLink)
      .set_address(ui::HyperlinkLabel::Kind::Web,
                   "http://" + QString::fromStdString(values.download_site_host));
  controls.get<ui::HyperlinkLabel>(kHelpSiteLink)
      .set_address(ui::HyperlinkLabel::Kind::Web,
                   "http://" + QString::fromStdString(values.help_site_host));
}

void connect_side_buttons(const ui::Controls& controls, QTabWidget* pages) {
  const std::pair<ControlName, int> buttons[] = {{kHomePageButton, 0},
                                                 {kTutorialsPageButton, 1},
                                                 {kPointsPageButton, 2},
                                                 {kSoftwarePageButton, 4},
                                                 {kOtherPageButton, 3}};
  for (const auto& [name, page] : buttons) {
    QObject::connect(&controls.get<QPushButton>(name), &QPushButton::clicked, pages,
                     [pages, page = page] { pages->setCurrentIndex(page); });
  }
}

void connect_catalogue(const ui::Controls& controls, const MakerValues& values) {
  const auto wire = [&controls](ControlName button, ControlName list,
                                std::vector<CatalogueRow> rows) {
    QComboBox* combo = &controls.get<QComboBox>(list);
    for (const CatalogueRow& row : rows) combo->addItem(row.item);
    combo->setCurrentIndex(-1);
    QObject::connect(&controls.get<QPushButton>(button), &QPushButton::clicked, combo,
                     [combo, rows = std::move(rows)] { open_selected_row(*combo, rows); });
  };
  wire(kTutorialOpenButton, kTutorialList, tutorial_rows());
  wire(kSystemImageOpenButton, kSystemImageList, system_image_rows());
  wire(kSoftwareOpenButton, kSoftwareList, software_rows(values));
}

}  // namespace

MainWindow::MainWindow(const MakerValues& values, net::Text& verification_code, QWidget* parent)
    : QMainWindow(parent), values_(values) {
  setWindowTitle(QStringLiteral("栎湾腕舟助手"));
  create_menu(*this, values_);

  auto* client = new QWidget(this);
  client->setFixedSize(kMainClientSize);
  setCentralWidget(client);

  pages_ = new QTabWidget(client);
  pages_->setObjectName(kPageTabs.text());
  pages_->setGeometry(kTabControlPlace);
  pages_->setDocumentMode(true);
  // Pages change only through the side buttons. The hidden tab bar must not be a Tab stop either:
  // Tab would land on it and go nowhere.
  pages_->tabBar()->hide();
  pages_->tabBar()->setFocusPolicy(Qt::NoFocus);
  ui::Controls containers;
  for (int index = 0; index < kPageCount; ++index) {
    auto* page = new QWidget;
    page->setObjectName(kPages[index].text());
    pages_->addTab(page, QString::number(index + 1));
    containers.add(kPages[index], page);
  }
  pages_->setCurrentIndex(4);  // the layout's own initial page; the creation handler selects 0

  // Every control the window wires is looked up here, once, and checked.
  const ui::Controls controls =
      ui::build_controls(client, main_window_controls(values_), containers);
  label_fields(controls);
  set_addresses(controls, values_);
  for (const ControlName name : {kClaimIdEntry, kClaimCodeEntry, kClaimQqEntry}) {
    QLineEdit& entry = controls.get<QLineEdit>(name);
    entry.setValidator(new ui::DigitsValidator(&entry));
  }
  new PointsClaim(&controls.get<QWidget>(kPointsPage),
                  {.button = controls.get<QPushButton>(kClaimButton),
                   .claim_id = controls.get<QLineEdit>(kClaimIdEntry),
                   .typed_code = controls.get<QLineEdit>(kClaimCodeEntry),
                   .qq_number = controls.get<QLineEdit>(kClaimQqEntry)},
                  values_, verification_code);

  auto* view = new QWebEngineView(&controls.get<QWidget>(kSoftwarePage));
  view->setObjectName(kPageView.text());
  view->setAccessibleName(
      QStringLiteral("软件大全"));  // the page the side button of that name shows
  view->setGeometry(kPageViewPlace);
  setup_page_view(view, QString::fromStdString(values_.share_address()));

  connect_side_buttons(controls, pages_);
  connect_catalogue(controls, values_);
  ui::set_fixed_frame(
      this, {kMainClientSize.width(), kMainClientSize.height() + menuBar()->sizeHint().height()},
      ui::TitleButtons::MinimizeAndClose);
  ui::close_on_escape(this);
}

void MainWindow::show_page(int index) { pages_->setCurrentIndex(index); }

}  // namespace app
