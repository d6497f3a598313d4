#include "tests/support/qt_url_recorder.h"

#include <QDesktopServices>

namespace test_support {
namespace {
const char* const kSchemes[] = {"http", "https", "mailto"};
}

UrlRecorder::UrlRecorder() {
  for (const char* scheme : kSchemes) QDesktopServices::setUrlHandler(scheme, this, "record");
}

UrlRecorder::~UrlRecorder() {
  for (const char* scheme : kSchemes) QDesktopServices::unsetUrlHandler(scheme);
}

void UrlRecorder::record(const QUrl& url) { opened.append(url.toString(QUrl::FullyEncoded)); }

}  // namespace test_support
