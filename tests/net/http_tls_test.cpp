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
    server_ = std::make_unique<httplib::SSLServer>(certificate.c_str(), key.c_str());
    server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secure body", "text/plain");
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_->is_running() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~SelfSignedServer() {
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
    fs::remove_all(directory_);
  }

  bool running() const { return server_ && server_->is_running(); }
  std::uint16_t port() const { return static_cast<std::uint16_t>(port_); }
  std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  fs::path directory_;
  std::unique_ptr<httplib::SSLServer> server_;
  int port_ = 0;
  std::thread thread_;
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
  const net::HttpExchange exchange{
      .address = {.host = "127.0.0.1", .port = server.port(), .secure = true, .object_name = "/"},
      .verify_peer = true,
      .verify_host = true,
      .phase_timeout = std::chrono::seconds(5)};
  net::CurlHttpTransfer transfer;
  for (const net::HttpStep step : kPreparingSteps) ASSERT_TRUE(transfer.set_up(step, exchange));
  EXPECT_FALSE(transfer.start());
}

TEST(HttpTls, StepsOutOfOrderAreRefused) {
  const net::HttpExchange exchange{
      .address = {.host = "127.0.0.1", .port = 443, .secure = true, .object_name = "/"}};
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
