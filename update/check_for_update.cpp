#include "update/check_for_update.h"

#include "ui/text_qt.h"
#include "ui/window_opening.h"

namespace update {

NewVersion new_version_of(const UpdateClient& client) {
  return NewVersion{
      .version = ui::to_qstring(client.get_new_version()),
      .notes_address = ui::to_qstring(client.notes_page_address()),
      .download_address = ui::to_qstring(client.get_download_address()),
      .forced = client.get_forced(),
  };
}

UpdateCheck check_for_update(UpdateClient& client, const net::Text& app_id,
                             const net::Text& version, bool show_window) {
  UpdateCheck outcome;
  client.连接(app_id, version);
  outcome.newer_version = client.get_has_new_version();
  if (!outcome.newer_version || !show_window) return outcome;
  NewVersionWindow window(new_version_of(client), [&outcome](int exit_code) {
    outcome.end_program = true;
    outcome.exit_code = exit_code;
  });
  ui::open_modal(window);
  return outcome;
}

}  // namespace update
