#include "app/maker_values.h"

#include "app/configured_values.h"

namespace app {

std::string MakerValues::share_address() const { return "https://" + share_host + "/b00uamx8j"; }

const MakerValues& built_in_values() {
  namespace c = configured;
  static const MakerValues values{
      .update_host = c::update_host,
      .app_id = c::app_id,
      .code_service_host = c::code_service_host,
      .smtp_host = c::smtp_host,
      .smtp_port = c::smtp_port,
      .mail_user = c::mail_user,
      .mail_auth_code = c::mail_auth_code,
      .mailbox = c::mailbox,
      .qq_number = c::qq_number,
      .qq_group = c::qq_group,
      .qq_group_key = c::qq_group_key,
      .download_site_name = c::download_site_name,
      .download_site_host = c::download_site_host,
      .help_site_host = c::help_site_host,
      .share_host = c::share_host,
      .extraction_code = c::extraction_code,
      .song_id = c::song_id,
  };
  return values;
}

}  // namespace app
