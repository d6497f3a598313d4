// Owned libcurl easy handles and header lists, and libcurl's one-time global set-up.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace net {

struct CurlEasyCleanup {
  void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

struct CurlSlistFree {
  void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistFree>;

struct CurlUrlCleanup {
  void operator()(CURLU* url) const noexcept { curl_url_cleanup(url); }
};
using CurlUrl = std::unique_ptr<CURLU, CurlUrlCleanup>;

// Runs libcurl's global set-up once, on first use; later calls do nothing.
void ensure_curl_global_init();

// A fresh easy handle (after the global set-up); null when libcurl cannot make one.
CurlEasy make_curl_easy();

// Appends a line to a header list; false (list unchanged) when libcurl cannot store it.
bool append_curl_line(CurlSlist& list, const char* line);

}  // namespace net
