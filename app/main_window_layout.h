// The fixed layout of the main window: its controls, pages and their texts, fonts and colours.
#pragma once

#include <QRect>
#include <QSize>

#include "app/maker_values.h"
#include "ui/control_table.h"

namespace app {

// Client area below the menu bar; holds the tab control (to x 704, y 384) and the mail label (to y
// 392).
inline constexpr QSize kMainClientSize{711, 396};
inline constexpr QRect kTabControlPlace{136, 0, 568, 384};
inline constexpr int kPageCount = 5;
// The embedded page view on page 4, below 透明标签13.
inline constexpr QRect kPageViewPlace{8, 48, 552, 344};

// Object names of the tab control's pages, the containers of the page controls.
QString page_name(int index);

// Every control of the main window and its pages, in creation order.
ui::ControlTable main_window_controls(const MakerValues& values);

}  // namespace app
