// Web page content on the accessibility bus.
#pragma once

namespace ui {

// The web engine shows screen readers the content of its pages on Linux only when
// QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY is set when it starts: sets it, unless the user has
// set it to a value of their own. Call before the first web view is made.
void expose_web_content_to_accessibility();

}  // namespace ui
