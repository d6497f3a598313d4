// Handing an address to the default browser or mail program.
#pragma once

#include <QString>

namespace ui {

// Opens the address with the desktop's default handler; true when the hand-off succeeded.
// Callers that do not care about the outcome ignore the result.
bool open_address(const QString& address);

}  // namespace ui
