// Sends one plain-text GBK mail through an SMTP server with login, over libcurl.
#pragma once

#include <chrono>
#include <string>

#include "net/text.h"

namespace net {

// Where and as whom to log in. A host that carries its own port ("mail.example:587") keeps it;
// otherwise port applies.
struct SmtpServer {
  std::string host;
  int port = 25;
  std::string user_name;
  std::string password;
  // A PEM file of the certificate authorities to trust for the server's certificate, in place of
  // the system's store. The program leaves it empty; tests name an authority of their own. The
  // server's certificate is verified whenever the exchange switches to TLS.
  std::string ca_file{};
};

// One mail: subject and body are GBK text; the addresses are bare (someone@example.com).
struct MailMessage {
  Text subject;
  Text body;
  std::string to;
  std::string from;
};

// How long a transfer that has run out of time may still take to say QUIT and close.
inline constexpr std::chrono::seconds kSmtpQuitGrace{2};

struct SmtpResult {
  bool accepted = false;  // the server took the message
  std::string status;     // the server's last reply line, or what went wrong
};

// Connects, switches to TLS when the server offers STARTTLS, logs in and sends the mail to `to`
// alone. A server that offers STARTTLS never sees the login or the mail outside TLS: when the
// switch fails (refused, or a certificate that does not verify) the exchange ends there.
// The whole exchange is bounded by timeout: when it runs out the transfer gives up, and the
// connection is cut no later than kSmtpQuitGrace after that, however the server stalls. While it
// waits, pump_events() runs at least every 50 ms.
SmtpResult send_mail(const SmtpServer& server, const MailMessage& mail,
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));

// The message as it travels: headers (the subject as RFC 2047 GBK encoded words cut on whole
// characters), a blank line and the body as text/plain; charset=GBK in base64; CR LF line ends.
std::string mail_text(const MailMessage& mail);

}  // namespace net
