#include "app/main_window_layout.h"

namespace app {
namespace {

using Kind = ui::ControlKind;
using ui::kClientArea;

const QString kMiaowu = QStringLiteral("方正喵呜体");
const QString kKai = QStringLiteral("楷体");

const QColor kGreen{86, 171, 84};
const QColor kSilver{192, 192, 192};
const QColor kGrey{96, 96, 96};
const QColor kFieldGreen{99, 147, 89};
const QColor kRed{255, 0, 0};

}  // namespace

ui::ControlTable main_window_controls(const MakerValues& values) {
  const QString code = QString::fromStdString(values.extraction_code);
  const QString site_name = QString::fromStdString(values.download_site_name);
  const QString qq = QString::fromStdString(values.qq_number);
  const QString share = QString::fromStdString(values.share_address());
  // clang-format off
  return {
      // Side navigation and the mail label, directly on the window.
      {kHomePageButton,      Kind::FlatButton,     kClientArea, {0, 0, 136, 56},   "首页",       {kMiaowu, 19}, {}},
      {kTutorialsPageButton, Kind::FlatButton,     kClientArea, {0, 64, 136, 56},  "热门教程",   {kMiaowu, 19}, {}},
      {kPointsPageButton,    Kind::FlatButton,     kClientArea, {0, 128, 136, 56}, "赚取积分",   {kMiaowu, 19}, {}},
      {kSoftwarePageButton,  Kind::FlatButton,     kClientArea, {0, 192, 136, 56}, "软件大全",   {kMiaowu, 19}, {}},
      {kOtherPageButton,     Kind::FlatButton,     kClientArea, {0, 256, 136, 56}, "其他",       {kMiaowu, 19}, {}},
      {kMakerMailLink,       Kind::HyperlinkLabel, kClientArea, {8, 368, 128, 24}, "栎湾云科技", {kMiaowu, 14}, {}},

      // Page 0, home.
      {kHomeTitle,        Kind::TransparentLabel, kHomePage, {80, 136, 400, 112}, "栎湾腕舟助手",     {kMiaowu, 35}, kGreen},
      {kHomeBeta,         Kind::TransparentLabel, kHomePage, {352, 144, 136, 48}, "bete",             {kMiaowu, 20}, kSilver},
      {kHomeSlogan,       Kind::TransparentLabel, kHomePage, {296, 200, 280, 80}, "--做最全的资源网", {kMiaowu, 21}, kGreen},
      {kDownloadSiteLink, Kind::HyperlinkLabel,   kHomePage, {8, 352, 88, 24},    site_name,          {kMiaowu, 16}, {}},

      // Page 1, the link catalogue.
      {kTutorialGroup,         Kind::GroupBox,         kTutorialsPage,    {8, 32, 552, 96},    "小天才教程",                         {kMiaowu, 16}, {}},
      {kTutorialCaption,       Kind::TransparentLabel, kTutorialGroup,    {32, 40, 160, 32},   "请选择一项后查看",                   {kMiaowu, 16}, kRed},
      {kTutorialList,          Kind::ComboBox,         kTutorialGroup,    {208, 48, 160, 20},  "",                                   {kKai, 14},    kRed},
      {kTutorialOpenButton,    Kind::PushButton,       kTutorialGroup,    {400, 40, 80, 32},   "查看教程",                           {kMiaowu, 16}, {}},
      {kSystemImageGroup,      Kind::GroupBox,         kTutorialsPage,    {8, 136, 552, 112},  "重装系统",                           {kMiaowu, 16}, {}},
      {kSystemImageCaption,    Kind::TransparentLabel, kSystemImageGroup, {32, 40, 160, 32},   "请选择小天才系统",                   {kMiaowu, 16}, kRed},
      {kSystemImageList,       Kind::ComboBox,         kSystemImageGroup, {208, 48, 160, 20},  "",                                   {kKai, 14},    kRed},
      {kSystemImageOpenButton, Kind::PushButton,       kSystemImageGroup, {400, 40, 80, 32},   "下载系统",                           {kMiaowu, 16}, {}},
      {kSystemImageCodeNote,   Kind::TransparentLabel, kSystemImageGroup, {168, 72, 248, 32},  "提取密码为" + code + "（进群可高速下载）", {kMiaowu, 16}, kRed},
      {kSoftwareGroup,         Kind::GroupBox,         kTutorialsPage,    {8, 256, 552, 112},  "官方软件",                           {kMiaowu, 16}, {}},
      {kSoftwareCaption,       Kind::TransparentLabel, kSoftwareGroup,    {32, 40, 160, 32},   "请选择小天才软件",                   {kMiaowu, 16}, kRed},
      {kSoftwareList,          Kind::ComboBox,         kSoftwareGroup,    {208, 48, 160, 20},  "",                                   {kKai, 14},    kRed},
      {kSoftwareOpenButton,    Kind::PushButton,       kSoftwareGroup,    {400, 40, 80, 32},   "下载软件",                           {kMiaowu, 16}, {}},
      {kSoftwareCodeNote,      Kind::TransparentLabel, kSoftwareGroup,    {168, 72, 248, 32},  "（密码" + code + "，进群可高速下载）", {kMiaowu, 16}, kRed},

      // Page 2, the points claim.
      {kClaimTitle,       Kind::TransparentLabel, kPointsPage, {24, 32, 512, 64},   "官方积分获取",         {kKai, 21},    kGrey},
      {kClaimQqNote,      Kind::TransparentLabel, kPointsPage, {56, 80, 448, 32},   "领取后请添加QQ:" + qq, {kMiaowu, 16}, kRed},
      {kClaimIdCaption,   Kind::TransparentLabel, kPointsPage, {72, 136, 104, 32},  "领取ID:",              {kKai, 16},    kFieldGreen},
      {kClaimIdEntry,     Kind::EntryBox,         kPointsPage, {176, 136, 320, 32}, "",                     {kMiaowu, 20}, {}},
      {kClaimCodeCaption, Kind::TransparentLabel, kPointsPage, {72, 208, 104, 32},  "校验码:",              {kKai, 16},    kFieldGreen},
      {kClaimCodeEntry,   Kind::EntryBox,         kPointsPage, {176, 208, 320, 32}, "",                     {kMiaowu, 20}, {}},
      {kClaimQqCaption,   Kind::TransparentLabel, kPointsPage, {64, 272, 104, 32},  "QQ:",                  {kKai, 16},    kFieldGreen},
      {kClaimQqEntry,     Kind::EntryBox,         kPointsPage, {176, 272, 320, 32}, "",                     {kMiaowu, 20}, {}},
      {kClaimButton,      Kind::PushButton,       kPointsPage, {360, 328, 128, 32}, "领取",                 {kKai, 16},    {}},
      {kHelpSiteLink,     Kind::HyperlinkLabel,   kPointsPage, {8, 360, 96, 16},    "获取KEY",              {kKai, 14},    {}},

      // Page 3, other.
      {kOtherNotice, Kind::TransparentLabel, kOtherPage, {16, 96, 544, 240},
       "立志做最全的资源网，投稿或建议请联系官方QQ，素材来源网络，如发现侵权请立即联系QQ并出示证明，一经确实，本站将立即删除内容！",
       {kMiaowu, 35}, kRed},

      // Page 4, the software collection; its page view is made by the window.
      {kShareNote, Kind::TransparentLabel, kSoftwarePage, {8, 24, 552, 24}, "密码:" + code + "，也可浏览器复制：" + share, {kMiaowu, 19}, kRed},
  };
  // clang-format on
}

}  // namespace app
