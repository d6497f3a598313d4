#include "update/check_for_update.h"

#include "ui/window_opening.h"
#include "update/new_version_window.h"

namespace update {

bool check_for_update(UpdateClient& client, const net::Text& app_id, const net::Text& version,
                      bool show_window, const std::function<void(int exit_code)>& end_program) {
  client.连接(app_id, version);
  if (!client.get_has_new_version()) return false;
  if (show_window) {
    NewVersionWindow window(client, end_program);
    ui::open_modal(window);
  }
  return true;
}

}  // namespace update
