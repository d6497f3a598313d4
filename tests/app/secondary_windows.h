// The four windows besides the main window, made fresh for tests that look at every window.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/about_window.h"
#include "app/agreement_window.h"
#include "app/author_window.h"
#include "app/maker_values.h"
#include "update/check_for_update.h"
#include "update/new_version_window.h"
#include "update/update_client.h"

namespace test_support {

struct WindowMaker {
  const char* window;
  std::function<std::unique_ptr<QWidget>()> make;
};

// The three information windows and the new-version window (with a connected client).
inline std::vector<WindowMaker> secondary_windows(const app::MakerValues& values,
                                                  update::UpdateClient& client) {
  return {
      {"AboutWindow", [&values] { return std::make_unique<app::AboutWindow>(values); }},
      {"AuthorWindow", [&values] { return std::make_unique<app::AuthorWindow>(values); }},
      {"AgreementWindow", [] { return std::make_unique<app::AgreementWindow>(); }},
      {"NewVersionWindow",
       [&client] {
         return std::make_unique<update::NewVersionWindow>(update::new_version_of(client),
                                                           [](int) {});
       }},
  };
}

}  // namespace test_support
