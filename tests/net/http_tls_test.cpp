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

#include "net/http_request.h"
#include "net/http_service.h"

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

// Without the certificate option the same request is refused: the option is what lets it through.
TEST(HttpTls, WithoutTheCertificateOptionTheServerIsRefused) {
  SelfSignedServer server;
  ASSERT_TRUE(server.running());
  net::CurlHttpService service;
  const auto session = service.open_session(net::http::kAccessNoProxy, "");
  ASSERT_TRUE(service.set_timeouts(session, 5000, 5000, 5000, 5000));
  const auto connection = service.connect(session, "127.0.0.1", server.port());
  const auto request = service.open_request(connection, "GET", "/", net::http::kFlagSecure);
  ASSERT_NE(request, net::kNoHttpHandle);
  ASSERT_TRUE(service.add_request_headers(request, "", net::http::kAddHeadersFlagAdd));
  EXPECT_FALSE(service.send_request(request, {}));
  for (const auto handle : {request, connection, session})
    EXPECT_TRUE(service.close_handle(handle));
}

TEST(HttpTls, UnknownOptionNumbersAndValuesAreRefused) {
  net::CurlHttpService service;
  const auto session = service.open_session(net::http::kAccessNoProxy, "");
  const auto connection = service.connect(session, "127.0.0.1", 443);
  const auto request = service.open_request(connection, "GET", "/", net::http::kFlagSecure);
  EXPECT_TRUE(service.set_option(request, net::http::kOptionSecurityFlags, 0x3300));
  EXPECT_TRUE(
      service.set_option(request, net::http::kOptionDisableFeature, net::http::kDisableCookies));
  EXPECT_TRUE(
      service.set_option(request, net::http::kOptionDisableFeature, net::http::kDisableRedirects));
  EXPECT_TRUE(service.set_option(request, net::http::kOptionEnableFeature,
                                 net::http::kEnableSslRevocation));
  EXPECT_FALSE(service.set_option(request, net::http::kOptionSecurityFlags, 0x4));
  EXPECT_FALSE(service.set_option(request, net::http::kOptionDisableFeature, 0x40));
  EXPECT_FALSE(service.set_option(request, net::http::kOptionEnableFeature, 2));
  EXPECT_FALSE(service.set_option(request, 12345, 1));
  EXPECT_FALSE(service.set_option(net::kNoHttpHandle, net::http::kOptionSecurityFlags, 0x3300));
}

}  // namespace
