// The certificate option against a real TLS server on loopback whose certificate no one vouches
// for.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "net/curl_http_transfer.h"
#include "net/http_request.h"
#include "tests/support/loopback_http_server.h"

namespace {

namespace fs = std::filesystem;
using net::Text;

// An HTTPS server with a self-signed certificate for another name than the one it is reached by.
class SelfSignedServer {
 public:
  SelfSignedServer() {
    directory_ = fs::temp_directory_path() / ("http_tls_test_" + std::to_string(::getpid()));
    fs::create_directories(directory_);
    const fs::path key = directory_ / "key.pem";
    const fs::path certificate = directory_ / "certificate.pem";
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=someone.else.example -days 1"
        " -keyout " +
        key.string() + " -out " + certificate.string() + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return;
    server_ = std::make_unique<test_support::LoopbackHttpsServer>(certificate.c_str(), key.c_str());
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secure body", "text/plain");
    });
    server_->start();
  }
  ~SelfSignedServer() {
    server_.reset();
    fs::remove_all(directory_);
  }

  bool running() const { return server_ && server_->is_running(); }
  std::uint16_t port() const { return static_cast<std::uint16_t>(server_->port()); }
  std::string url() const { return "https://" + server_->host() + "/"; }

 private:
  fs::path directory_;
  std::unique_ptr<test_support::LoopbackHttpsServer> server_;
};

TEST(HttpTls, CertificateFaultsAreOverlooked) {
  SelfSignedServer server;
  ASSERT_TRUE(server.running());
  Text status;
  EXPECT_EQ(net::http_request(server.url(), {.timeout_seconds = 5, .status_text = &status}),
            "secure body");
  EXPECT_EQ(status, "200 OK");
}

// The steps that prepare a transfer, in their order, without credentials.
constexpr net::HttpStep kPreparingSteps[] = {net::HttpStep::platform,     net::HttpStep::address,
                                             net::HttpStep::session,      net::HttpStep::timeouts,
                                             net::HttpStep::connection,   net::HttpStep::request,
                                             net::HttpStep::certificates, net::HttpStep::cookies,
                                             net::HttpStep::redirects,    net::HttpStep::headers};

// With the certificate checks on, the same request is refused: overlooking the faults is what
// lets it through.
TEST(HttpTls, WithCertificateChecksTheServerIsRefused) {
  SelfSignedServer server;
  ASSERT_TRUE(server.running());
  net::HttpExchange exchange;
  exchange.address = {
      .host = "127.0.0.1", .port = server.port(), .secure = true, .object_name = "/"};
  exchange.verify_peer = true;
  exchange.verify_host = true;
  exchange.phase_timeout = std::chrono::seconds(5);
  net::CurlHttpTransfer transfer;
  for (const net::HttpStep step : kPreparingSteps) ASSERT_TRUE(transfer.set_up(step, exchange));
  EXPECT_FALSE(transfer.start());
}

TEST(HttpTls, StepsOutOfOrderAreRefused) {
  net::HttpExchange exchange;
  exchange.address = {.host = "127.0.0.1", .port = 443, .secure = true, .object_name = "/"};
  net::CurlHttpTransfer transfer;
  EXPECT_FALSE(transfer.set_up(net::HttpStep::connection, exchange)) << "before the session";
  EXPECT_FALSE(transfer.start()) << "before any set-up";
  EXPECT_FALSE(transfer.wait_for_head()) << "before sending";
  EXPECT_FALSE(transfer.read_some()) << "before the head";
  EXPECT_FALSE(transfer.raw_head()) << "before the head";
  for (const net::HttpStep step :
       {net::HttpStep::send, net::HttpStep::response, net::HttpStep::read, net::HttpStep::head}) {
    EXPECT_FALSE(transfer.set_up(step, exchange)) << "a network phase is no set-up";
  }
  const net::HttpExchange other = exchange;
  ASSERT_TRUE(transfer.set_up(net::HttpStep::session, exchange));
  EXPECT_FALSE(transfer.set_up(net::HttpStep::server_credentials, exchange)) << "no login given";
  EXPECT_FALSE(transfer.set_up(net::HttpStep::timeouts, other)) << "another exchange";
}

}  // namespace
