#include "app/main_window_layout.h"

namespace app {
namespace {

using ui::ControlKind;
using Kind = ControlKind;

const QString kMiaowu = QStringLiteral("方正喵呜体");
const QString kKai = QStringLiteral("楷体");

const QColor kGreen{86, 171, 84};
const QColor kSilver{192, 192, 192};
const QColor kGrey{96, 96, 96};
const QColor kFieldGreen{99, 147, 89};
const QColor kRed{255, 0, 0};

}  // namespace

QString page_name(int index) { return QStringLiteral("高级选择夹1_页%1").arg(index); }

ui::ControlTable main_window_controls(const MakerValues& values) {
  const QString code = QString::fromStdString(values.extraction_code);
  const QString page0 = page_name(0), page1 = page_name(1), page2 = page_name(2),
                page3 = page_name(3), page4 = page_name(4);
  const QString group1 = QStringLiteral("分组框1"), group2 = QStringLiteral("分组框2"),
                group3 = QStringLiteral("分组框3");
  // clang-format off: one row per control, as in the layout
  return {
      // Side navigation and the mail label, directly on the window.
      {"超级按钮1", Kind::FlatButton, "", {0, 0, 136, 56}, "首页", {kMiaowu, 19}, {}},
      {"超级按钮2", Kind::FlatButton, "", {0, 64, 136, 56}, "热门教程", {kMiaowu, 19}, {}},
      {"超级按钮4", Kind::FlatButton, "", {0, 128, 136, 56}, "赚取积分", {kMiaowu, 19}, {}},
      {"超级按钮5", Kind::FlatButton, "", {0, 192, 136, 56}, "软件大全", {kMiaowu, 19}, {}},
      {"超级按钮3", Kind::FlatButton, "", {0, 256, 136, 56}, "其他", {kMiaowu, 19}, {}},
      {"超级链接框1", Kind::HyperlinkLabel, "", {8, 368, 128, 24}, "栎湾云科技", {kMiaowu, 14}, {}},

      // Page 0, home.
      {"透明标签1",
       Kind::TransparentLabel,
       page0,
       {80, 136, 400, 112},
       "栎湾腕舟助手",
       {kMiaowu, 35},
       kGreen},
      {"透明标签2",
       Kind::TransparentLabel,
       page0,
       {352, 144, 136, 48},
       "bete",
       {kMiaowu, 20},
       kSilver},
      {"透明标签6",
       Kind::TransparentLabel,
       page0,
       {296, 200, 280, 80},
       "--做最全的资源网",
       {kMiaowu, 21},
       kGreen},
      {"超级链接框3",
       Kind::HyperlinkLabel,
       page0,
       {8, 352, 88, 24},
       QString::fromStdString(values.download_site_name),
       {kMiaowu, 16},
       {}},

      // Page 1, the link catalogue.
      {group1, Kind::GroupBox, page1, {8, 32, 552, 96}, "小天才教程", {kMiaowu, 16}, {}},
      {"透明标签7",
       Kind::TransparentLabel,
       group1,
       {32, 40, 160, 32},
       "请选择一项后查看",
       {kMiaowu, 16},
       kRed},
      {"代码区组合框", Kind::ComboBox, group1, {208, 48, 160, 20}, "", {kKai, 14}, kRed},
      {"按钮1", Kind::PushButton, group1, {400, 40, 80, 32}, "查看教程", {kMiaowu, 16}, {}},
      {group2, Kind::GroupBox, page1, {8, 136, 552, 112}, "重装系统", {kMiaowu, 16}, {}},
      {"透明标签8",
       Kind::TransparentLabel,
       group2,
       {32, 40, 160, 32},
       "请选择小天才系统",
       {kMiaowu, 16},
       kRed},
      {"系统区组合框", Kind::ComboBox, group2, {208, 48, 160, 20}, "", {kKai, 14}, kRed},
      {"按钮2", Kind::PushButton, group2, {400, 40, 80, 32}, "下载系统", {kMiaowu, 16}, {}},
      {"透明标签9",
       Kind::TransparentLabel,
       group2,
       {168, 72, 248, 32},
       "提取密码为" + code + "（进群可高速下载）",
       {kMiaowu, 16},
       kRed},
      {group3, Kind::GroupBox, page1, {8, 256, 552, 112}, "官方软件", {kMiaowu, 16}, {}},
      {"透明标签11",
       Kind::TransparentLabel,
       group3,
       {32, 40, 160, 32},
       "请选择小天才软件",
       {kMiaowu, 16},
       kRed},
      {"软件区组合框", Kind::ComboBox, group3, {208, 48, 160, 20}, "", {kKai, 14}, kRed},
      {"按钮3", Kind::PushButton, group3, {400, 40, 80, 32}, "下载软件", {kMiaowu, 16}, {}},
      {"透明标签10",
       Kind::TransparentLabel,
       group3,
       {168, 72, 248, 32},
       "（密码" + code + "，进群可高速下载）",
       {kMiaowu, 16},
       kRed},

      // Page 2, the points claim.
      {"透明标签3",
       Kind::TransparentLabel,
       page2,
       {24, 32, 512, 64},
       "官方积分获取",
       {kKai, 21},
       kGrey},
      {"透明标签4",
       Kind::TransparentLabel,
       page2,
       {56, 80, 448, 32},
       "领取后请添加QQ:" + QString::fromStdString(values.qq_number),
       {kMiaowu, 16},
       kRed},
      {"透明标签5",
       Kind::TransparentLabel,
       page2,
       {72, 136, 104, 32},
       "领取ID:",
       {kKai, 16},
       kFieldGreen},
      {"编辑框1", Kind::EntryBox, page2, {176, 136, 320, 32}, "", {kMiaowu, 20}, {}},
      {"透明标签14",
       Kind::TransparentLabel,
       page2,
       {72, 208, 104, 32},
       "校验码:",
       {kKai, 16},
       kFieldGreen},
      {"编辑框3", Kind::EntryBox, page2, {176, 208, 320, 32}, "", {kMiaowu, 20}, {}},
      {"透明标签15",
       Kind::TransparentLabel,
       page2,
       {64, 272, 104, 32},
       "QQ:",
       {kKai, 16},
       kFieldGreen},
      {"编辑框4", Kind::EntryBox, page2, {176, 272, 320, 32}, "", {kMiaowu, 20}, {}},
      {"按钮4", Kind::PushButton, page2, {360, 328, 128, 32}, "领取", {kKai, 16}, {}},
      {"超级链接框2", Kind::HyperlinkLabel, page2, {8, 360, 96, 16}, "获取KEY", {kKai, 14}, {}},

      // Page 3, other.
      {"透明标签12",
       Kind::TransparentLabel,
       page3,
       {16, 96, 544, 240},
       "立志做最全的资源网，投稿或建议请联系官方QQ，素材来源网络，如发现侵权请立即联系QQ并出示证明"
       "，一经确实，"
       "本站将立即删除内容！",
       {kMiaowu, 35},
       kRed},

      // Page 4, the software collection; its page view is created by the window.
      {"透明标签13",
       Kind::TransparentLabel,
       page4,
       {8, 24, 552, 24},
       "密码:" + code + "，也可浏览器复制：" + QString::fromStdString(values.share_address()),
       {kMiaowu, 19},
       kRed},
  };
  // clang-format on
}

}  // namespace app
