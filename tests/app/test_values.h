// Maker values for tests: every endpoint on loopback, the rest recognisable placeholders.
#pragma once

#include <string>

#include "app/maker_values.h"

namespace test_support {

inline app::MakerValues loopback_values(const std::string& update_host) {
  return app::MakerValues{
      .update_host = update_host,
      .app_id = "00112233445566778899aabbccddeeff",
      .code_service_host = "127.0.0.1:9",  // the discard port: nothing answers
      .smtp_host = "127.0.0.1",
      .smtp_port = 9,
      .mail_user = "20002",
      .mail_auth_code = "qrstuvwxyzabcdef",
      .mailbox = "20002@mail.test.example",
      .qq_number = "20002",
      .qq_group = "200000002",
      .qq_group_key = "TestGroupKey0123456789abcdefABCD",
      .download_site_name = "测试下载站",
      .download_site_host = "www.download.test.example",
      .help_site_host = "help.test.example",
      .share_host = "127.0.0.1:1",
      .extraction_code = "5678",
      .song_id = "200000002",
  };
}

}  // namespace test_support
