#include "net/event_pump.h"

#include <utility>

namespace net {
namespace {
std::function<void()>& installed_pump() {
  static std::function<void()> pump;
  return pump;
}
}  // namespace

void set_event_pump(std::function<void()> pump) { installed_pump() = std::move(pump); }

void pump_events() {
  // Copy first: the hook may run code that installs another hook.
  if (auto pump = installed_pump()) pump();
}

}  // namespace net
