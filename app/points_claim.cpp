#include "app/points_claim.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

#include "net/encoding.h"
#include "net/http_request.h"
#include "net/smtp_client.h"
#include "net/text_extract.h"
#include "ui/message_box.h"
#include "ui/text_qt.h"

namespace app {
namespace {

constexpr const char* kCodePath = "/others/api/lp/xtcapi/jymapi.php";
// The service's reply carries the code between these two markers.
constexpr const char* kCodeLeftMarker = "{xtcjym\"";
constexpr const char* kCodeRightMarker = "\"jym}";

net::Text entry_text(const QLineEdit* entry) {
  return entry ? ui::to_text(entry->text()) : net::Text();
}

// Shows work in progress on the cursor for as long as it lives.
class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(Qt::BusyCursor); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

PointsClaim::PointsClaim(QWidget* page, const PointsClaimControls& controls,
                         const MakerValues& values, net::Text& verification_code)
    : QObject(page),
      values_(values),
      verification_code_(verification_code),
      button_(&controls.button),
      claim_id_(&controls.claim_id),
      typed_code_(&controls.typed_code),
      qq_number_(&controls.qq_number) {
  connect(button_, &QPushButton::clicked, this, &PointsClaim::claim);
}

void PointsClaim::claim() {
  if (running_) return;
  // The network waits and the message box let other events run, and with them, in principle,
  // the page's end; nothing of this object is touched once it is gone.
  const QPointer<PointsClaim> alive(this);
  running_ = true;
  set_button_enabled(false);
  const auto finish = qScopeGuard([this, alive] {
    if (!alive) return;
    running_ = false;
    set_button_enabled(true);
  });

  const std::optional<Outcome> outcome = [&] {
    const BusyCursor busy;
    return fetch_compare_and_send(alive);
  }();
  if (!outcome) return;
  switch (*outcome) {
    case Outcome::CodeUnavailable:
      ui::message_box(QStringLiteral("未能获取校验码，请检查网络后重试"));
      break;
    case Outcome::CodeMismatch:
      ui::message_box(QStringLiteral("校验码错误"));
      break;
    case Outcome::MailFailed:
      ui::message_box(QStringLiteral("发送失败，请稍后重试"));
      break;
    case Outcome::MailSent:
      ui::message_box(QStringLiteral("成功！请添加QQ！"), ui::kMessageInformation,
                      QStringLiteral("正在处理中"));
      break;
  }
}

std::optional<PointsClaim::Outcome> PointsClaim::fetch_compare_and_send(
    const QPointer<PointsClaim>& alive) {
  const net::Text url = "http://" + net::utf8_to_gbk(values_.code_service_host) + kCodePath;
  // Bounded as a whole, whatever the per-phase time-outs: a slow service cannot hold a claim.
  net::Text reply = net::http_request(url, {.method = 1, .overall_timeout_seconds = 120});
  if (!alive) return std::nullopt;
  verification_code_ = std::move(reply);
  verification_code_ =
      net::text_between(verification_code_, kCodeLeftMarker, kCodeRightMarker, 0, false);

  // No code (service down, time-out, markers missing) matches nothing, not even an empty entry.
  if (verification_code_.empty()) return Outcome::CodeUnavailable;
  if (entry_text(typed_code_) != verification_code_) return Outcome::CodeMismatch;
  const bool sent = send_claim_mail();
  if (!alive) return std::nullopt;
  return sent ? Outcome::MailSent : Outcome::MailFailed;
}

bool PointsClaim::send_claim_mail() {
  static const net::Text subject = net::utf8_to_gbk("积分发放！");
  static const net::Text id_label = net::utf8_to_gbk("领取ID：");
  static const net::Text qq_label = net::utf8_to_gbk("\r\nQQ：");
  const net::SmtpServer server{
      .host = values_.smtp_host,
      .port = values_.smtp_port,
      .user_name = values_.mail_user,
      .password = values_.mail_auth_code,
  };
  const net::MailMessage mail{
      .subject = subject,
      .body = id_label + entry_text(claim_id_) + qq_label + entry_text(qq_number_),
      .to = values_.mailbox,
      .from = values_.mailbox,
  };
  return net::send_mail(server, mail).accepted;
}

void PointsClaim::set_button_enabled(bool enabled) {
  if (button_) button_->setEnabled(enabled);
}

}  // namespace app
