// The update check made once at start-up.
#pragma once

#include <functional>

#include "net/text.h"
#include "update/update_client.h"

namespace update {

// Connects the client with app_id and version. When the service reports a newer version and
// show_window is true, shows NewVersionWindow modal and returns once it has closed. True when a
// newer version was reported. end_program ends the whole program with the code given; the window
// calls it for a forced close and for a download.
bool check_for_update(UpdateClient& client, const net::Text& app_id, const net::Text& version,
                      bool show_window, const std::function<void(int exit_code)>& end_program);

}  // namespace update
