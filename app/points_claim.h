// The points claim of page 2: fetch the current code, compare it with the typed one, mail the
// claim.
#pragma once

#include <QObject>
#include <QPointer>
#include <optional>

#include "app/maker_values.h"
#include "net/text.h"

class QLineEdit;
class QPushButton;
class QWidget;

namespace app {

// The controls of page 2 a claim reads and drives.
struct PointsClaimControls {
  QPushButton& button;    // 按钮4, "领取"
  QLineEdit& claim_id;    // 编辑框1
  QLineEdit& typed_code;  // 编辑框3
  QLineEdit& qq_number;   // 编辑框4
};

class PointsClaim : public QObject {
  Q_OBJECT
 public:
  // Claims on each click of the button. The page becomes the parent; verification_code must
  // outlive it.
  PointsClaim(QWidget* page, const PointsClaimControls& controls, const MakerValues& values,
              net::Text& verification_code);

  // Runs one claim to its message box. While it runs, 按钮4 is disabled, the cursor shows work in
  // progress and a further call returns at once.
  void claim();

 private:
  enum class Outcome { CodeUnavailable, CodeMismatch, MailFailed, MailSent };

  // The network part of a claim; no value when the page went away meanwhile.
  std::optional<Outcome> fetch_compare_and_send(const QPointer<PointsClaim>& alive);
  bool send_claim_mail();
  void set_button_enabled(bool enabled);

  MakerValues values_;
  net::Text& verification_code_;
  QPointer<QPushButton> button_;
  QPointer<QLineEdit> claim_id_;
  QPointer<QLineEdit> typed_code_;
  QPointer<QLineEdit> qq_number_;
  bool running_ = false;
};

}  // namespace app
