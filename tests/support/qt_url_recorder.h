// Catches every address handed to the desktop's browser or mail program during a test.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>

namespace test_support {

// While it exists, http, https and mailto addresses go to this recorder instead of a browser.
class UrlRecorder : public QObject {
  Q_OBJECT
 public:
  UrlRecorder();
  ~UrlRecorder() override;

  QStringList opened;  // every address, in order

 public slots:
  void record(const QUrl& url);
};

}  // namespace test_support
