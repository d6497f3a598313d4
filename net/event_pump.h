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

// Runs the installed hook, if any. Called by waits in net at least every 50 ms.
void pump_events();

}  // namespace net
