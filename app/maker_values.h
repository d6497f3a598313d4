// The maker's endpoints and identifiers as the windows receive them.
#pragma once

#include <string>

namespace app {

// Every value of the maker's side, UTF-8. Windows take this at construction, so tests can point
// them at loopback peers; the program itself uses built_in_values().
struct MakerValues {
  std::string update_host;
  std::string app_id;
  std::string code_service_host;
  std::string smtp_host;
  int smtp_port = 25;
  std::string mail_user;
  std::string mail_auth_code;
  std::string mailbox;
  std::string qq_number;
  std::string qq_group;
  std::string qq_group_key;
  std::string download_site_name;
  std::string download_site_host;
  std::string help_site_host;
  std::string share_host;
  std::string extraction_code;
  std::string song_id;

  // The application-collection share: https://<share host>/b00uamx8j.
  std::string share_address() const;
};

// The values fixed at build time.
const MakerValues& built_in_values();

}  // namespace app
