#include "ui/silent_web_page.h"

#include <QAuthenticator>
#include <QUrl>
#include <QWebEngineCertificateError>

namespace ui {

SilentWebPage::SilentWebPage(QObject* parent) : QWebEnginePage(parent) {
  connect(this, &QWebEnginePage::linkHovered, this,
          [this](const QString& url) { status_text_ = url; });
  connect(this, &QWebEnginePage::certificateError, this,
          [](QWebEngineCertificateError error) { error.rejectCertificate(); });
  connect(this, &QWebEnginePage::authenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator) { *authenticator = QAuthenticator(); });
  connect(this, &QWebEnginePage::proxyAuthenticationRequired, this,
          [](const QUrl&, QAuthenticator* authenticator, const QString&) {
            *authenticator = QAuthenticator();
          });
}

void SilentWebPage::javaScriptAlert(const QUrl&, const QString&) {}

bool SilentWebPage::javaScriptConfirm(const QUrl&, const QString&) { return false; }

bool SilentWebPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) {
  return false;
}

}  // namespace ui
