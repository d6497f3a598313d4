// The client of the update service: version state, release-notes address and example texts.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "net/text.h"

namespace update {

// The first `wanted` fields of an update-service reply (GBK): the runs of text between "|"
// separators, in order. Two adjacent separators, or a leading one, give an empty field; a
// trailing separator gives none, nor does the empty reply. Double-byte characters are stepped
// over whole, so a trail byte equal to "|" never separates (0x80, the euro sign, is a
// character of one byte). Fields after the wanted ones are neither stored nor kept.
net::TextArray split_reply(std::string_view reply, std::size_t wanted);

// Asks the update service ("http://<host>/api") for the state of one application and keeps the
// answer for the rest of the run. Replies are UTF-8 texts of fields separated by "|", stored as
// GBK. Getters marked "guarded" refuse before 连接 has run: they show a message through the
// function given at construction and answer the empty text or false.
//
// Virtual operations keep a fixed slot order: destroy (the destructor), copy, then the client's
// own.
class UpdateClient {
 public:
  // Shows a message (GBK) with only an OK button and waits until the user has closed it.
  using ShowMessage = std::function<void(const net::Text& message, const net::Text& caption)>;

  UpdateClient(net::Text service_host, ShowMessage show_message);

  // destroy: releases every text the client holds.
  virtual ~UpdateClient();
  // An independent duplicate: every text and every flag copied.
  virtual std::unique_ptr<UpdateClient> copy() const;

  // Asks the service for the version state of app_id running at version and stores the answer.
  // A reply of fewer than five fields (an unreachable service's empty one included) stores no
  // field of it and reports no newer version; the client still counts as connected, so the
  // getters answer silently.
  virtual void 连接(const net::Text& app_id, const net::Text& version);
  // One GET request to the base address + path with a 2-second time-out per phase and 8 seconds
  // in all; the reply as GBK.
  virtual net::Text request(const net::Text& path);

  virtual net::Text get_new_version() const;       // guarded
  virtual bool get_has_new_version() const;        // guarded
  virtual bool get_forced() const;                 // guarded
  virtual net::Text get_download_address() const;  // guarded
  virtual net::Text get_app_id() const;            // guarded
  // The release-notes page of the application; no request is made. Guarded.
  virtual net::Text notes_page_address() const;

  // The example texts, fetched once on first use of any of the three.
  virtual net::Text get_remark();
  virtual net::Text get_notice();
  virtual net::Text get_visit();
  // Fetches and stores the three example texts and returns the one named by key ("remark",
  // "notice" or "visit"; anything else gives the empty text). Always makes a request. Guarded.
  virtual net::Text fetch_example(const net::Text& key);

 protected:
  UpdateClient(const UpdateClient&) = default;  // for copy()
  UpdateClient& operator=(const UpdateClient&) = delete;

 private:
  // True when connected; otherwise shows the guard's message and answers false.
  bool guard() const;
  // The example text named by key: stored, or fetched when none is stored yet.
  net::Text example_text(const net::Text& key);
  net::Text stored_example(const net::Text& key) const;

  net::Text base_address_;
  ShowMessage show_message_;

  net::Text download_address_;
  bool has_new_version_ = false;
  bool forced_ = false;
  net::Text new_version_;
  net::Text app_id_;
  net::Text current_version_;
  bool example_loaded_ = false;
  bool connected_ = false;
  net::Text remark_;
  net::Text notice_;
  net::Text visit_;
};

}  // namespace update
