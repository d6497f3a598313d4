// The toolkit's own texts (message box buttons, entry box menus) in the desktop's language.
#pragma once

#include <QLocale>

namespace ui {

// Installs Qt's own translations for `locale` from the Qt installation's translations folder
// into the running application, replacing those an earlier call installed. True when a catalog
// for the locale was found; without one the toolkit keeps its English texts.
bool install_toolkit_translations(const QLocale& locale = QLocale::system());

}  // namespace ui
