#include "app/ipv4_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "app/beep.h"

namespace zel::app {
namespace {

constexpr int kMaxDigits = 3;
constexpr int kMaxOctet = 255;

}  // namespace

std::optional<IPv4> ParseDottedAddress(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  if (parts.size() != 4) return std::nullopt;
  IPv4 out{};
  for (qsizetype i = 0; i < 4; ++i) {
    const QString p = parts[i].trimmed();
    bool ok = false;
    const int v = p.toInt(&ok, 10);
    if (!ok || p.isEmpty() || p.size() > kMaxDigits || v < 0 || v > kMaxOctet || p.startsWith(QLatin1Char('+')))
      return std::nullopt;
    out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
  }
  return out;
}

Ipv4Edit::Ipv4Edit(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ipv4Edit"));
  // Drawn like one line edit: a sunken white box holding the four fields.
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(2, 1, 2, 1);
  layout->setSpacing(0);
  const auto* validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (i > 0) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setBackgroundRole(QPalette::Base);
      layout->addWidget(dot);
    }
    auto* f = new QLineEdit(this);
    f->setObjectName(QStringLiteral("octet%1").arg(i));
    f->setFrame(false);
    f->setAlignment(Qt::AlignCenter);
    f->setMaxLength(kMaxDigits);
    f->setValidator(validator);
    f->setText(QStringLiteral("0"));
    f->setFixedWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 4);
    // One stop of the focus chain: Tab goes from the first field to the next
    // control, not through the four octets.
    if (i > 0) f->setFocusPolicy(Qt::ClickFocus);
    f->installEventFilter(this);
    const int index = static_cast<int>(i);
    connect(f, &QLineEdit::textEdited, this, [this, index] { Edited(index); });
    layout->addWidget(f);
    fields_[i] = f;
  }
  setFocusProxy(fields_[0]);
  setFocusPolicy(Qt::StrongFocus);
}

void Ipv4Edit::SetAddress(const IPv4& address) {
  value_ = address;
  for (std::size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::number(address[i]));
}

IPv4 Ipv4Edit::FromFields() const {
  IPv4 out{};
  for (std::size_t i = 0; i < fields_.size(); ++i)
    out[i] = static_cast<std::uint8_t>(std::min(fields_[i]->text().toInt(), kMaxOctet));
  return out;
}

int Ipv4Edit::IndexOf(const QObject* field) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i] == field) return static_cast<int>(i);
  }
  return -1;
}

void Ipv4Edit::MoveTo(int i, bool select_all, bool at_end) {
  QLineEdit* f = octet(i);
  f->setFocus(Qt::OtherFocusReason);
  if (select_all) {
    f->selectAll();
  } else {
    f->deselect();
    f->setCursorPosition(at_end ? static_cast<int>(f->text().size()) : 0);
  }
}

void Ipv4Edit::Edited(int i) {
  QLineEdit* f = octet(i);
  if (f->text().toInt() > kMaxOctet) {
    f->setText(QString::number(kMaxOctet));
    Beep(400, 40);
  }
  const IPv4 now = FromFields();
  if (now != value_) {
    value_ = now;
    emit AddressChanged(value_);
  }
  if (i < 3 && f->text().size() == kMaxDigits && f->cursorPosition() == kMaxDigits) MoveTo(i + 1, true, false);
}

void Ipv4Edit::Normalise(int i) {
  QLineEdit* f = octet(i);
  if (!f->text().isEmpty()) f->setText(QString::number(f->text().toInt()));
}

bool Ipv4Edit::PasteAddress(int i) {
  const std::optional<IPv4> pasted = ParseDottedAddress(QApplication::clipboard()->text());
  if (!pasted) return false;
  SetAddress(*pasted);
  MoveTo(i, false, true);
  emit AddressChanged(value_);
  return true;
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
  const int i = IndexOf(watched);
  if (i < 0) return QFrame::eventFilter(watched, event);
  QLineEdit* f = octet(i);
  if (event->type() == QEvent::FocusOut) {
    Normalise(i);
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  const bool at_start = f->cursorPosition() == 0 && !f->hasSelectedText();
  const bool at_end = f->cursorPosition() == f->text().size() && !f->hasSelectedText();
  if (key->matches(QKeySequence::Paste)) return PasteAddress(i);
  if (key->text() == QLatin1String(".") || key->text() == QLatin1String(",")) {
    // A field entered by moving on has its text selected: the dot typed
    // after a full field belongs to that field and does not move again.
    if (i < 3 && !f->text().isEmpty() && !f->hasSelectedText()) MoveTo(i + 1, true, false);
    return true;  // a separator is never part of a field
  }
  switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Left:
      if (i > 0 && at_start) {
        MoveTo(i - 1, false, true);
        return true;
      }
      break;
    case Qt::Key_Right:
      if (i < 3 && at_end) {
        MoveTo(i + 1, false, false);
        return true;
      }
      break;
    default: break;
  }
  return false;
}

}  // namespace zel::app
