// The update client against a loopback update service: replies, flags, guard, example texts.
#include "update/update_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/encoding.h"
#include "tests/support/loopback_port.h"
#include "tests/support/update_service.h"

namespace {

using net::Text;

const Text kAppId = "0123456789abcdef0123456789abcdef";
const Text kGuardMessage = net::utf8_to_gbk("请先调用实例方法【连接】进行初始化后才可以使用此方法");
const Text kGuardCaption = net::utf8_to_gbk("信息：");

class UpdateClientTest : public ::testing::Test {
 protected:
  update::UpdateClient make_client() {
    return update::UpdateClient(service_.host(), [this](const Text& message, const Text& caption) {
      messages_.emplace_back(message, caption);
    });
  }
  std::size_t requests_starting_with(const std::string& prefix) const {
    std::size_t count = 0;
    for (const std::string& target : service_.requests())
      count += target.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
  }

  test_support::UpdateService service_;
  std::vector<std::pair<Text, Text>> messages_;
};

TEST_F(UpdateClientTest, ConnectSendsVersionRequest) {
  auto client = make_client();
  client.连接(kAppId, "1.1");
  EXPECT_EQ(service_.requests(),
            std::vector<std::string>{"/api/checkVersion?id=" + kAppId + "&version=1.1"});
  EXPECT_EQ(client.get_app_id(), kAppId);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(UpdateClientTest, TakesVersionReplyApart) {
  // "亅" is 0x81 0x7C in GBK: its trail byte is the separator's code.
  const std::string trail_bar = "2.0亅";
  struct Case {
    const char* name;
    std::string reply;  // UTF-8, as the service sends it
    bool has_new_version;
    bool forced;
    std::string download_address;  // UTF-8
    std::string new_version;       // UTF-8
  };
  const Case cases[] = {
      {"five fields, both true", "true|true|notes|http://dl.example/v2.exe|2.0", true, true,
       "http://dl.example/v2.exe", "2.0"},
      {"capitalised true is not true", "True|TRUE|x|http://dl.example/a|2.0", false, false,
       "http://dl.example/a", "2.0"},
      {"seven fields, no newer version", "false|true|x|http://dl.example/b|3.1|five|six", false,
       true, "http://dl.example/b", "3.1"},
      {"empty field 2", "true|false||http://dl.example/c|2.2", true, false, "http://dl.example/c",
       "2.2"},
      {"empty field 4 before more fields", "true|false|x|http://dl.example/d||more", true, false,
       "http://dl.example/d", ""},
      {"trail byte equal to the separator", "true|false|x|http://dl.example/e|" + trail_bar, true,
       false, "http://dl.example/e", trail_bar},
      {"euro sign as field 2", "true|true|€|http://127.0.0.1/dl|9.9", true, true,
       "http://127.0.0.1/dl", "9.9"},
      {"euro sign before every separator", "true€|true€|x€|http://127.0.0.1/€|9.9€", false, false,
       "http://127.0.0.1/€", "9.9€"},
      {"euro sign after every separator", "true|€true|€|€http://127.0.0.1/|€9.9", true, false,
       "€http://127.0.0.1/", "€9.9"},
      {"four fields and a trailing separator", "true|true|x|http://dl.example/f|", false, false, "",
       ""},
      {"four fields", "true|true|x|http://dl.example/g", false, false, "", ""},
      {"a separator only", "|", false, false, "", ""},
      {"empty reply", "", false, false, "", ""},
      {"error page", "<html><body>404 Not Found</body></html>", false, false, "", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    service_.set_reply(test.reply);
    auto client = make_client();
    client.连接(kAppId, "1.1");
    EXPECT_EQ(client.get_has_new_version(), test.has_new_version);
    EXPECT_EQ(client.get_forced(), test.forced);
    EXPECT_EQ(client.get_download_address(), net::utf8_to_gbk(test.download_address));
    EXPECT_EQ(client.get_new_version(), net::utf8_to_gbk(test.new_version));
    EXPECT_EQ(client.get_app_id(), kAppId);  // connected even after a short reply: no message
    EXPECT_TRUE(messages_.empty());
  }
}

TEST_F(UpdateClientTest, UnreachableServiceStaysSilent) {
  update::UpdateClient client("127.0.0.1:" + std::to_string(test_support::closed_port()),
                              [this](const Text& message, const Text& caption) {
                                messages_.emplace_back(message, caption);
                              });
  client.连接(kAppId, "1.1");
  EXPECT_FALSE(client.get_has_new_version());
  EXPECT_FALSE(client.get_forced());
  EXPECT_EQ(client.get_download_address(), "");
  EXPECT_EQ(client.get_new_version(), "");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(UpdateClientTest, FlagsAreNeverCleared) {
  auto client = make_client();
  service_.set_reply("true|true|x|http://dl.example/old|2.0");
  client.连接(kAppId, "1.1");
  service_.set_reply("false|false|x|http://dl.example/new|2.1");
  client.连接(kAppId, "1.1");
  EXPECT_TRUE(client.get_has_new_version());
  EXPECT_TRUE(client.get_forced());
  EXPECT_EQ(client.get_download_address(), "http://dl.example/new");
  EXPECT_EQ(client.get_new_version(), "2.1");
  service_.set_reply("");
  client.连接(kAppId, "1.1");
  EXPECT_TRUE(client.get_has_new_version());
  EXPECT_EQ(client.get_new_version(), "2.1");  // a short reply replaces nothing
}

TEST_F(UpdateClientTest, GuardShowsItsMessageOncePerCallBeforeConnect) {
  auto client = make_client();
  const std::vector<std::pair<const char*, std::function<bool()>>> guarded{
      {"get_new_version", [&] { return client.get_new_version().empty(); }},
      {"get_has_new_version", [&] { return !client.get_has_new_version(); }},
      {"get_forced", [&] { return !client.get_forced(); }},
      {"get_download_address", [&] { return client.get_download_address().empty(); }},
      {"get_app_id", [&] { return client.get_app_id().empty(); }},
      {"notes_page_address", [&] { return client.notes_page_address().empty(); }},
      {"fetch_example", [&] { return client.fetch_example("remark").empty(); }},
      {"get_remark", [&] { return client.get_remark().empty(); }},
      {"get_notice", [&] { return client.get_notice().empty(); }},
      {"get_visit", [&] { return client.get_visit().empty(); }},
  };
  for (std::size_t call = 0; call < 2; ++call) {
    for (const auto& [name, answers_empty] : guarded) {
      SCOPED_TRACE(name);
      const std::size_t before = messages_.size();
      EXPECT_TRUE(answers_empty());
      ASSERT_EQ(messages_.size(), before + 1);
      EXPECT_EQ(messages_.back().first, kGuardMessage);
      EXPECT_EQ(messages_.back().second, kGuardCaption);
    }
  }
  EXPECT_TRUE(service_.requests().empty());
}

TEST_F(UpdateClientTest, NotesPageAddressIsBuiltWithoutRequest) {
  auto client = make_client();
  client.连接(kAppId, "1.1");
  EXPECT_EQ(client.notes_page_address(),
            "http://" + service_.host() + "/api/checkVersion?id=" + kAppId + "&html=true.html");
  EXPECT_EQ(service_.requests().size(), 1u);
}

TEST_F(UpdateClientTest, ExampleTextsAreFetchedOnce) {
  auto client = make_client();
  client.连接(kAppId, "1.1");
  service_.set_reply("备注|公告|访问");
  EXPECT_EQ(client.get_remark(), net::utf8_to_gbk("备注"));
  EXPECT_EQ(client.get_remark(), net::utf8_to_gbk("备注"));
  EXPECT_EQ(client.get_notice(), net::utf8_to_gbk("公告"));
  EXPECT_EQ(client.get_visit(), net::utf8_to_gbk("访问"));
  EXPECT_EQ(requests_starting_with("/api/getExample"), 1u);
  EXPECT_EQ(service_.requests().back(),
            "/api/getExample?id=" + kAppId + "&data=remark|notice|visit");
}

TEST_F(UpdateClientTest, FetchExampleAlwaysAsksAndAnswersByKey) {
  auto client = make_client();
  client.连接(kAppId, "1.1");
  service_.set_reply("r1|n1|v1");
  EXPECT_EQ(client.fetch_example("unknown"), "");  // stored all three all the same
  EXPECT_EQ(client.get_remark(), "r1");
  EXPECT_EQ(client.get_visit(), "v1");
  service_.set_reply("r2|n2|v2|extra");
  EXPECT_EQ(client.fetch_example("notice"), "n2");
  EXPECT_EQ(client.fetch_example("visit"), "v2");
  EXPECT_EQ(client.get_remark(), "r2");
  EXPECT_EQ(requests_starting_with("/api/getExample"), 3u);
}

TEST_F(UpdateClientTest, ShortExampleReplyStoresNothing) {
  auto client = make_client();
  client.连接(kAppId, "1.1");
  service_.set_reply("only|two");
  EXPECT_EQ(client.get_remark(), "");
  service_.set_reply("r|n|v");
  EXPECT_EQ(client.get_notice(), "n");  // the short reply loaded nothing, so this asks again
  EXPECT_EQ(requests_starting_with("/api/getExample"), 2u);
}

TEST_F(UpdateClientTest, CopyIsIndependent) {
  auto client = make_client();
  service_.set_reply("true|false|x|http://dl.example/a|2.0");
  client.连接(kAppId, "1.1");
  const std::unique_ptr<update::UpdateClient> copy = client.copy();
  service_.set_reply("true|true|x|http://dl.example/b|3.0");
  client.连接(kAppId, "1.1");
  EXPECT_TRUE(copy->get_has_new_version());
  EXPECT_FALSE(copy->get_forced());
  EXPECT_EQ(copy->get_download_address(), "http://dl.example/a");
  EXPECT_EQ(copy->get_new_version(), "2.0");
  EXPECT_EQ(copy->get_app_id(), kAppId);
  EXPECT_TRUE(client.get_forced());
}

// A service on 127.0.0.1 that answers the first request with a head and then one body byte
// every 1.5 seconds (never long enough for a 2-second phase time-out to end the read), for
// at most 40 seconds.
class TricklingService {
 public:
  TricklingService() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~TricklingService() {
    stop_ = true;
    thread_.join();
    close(listener_);
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  bool wait_readable(int socket, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!stop_ && std::chrono::steady_clock::now() < end) {
      pollfd entry{socket, POLLIN, 0};
      if (poll(&entry, 1, 50) > 0) return true;
    }
    return false;
  }

  void serve() {
    if (!wait_readable(listener_, std::chrono::seconds(40))) return;
    const int connection = accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos &&
           wait_readable(connection, std::chrono::seconds(5))) {
      const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
    send(connection, head.data(), head.size(), MSG_NOSIGNAL);
    const std::string body = "false|";
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t sent = 0;
         !stop_ && std::chrono::steady_clock::now() - began < std::chrono::seconds(40); ++sent) {
      if (send(connection, &body[sent % body.size()], 1, MSG_NOSIGNAL) != 1) break;
      for (int i = 0; i < 30 && !stop_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(connection);
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_ = false;
  std::thread thread_;
};

// The check runs while the program starts: a service that keeps sending a byte now and then
// must not hold it for longer than 8 seconds in all.
TEST(UpdateClientBound, ASlowTrickleEndsAtTheOverallBound) {
  TricklingService service;
  update::UpdateClient client(service.host(), nullptr);
  const auto began = std::chrono::steady_clock::now();
  client.连接(kAppId, "1.1");
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_FALSE(client.get_has_new_version());
  EXPECT_GT(took, std::chrono::milliseconds(7500));  // the bound, not a phase time-out, ended it
  EXPECT_LT(took, std::chrono::seconds(32));         // and it did end (the trickle lasts 40 s)
}

TEST(SplitReply, KeepsTheWantedFieldsStepByCharacter) {
  const std::string euro = "\x80";
  const std::string trail_bar = "\x81|";  // one character whose trail byte is the separator's
  struct Case {
    std::string reply;  // GBK
    std::size_t wanted;
    net::TextArray expected;
  };
  const Case cases[] = {
      {"a|b|c", 5, {"a", "b", "c"}},
      {"a|b|c", 2, {"a", "b"}},
      {"a|b|c", 0, {}},
      {"a|b|", 5, {"a", "b"}},
      {"a|b|", 2, {"a", "b"}},
      {"|a||b", 5, {"", "a", "", "b"}},
      {"|", 5, {""}},
      {"", 5, {}},
      {euro + "|" + euro, 5, {euro, euro}},
      {euro + euro + "|x", 5, {euro + euro, "x"}},
      {"|" + euro + "|", 5, {"", euro}},
      {"true|true|" + euro + "|http://127.0.0.1/dl|9.9",
       5,
       {"true", "true", euro, "http://127.0.0.1/dl", "9.9"}},
      {"a" + trail_bar + "b|c", 5, {"a" + trail_bar + "b", "c"}},
      {euro + trail_bar + "|c", 5, {euro + trail_bar, "c"}},
      {"a|\x81", 5, {"a", "\x81"}},  // a lead byte at the very end stands alone
      {"\xFF|a", 5, {"\xFF", "a"}},  // so does 0xFF, which leads no character
  };
  for (const Case& test : cases) {
    EXPECT_EQ(update::split_reply(test.reply, test.wanted), test.expected)
        << test.reply << " / " << test.wanted;
  }
}

// 50 MB of "a|" hold 25 million fields; the client keeps the five it reads.
TEST(SplitReply, LongReplyKeepsOnlyWhatIsRead) {
  std::string reply;
  for (int i = 0; i < 25'000'000; ++i) reply += "a|";
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(update::split_reply(reply, 5), (net::TextArray{"a", "a", "a", "a", "a"}));
  // Microseconds here: only the first five fields are looked at.
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1));
}

}  // namespace
