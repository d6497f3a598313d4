// A real SMTP server with login on loopback (aiosmtpd under the system Python) that records each
// mail.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace test_support {

// One accepted mail as the server saw it.
struct ReceivedMail {
  std::string raw;                    // the message bytes after DATA
  std::string mail_from;              // envelope sender
  std::vector<std::string> rcpt_tos;  // envelope recipients
  std::string login;                  // the user name that logged in
  std::string password;               // and its password
  std::string subject;                // Subject as a mail reader decodes it, UTF-8
  std::string content_type;           // media type of the body (text/plain)
  std::string charset;                // charset of the body as its Content-Type names it
  std::string body;                   // body bytes with the transfer encoding undone
};

// One command as the server received it, and whether it came over TLS.
struct SmtpCommand {
  std::string verb{};  // EHLO, STARTTLS, AUTH, MAIL, ...
  bool over_tls = false;
};

// Credentials that reached the server, whatever it made of them.
struct SmtpLogin {
  std::string user;
  std::string password;
  bool over_tls = false;
};

// How a SmtpPeer deviates from a plain, prompt server.
struct SmtpPeerBehaviour {
  bool refuse_login = false;                 // refuse every login, the right one too
  std::chrono::milliseconds reply_delay{0};  // wait this long before accepting a message
  bool stall_after_data = false;             // take the message in, then never answer again
  bool trickle_after_data = false;  // answer it with a continuation line every 0.4 s, forever
  // When both are set, the server offers STARTTLS with this certificate chain and key (PEM).
  std::filesystem::path tls_certificate{};
  std::filesystem::path tls_key{};
  bool refuse_starttls = false;  // offer STARTTLS (with the certificate above), answer it 454
};

class SmtpPeer {
 public:
  struct Account {
    std::string user;
    std::string password;
  };

  using Behaviour = SmtpPeerBehaviour;

  // Starts the server on 127.0.0.1 at a free port. It accepts a login only with `account`.
  // Waits a bounded time for it to listen; check running().
  explicit SmtpPeer(Account account, Behaviour behaviour = {});
  ~SmtpPeer();
  SmtpPeer(const SmtpPeer&) = delete;
  SmtpPeer& operator=(const SmtpPeer&) = delete;

  bool running() const { return port_ != 0; }
  int port() const { return port_; }
  // Every mail accepted so far, in order.
  std::vector<ReceivedMail> mails() const;
  // Every command received so far, over all connections, in order.
  std::vector<SmtpCommand> commands() const;
  // Every set of credentials received so far, in order.
  std::vector<SmtpLogin> logins() const;

 private:
  void stop();

  std::filesystem::path directory_;
  pid_t pid_ = -1;
  int control_fd_ = -1;  // the server's standard input: closing it ends the server
  int port_fd_ = -1;     // its standard output, where it reports the port
  int port_ = 0;
};

}  // namespace test_support
