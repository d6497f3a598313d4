// The frame of the program's fixed windows: fixed client size, chosen title-bar buttons, Esc.
#pragma once

#include <QSize>
#include <QWidget>

namespace ui {

enum class TitleButtons { CloseOnly, MinimizeAndClose };

// Makes `window` a top-level window of fixed client size with the given title-bar buttons and
// no maximise button.
void set_fixed_frame(QWidget* window, QSize client_size, TitleButtons buttons);

// The Esc key anywhere in the window asks it to close, as the close button does.
void close_on_escape(QWidget* window);

}  // namespace ui
