// The program's icon, in every size it ships, for the title bars and the task switcher.
#pragma once

#include <QIcon>

namespace app {

// The icon drawn for the menu entry (hicolor sizes 16 to 256), from the program's resources.
QIcon program_icon();

}  // namespace app
