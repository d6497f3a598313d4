// The update check made once at start-up, and what it reports back.
#pragma once

#include "net/text.h"
#include "update/new_version_window.h"
#include "update/update_client.h"

namespace update {

// What one update check came to.
struct UpdateCheck {
  bool newer_version = false;  // the service reported a newer version
  bool end_program = false;    // the new-version window asked to end the program
  int exit_code = 0;           // the code to end it with
};

// What the new-version window shows and acts on, read from a connected client.
NewVersion new_version_of(const UpdateClient& client);

// Connects the client with app_id and version. When the service reports a newer version and
// show_window is true, shows NewVersionWindow modal with what the client read and returns once
// it has closed. The window holds copies of those values, never the client: whatever the caller
// does with the outcome (ending the program destroys the client) happens after it has gone.
UpdateCheck check_for_update(UpdateClient& client, const net::Text& app_id,
                             const net::Text& version, bool show_window);

}  // namespace update
