// A web page that never opens a window of its own: no dialogs, refused certificates, no log-in.
#pragma once

#include <QString>
#include <QWebEnginePage>

namespace ui {

// For web views the program fills from the network. JavaScript dialogs (alert, confirm, prompt)
// get the answer of a dismissed dialog, certificate errors are refused and authentication, to a
// site or a proxy, is cancelled, all without a window. It remembers the address of the last
// hovered link, which the engine reports as status-bar text.
class SilentWebPage : public QWebEnginePage {
  Q_OBJECT
 public:
  explicit SilentWebPage(QObject* parent = nullptr);

  // The last hovered link's address; empty once the pointer has left every link.
  const QString& status_text() const { return status_text_; }

 protected:
  void javaScriptAlert(const QUrl& origin, const QString& message) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& default_value,
                        QString* result) override;

 private:
  QString status_text_;
};

}  // namespace ui
