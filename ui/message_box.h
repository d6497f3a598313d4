// Application-modal message boxes without an owner window.
#pragma once

#include <QString>

namespace ui {

// Flags as the program uses them: 0 shows only an OK button, 64 an OK button with the
// information icon.
inline constexpr int kMessageOk = 0;
inline constexpr int kMessageInformation = 64;

// Shows the text in a box with the given flags and title and waits until the user closes it.
void message_box(const QString& text, int flags = kMessageOk,
                 const QString& title = QStringLiteral("信息："));

}  // namespace ui
