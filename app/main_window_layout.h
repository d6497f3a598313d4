// The fixed layout of the main window: its controls, pages and their texts, fonts and colours.
#pragma once

#include <QRect>
#include <QSize>
#include <array>

#include "app/maker_values.h"
#include "ui/control_table.h"

namespace app {

using ui::ControlName;

// Client area below the menu bar; holds the tab control (to x 704, y 384) and the mail label (to y
// 392).
inline constexpr QSize kMainClientSize{711, 396};
inline constexpr QRect kTabControlPlace{136, 0, 568, 384};
inline constexpr int kPageCount = 5;
// The embedded page view on page 4, below 透明标签13.
inline constexpr QRect kPageViewPlace{8, 48, 552, 344};

// The main window's controls: layout name (the object name tests find) beside what each does.
// Directly on the window: the side buttons, each showing one page, the mail label and the pages.
inline constexpr ControlName kHomePageButton{"超级按钮1"};       // shows page 0
inline constexpr ControlName kTutorialsPageButton{"超级按钮2"};  // shows page 1
inline constexpr ControlName kPointsPageButton{"超级按钮4"};     // shows page 2
inline constexpr ControlName kSoftwarePageButton{"超级按钮5"};   // shows page 4
inline constexpr ControlName kOtherPageButton{"超级按钮3"};      // shows page 3
inline constexpr ControlName kMakerMailLink{"超级链接框1"};      // writes to the maker
inline constexpr ControlName kPageTabs{"高级选择夹1"};           // the five pages, no tab strip
// The pages of kPageTabs, the containers of the page controls (object names of our own).
inline constexpr ControlName kHomePage{"高级选择夹1_页0"};
inline constexpr ControlName kTutorialsPage{"高级选择夹1_页1"};
inline constexpr ControlName kPointsPage{"高级选择夹1_页2"};
inline constexpr ControlName kOtherPage{"高级选择夹1_页3"};
inline constexpr ControlName kSoftwarePage{"高级选择夹1_页4"};
inline constexpr std::array<ControlName, kPageCount> kPages{kHomePage, kTutorialsPage, kPointsPage,
                                                            kOtherPage, kSoftwarePage};
// Page 0, home.
inline constexpr ControlName kHomeTitle{"透明标签1"};
inline constexpr ControlName kHomeBeta{"透明标签2"};
inline constexpr ControlName kHomeSlogan{"透明标签6"};
inline constexpr ControlName kDownloadSiteLink{"超级链接框3"};  // opens the download site
// Page 1, the link catalogue: three groups, each a list and the button that opens its row.
inline constexpr ControlName kTutorialGroup{"分组框1"};
inline constexpr ControlName kTutorialCaption{"透明标签7"};
inline constexpr ControlName kTutorialList{"代码区组合框"};
inline constexpr ControlName kTutorialOpenButton{"按钮1"};
inline constexpr ControlName kSystemImageGroup{"分组框2"};
inline constexpr ControlName kSystemImageCaption{"透明标签8"};
inline constexpr ControlName kSystemImageList{"系统区组合框"};
inline constexpr ControlName kSystemImageOpenButton{"按钮2"};
inline constexpr ControlName kSystemImageCodeNote{"透明标签9"};
inline constexpr ControlName kSoftwareGroup{"分组框3"};
inline constexpr ControlName kSoftwareCaption{"透明标签11"};
inline constexpr ControlName kSoftwareList{"软件区组合框"};
inline constexpr ControlName kSoftwareOpenButton{"按钮3"};
inline constexpr ControlName kSoftwareCodeNote{"透明标签10"};
// Page 2, the points claim.
inline constexpr ControlName kClaimTitle{"透明标签3"};
inline constexpr ControlName kClaimQqNote{"透明标签4"};
inline constexpr ControlName kClaimIdCaption{"透明标签5"};
inline constexpr ControlName kClaimIdEntry{"编辑框1"};
inline constexpr ControlName kClaimCodeCaption{"透明标签14"};
inline constexpr ControlName kClaimCodeEntry{"编辑框3"};
inline constexpr ControlName kClaimQqCaption{"透明标签15"};
inline constexpr ControlName kClaimQqEntry{"编辑框4"};
inline constexpr ControlName kClaimButton{"按钮4"};
inline constexpr ControlName kHelpSiteLink{"超级链接框2"};  // opens the help site ("获取KEY")
// Page 3, other.
inline constexpr ControlName kOtherNotice{"透明标签12"};
// Page 4, the software collection.
inline constexpr ControlName kShareNote{"透明标签13"};
inline constexpr ControlName kPageView{"超文本浏览框1"};  // made by the window, not the table

// Every control of the main window and its pages, in creation order. The pages are containers
// the window gives the builder.
ui::ControlTable main_window_controls(const MakerValues& values);

}  // namespace app
