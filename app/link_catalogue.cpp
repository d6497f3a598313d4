#include "app/link_catalogue.h"

#include <QComboBox>

#include "ui/open_address.h"

namespace app {

std::vector<CatalogueRow> tutorial_rows() {
  const QString site = QStringLiteral("https://jingyan.baidu.com");
  // clang-format off: one row per entry
  return {
      {QStringLiteral("小天才安装第三方软件"), site + "/article/656db918baf04fa281249cd7.html"},
      {QStringLiteral("小天才拨号代码大全"), site + "/article/27fa7326d88bba07f8271f8f.html"},
      {QStringLiteral("小天才连接ADB"), site + "/article/4b07be3c0b2a1809b280f361.html"},
      {QStringLiteral("小天才自定义主题与壁纸"), site + "/article/9f63fb91f10e9b89410f0e25.html"},
      {QStringLiteral("小天才Z系列自定义铃声"), site + "/article/73c3ce28cab5b5a40343d9e5.html"},
      {QStringLiteral("小天才卸载预装软件"), site + "/article/d621e8dae7233c6964913f42.html"},
  };
  // clang-format on
}

std::vector<CatalogueRow> system_image_rows() {
  const QString disk = QStringLiteral("https://pan.baidu.com");
  // clang-format off: one row per entry
  return {
      {QStringLiteral("小天才Y03"), disk + "/s/1sNhWTDOSLw254tn3Sr4xEg"},
      {QStringLiteral("小天才D1"), disk + "/s/1NXVLZOm0qA-o5P3v6s4lSg"},
      {QStringLiteral("小天才Z2"), disk + "/s/1dVACL00z2sU4omWuVIYdrg"},
      {QStringLiteral("小天才Z5pro"), disk + "/s/1U7U4QKzDZcM-GBmHR3QRXQ"},
      {QStringLiteral("小天才Z5q"), disk + "/s/1LQj5w9NcfKz8VJzPVpyfgg"},
      {QStringLiteral("小天才Z6"), disk + "/s/1xXptUmww08RO54dir1Zk6w"},
  };
  // clang-format on
}

std::vector<CatalogueRow> software_rows(const MakerValues& values) {
  // clang-format off: one row per entry
  return {
      {QStringLiteral("小天才ADB工具下载"),
       QStringLiteral(
           "https://dl.google.com/android/repository/platform-tools-latest-windows.zip")},
      {QStringLiteral("应用大全"), QString::fromStdString(values.share_address())},
  };
  // clang-format on
}

void open_selected_row(const QComboBox& list, const std::vector<CatalogueRow>& rows) {
  for (std::size_t index = 0; index < rows.size(); ++index) {
    if (list.currentIndex() == static_cast<int>(index)) ui::open_address(rows[index].address);
  }
}

}  // namespace app
