#include "update/update_client.h"

#include <cstdint>
#include <utility>

#include "net/encoding.h"
#include "net/gbk.h"
#include "net/http_request.h"

namespace update {
namespace {

constexpr std::size_t kVersionFields = 5;
constexpr std::size_t kExampleFields = 3;

// The version check runs while the program starts: however slowly the service answers, it
// gives up after this many seconds in all (each phase has its own 2 seconds besides).
constexpr std::int32_t kOverallTimeoutSeconds = 8;

}  // namespace

net::TextArray split_reply(std::string_view reply, std::size_t wanted) {
  net::TextArray pieces;
  std::size_t start = 0;
  for (std::size_t at = 0; at < reply.size() && pieces.size() < wanted;) {
    if (reply[at] == '|') {
      pieces.emplace_back(reply.substr(start, at - start));
      start = ++at;
    } else {
      at = net::gbk::next_char(reply, at);
    }
  }
  if (start < reply.size() && pieces.size() < wanted) pieces.emplace_back(reply.substr(start));
  return pieces;
}

UpdateClient::UpdateClient(net::Text service_host, ShowMessage show_message)
    : base_address_("http://" + std::move(service_host) + "/api"),
      show_message_(std::move(show_message)) {}

UpdateClient::~UpdateClient() = default;

std::unique_ptr<UpdateClient> UpdateClient::copy() const {
  return std::unique_ptr<UpdateClient>(new UpdateClient(*this));
}

void UpdateClient::连接(const net::Text& app_id, const net::Text& version) {
  const net::TextArray fields =
      split_reply(request("/checkVersion?id=" + app_id + "&version=" + version), kVersionFields);
  // A short reply (the empty one of an unreachable service included) says nothing about a newer
  // version: none of it is stored, and the client answers as connected with no newer version.
  const bool complete = fields.size() >= kVersionFields;
  if (complete) {
    download_address_ = fields[3];
    new_version_ = fields[4];
  }
  app_id_ = app_id;
  current_version_ = version;
  connected_ = true;
  // Flags are only ever set: a later reply cannot clear them.
  if (complete && fields[0] == "true") has_new_version_ = true;
  if (complete && fields[1] == "true") forced_ = true;
}

net::Text UpdateClient::request(const net::Text& path) {
  return net::utf8_to_gbk(net::http_request(
      base_address_ + path,
      {.method = 0, .timeout_seconds = 2, .overall_timeout_seconds = kOverallTimeoutSeconds}));
}

net::Text UpdateClient::get_new_version() const { return guard() ? new_version_ : net::Text(); }

bool UpdateClient::get_has_new_version() const { return guard() && has_new_version_; }

bool UpdateClient::get_forced() const { return guard() && forced_; }

net::Text UpdateClient::get_download_address() const {
  return guard() ? download_address_ : net::Text();
}

net::Text UpdateClient::get_app_id() const { return guard() ? app_id_ : net::Text(); }

net::Text UpdateClient::notes_page_address() const {
  if (!guard()) return {};
  return base_address_ + "/checkVersion?id=" + app_id_ + "&html=true.html";
}

net::Text UpdateClient::get_remark() { return example_text("remark"); }

net::Text UpdateClient::get_notice() { return example_text("notice"); }

net::Text UpdateClient::get_visit() { return example_text("visit"); }

net::Text UpdateClient::fetch_example(const net::Text& key) {
  if (!guard()) return {};
  const net::TextArray fields = split_reply(
      request("/getExample?id=" + app_id_ + "&data=remark|notice|visit"), kExampleFields);
  // A short reply stores nothing, so the next getter asks again.
  if (fields.size() < kExampleFields) return {};
  remark_ = fields[0];
  notice_ = fields[1];
  visit_ = fields[2];
  example_loaded_ = true;
  return stored_example(key);
}

bool UpdateClient::guard() const {
  if (connected_) return true;
  static const net::Text message =
      net::utf8_to_gbk("请先调用实例方法【连接】进行初始化后才可以使用此方法");
  static const net::Text caption = net::utf8_to_gbk("信息：");
  if (show_message_) show_message_(message, caption);
  return false;
}

net::Text UpdateClient::example_text(const net::Text& key) {
  return example_loaded_ ? stored_example(key) : fetch_example(key);
}

net::Text UpdateClient::stored_example(const net::Text& key) const {
  if (key == "remark") return remark_;
  if (key == "notice") return notice_;
  if (key == "visit") return visit_;
  return {};
}

}  // namespace update
