#include "net/curl_handles.h"

namespace net {

void ensure_curl_global_init() {
  static const bool initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialized;
}

CurlEasy make_curl_easy() {
  ensure_curl_global_init();
  return CurlEasy(curl_easy_init());
}

bool append_curl_line(CurlSlist& list, const char* line) {
  curl_slist* appended = curl_slist_append(list.get(), line);
  if (appended == nullptr) return false;
  (void)list.release();  // the same list, grown (or a new one when it was empty)
  list.reset(appended);
  return true;
}

}  // namespace net
