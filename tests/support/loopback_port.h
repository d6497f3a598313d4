// Loopback ports for failure tests: one where nothing listens, one that listens and never speaks.
#pragma once

namespace test_support {

// A port on 127.0.0.1 where nothing listens (taken from the system, then released), so a
// connection there is refused at once.
int closed_port();

// A port on 127.0.0.1 that takes connections into its queue and never sends a byte.
class SilentPort {
 public:
  SilentPort();
  ~SilentPort();
  SilentPort(const SilentPort&) = delete;
  SilentPort& operator=(const SilentPort&) = delete;

  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace test_support
