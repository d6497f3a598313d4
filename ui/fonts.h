// The program's font faces and the installed faces that stand in for them.
#pragma once

namespace ui {

// Maps "楷体" to a Kai face and "方正喵呜体" and "微软雅黑" to an installed CJK face, and makes
// that CJK face the application's default. Called once after the application object exists.
void install_font_substitutions();

}  // namespace ui
