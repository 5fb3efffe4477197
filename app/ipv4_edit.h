// An IPv4 address control: four 0-255 fields with dots between them, typed
// the way dealers know from the register's own address controls.
//
// - Digits only; a field holds at most three. Filling the third digit, or
//   typing "." (or "," from a Greek keypad) after the digits of a field,
//   moves to the next field with its text selected, so typing runs on
//   ("192.168.1.50" and "1921681.50" give the same address).
// - Backspace or Left at the start of a field moves to the end of the one
//   before; Right at the end moves to the next.
// - A value above 255 becomes 255 with the refused-key beep.
// - Pasting a whole dotted address into any field fills all four.
// - A blank field reads as 0; leaving a field shows its value without leading
//   zeros.
// - AddressChanged is emitted when the user's typing changes the address (one
//   octet or more); SetAddress, which loads the control, does not emit it.
// The control is one stop of the focus chain (its first field); the other
// fields take the focus by typing or clicking.
//
// UI thread only.
#pragma once

#include <QFrame>
#include <array>
#include <optional>

#include "core/data_image.h"

class QLineEdit;

namespace zel::app {

class Ipv4Edit : public QFrame {
  Q_OBJECT
 public:
  explicit Ipv4Edit(QWidget* parent = nullptr);

  void SetAddress(const IPv4& address);
  IPv4 address() const { return value_; }

  // Field i (0 to 3), for tests and for a panel that needs to focus one.
  QLineEdit* octet(int i) const { return fields_[static_cast<std::size_t>(i)]; }

 signals:
  void AddressChanged(const zel::IPv4& address);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int IndexOf(const QObject* field) const;
  void Edited(int i);
  void MoveTo(int i, bool select_all, bool at_end);
  bool PasteAddress(int i);
  void Normalise(int i);
  IPv4 FromFields() const;

  std::array<QLineEdit*, 4> fields_{};
  IPv4 value_{0, 0, 0, 0};
};

// "192.168.1.50" (also with blanks around the parts) as four octets; nothing
// when the text is not four numbers of 0 to 255.
std::optional<IPv4> ParseDottedAddress(const QString& text);

}  // namespace zel::app
