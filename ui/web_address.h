// Which addresses from outside the program may reach the browser or the page view.
#pragma once

#include <QString>
#include <QUrl>

namespace ui {

// True for an absolute http or https address with a host ("http://example.com/x"); false for
// every other scheme (file:, javascript:, data:, mailto:, …), for relative or malformed
// addresses and for forms without a host ("http:evil", "http:/etc/passwd", "https://").
bool is_web_address(const QUrl& url);
bool is_web_address(const QString& address);

}  // namespace ui
