// A hook through which long network waits let the GUI process its pending events.
#pragma once

#include <chrono>
#include <functional>

namespace net {

// Every network wait runs the hook at least this often: well inside the 50 ms that keep a
// window responsive.
inline constexpr std::chrono::milliseconds kPumpInterval{20};

// Installs the function that processes pending GUI events; an empty function removes it.
// The application sets it once at start-up; net itself knows nothing of the GUI.
void set_event_pump(std::function<void()> pump);

// Runs the installed hook, if any.
void pump_events();

// Runs the hook when kPumpInterval has passed since it last ran on this thread (through either
// function). Cheap enough to call between any two pieces of long work.
void pump_events_if_due();

// When pump_events_if_due() will next run the hook: a wait must end by then.
std::chrono::steady_clock::time_point next_pump_due();

}  // namespace net
