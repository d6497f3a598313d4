#include "net/event_pump.h"

#include <utility>

namespace net {
namespace {

using Clock = std::chrono::steady_clock;

std::function<void()>& installed_pump() {
  static std::function<void()> pump;
  return pump;
}

Clock::time_point& last_pump() {
  thread_local Clock::time_point last = Clock::now();
  return last;
}

}  // namespace

void set_event_pump(std::function<void()> pump) { installed_pump() = std::move(pump); }

void pump_events() {
  last_pump() = Clock::now();
  // Copy first: the hook may run code that installs another hook.
  if (auto pump = installed_pump()) pump();
}

void pump_events_if_due() {
  if (Clock::now() >= next_pump_due()) pump_events();
}

Clock::time_point next_pump_due() { return last_pump() + kPumpInterval; }

}  // namespace net
