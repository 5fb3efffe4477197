// Panel 5, the fiscal printer console: a cashier's keyboard for the register
// in fiscal printer mode. The keys, the entry field and its marks, the extra
// text, the payment choice, the receipt list, the amount due, the exchange
// log and the link choice, bound to the engine's SalesConsole and the main
// window's PrinterLink; every rule (what a key sends, refuses, resets) is the
// engine's.
//
// The keys the register's own panel keeps out of sight (customer, tickets,
// status synchronisation and the less common reports with their dates, Z
// numbers and check boxes) sit in a group that stays closed until the user
// opens it with "Περισσότερα πλήκτρα".
//
// Keyboard: digits and the comma go to the entry field wherever the focus is
// (except into the fields that take text or numbers of their own: the extra
// text, the address, the dates and the Z numbers); Enter moves the focus to
// the entry field with its text selected; F2 to F11 are ΤΜ 1 to ΤΜ 10,
// Shift+F2 to Shift+F5 ΤΜ 11 to ΤΜ 14, F12 ΣΥΝΟΛΟ and Ctrl+Enter ΠΛΗΡΩΜΗ
// (each key's tool tip says so); Esc stops an exchange in flight.
//
// Threading: every key, and the opening of the link when the panel shows or
// the port or baud changes, runs on the panel's Worker (app/worker.h), the
// same arrangement as the transfer panel's. While it runs the keys and the
// link controls are disabled and the window paints; the engine's messages
// and Retry/Cancel questions come up as message boxes on the UI thread
// through the QtUserInterface; after each exchange the receipt list and the
// log are redrawn from a copy the worker posts. Only one key runs at a time,
// so a command never overlaps the next. Hiding the panel (another panel, a
// file command, closing or minimising the window) during an exchange sets
// the link's abort flag: the exchange ends at once as cancelled, then the
// panel's closing runs on the worker as described (an open receipt is
// voided, the link closed, the settings file written); the window stays
// locked until it is done and then completes the switch or the command. No
// event loop of our own runs for it. The console works on its own entry
// state and on its own copy of the data image, taken when it was shown (it
// only reads it, and the image cannot change while the console is shown),
// so nothing is shared with the worker.
#pragma once

#include <QFrame>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/panel.h"
#include "app/worker.h"
#include "console/sales_console.h"
#include "editors/field_edit.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace zel::app {

class FieldEdit;
class Ipv4Edit;

// The amount-due box: the amount field of the last subtotal reply, bold red
// fixed-pitch figures sized from the box.
class AmountBox : public QFrame {
  Q_OBJECT
 public:
  explicit AmountBox(QWidget* parent = nullptr);
  void SetAmount(const QString& amount);
  const QString& amount() const { return amount_; }
  // The font for a box of this size: six characters across, at most the
  // height less 15 pixels.
  QFont AmountFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString amount_;
};

// The exchange log: commands in the left box, replies in the right one, the
// last lines that fit, a failed exchange in red, one whose outcome is
// unknown (no intact reply) in orange.
class ExchangeLogView : public QWidget {
  Q_OBJECT
 public:
  explicit ExchangeLogView(QWidget* parent = nullptr);
  void SetLog(std::vector<LogLine> log);
  // The lines the boxes show now, and how many fit.
  std::vector<LogLine> Shown() const { return ShownLog(log_, LinesThatFit()); }
  int LinesThatFit() const;
  QRect Box(int side) const;  // 0 commands, 1 replies
  QFont LogFont() const;
  static QColor InkOf(const LogLine& line);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<LogLine> log_;
};

class ConsolePanel : public Panel {
  Q_OBJECT
 public:
  explicit ConsolePanel(const PanelContext& context, QWidget* parent = nullptr);
  ~ConsolePanel() override;

  void OnShow() override;
  // Going away: a key in flight is stopped, then an open receipt is voided
  // and the link closed on the worker; ReadyToHide once that is done.
  bool PrepareToHide() override;
  void OnHide() override;

  // A key pressed (click or shortcut): runs on the worker.
  void PressKey(const KeyInfo& key);
  // Ends the exchange in flight (Esc).
  void Stop();
  // A key, the opening of the link or the panel's first showing is running.
  bool busy() const { return worker_.running(); }

  // ---- For tests and the manual's pictures
  QPushButton* key_button(std::string_view caption) const;
  FieldEdit* entry_edit() const { return entry_; }
  QPlainTextEdit* extra_edit() const { return extra_; }
  QCheckBox* change_mark() const { return change_; }
  QCheckBox* void_mark() const { return void_; }
  QRadioButton* payment_button(int type) const { return payments_[static_cast<std::size_t>(type)]; }
  QListWidget* receipt_list() const { return receipt_; }
  AmountBox* amount_box() const { return amount_; }
  // What the last key came to, in words ("Ο ΦΗΜ δεν απάντησε (COM5)", …).
  QLabel* state_label() const { return state_; }
  // The quantity ΠΟΣΟΤΗΤΑ set for the next sale, while one is pending.
  QLabel* quantity_label() const { return quantity_; }
  ExchangeLogView* exchange_log() const { return log_; }
  QComboBox* port_list() const { return port_list_; }
  QComboBox* baud_list() const { return baud_list_; }
  Ipv4Edit* address_edit() const { return address_; }
  QToolButton* more_button() const { return more_button_; }
  QWidget* more_group() const { return more_group_; }
  QCheckBox* report_box(std::string_view caption) const;
  std::array<QDateEdit*, 2> date_pickers() const { return {from_date_, to_date_}; }
  std::array<FieldEdit*, 2> z_edits() const { return {from_z_, to_z_}; }
  // The engine behind the panel; read it only while the panel is not busy.
  const SalesConsole& console() const { return *console_; }

 signals:
  // A job has ended and the panel shows its outcome.
  void JobEnded();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What the worker posts after each exchange.
  struct Outcome {
    std::vector<DisplayLine> receipt;
    int selected_row = -1;
    std::string amount_due;
    std::vector<LogLine> log;
    KeyOutcome outcome = KeyOutcome::kNone;
    std::string text;  // the outcome in words
  };

  void BuildControls();
  QWidget* BuildKeyboard();
  QWidget* BuildMoreGroup();
  QPushButton* MakeKey(const KeyInfo& key, QWidget* parent);
  void FillPortList();
  // Runs `job` on the worker; `entry_changed` when the job may change the
  // entry state (a key), so it is shown again afterwards.
  void Launch(std::function<void()> job, bool entry_changed);
  void Ended(bool entry_changed);
  // The closing job: the console's Hide on the worker.
  void StartClosing();
  void SetBusy(bool busy);
  // The controls into the console's entry state, and back.
  void TakeEntry();
  void ShowEntry();
  void ShowMarks();
  void ShowReportBoxes();
  void ShowOutcome(const Outcome& outcome);
  Outcome OutcomeNow() const;
  void FocusEntry();
  // A digit or comma typed outside the entry field goes into it.
  bool RouteToEntry(QKeyEvent* event);
  void ExtraTextChanged();
  PrinterLink& printer_link() const;

  editors::PanelHooks hooks_;
  DataImage database_;  // the console's copy of the data image
  std::unique_ptr<SalesConsole> console_;
  std::array<std::uint8_t, 4> entry_value_{};
  std::array<std::uint8_t, 2> from_z_value_{}, to_z_value_{};
  std::unique_ptr<editors::FieldEditor> entry_editor_, from_z_editor_, to_z_editor_;

  FieldEdit* entry_ = nullptr;
  QPlainTextEdit* extra_ = nullptr;
  QString extra_accepted_;
  QCheckBox* change_ = nullptr;
  QCheckBox* void_ = nullptr;
  std::array<QRadioButton*, 3> payments_{};
  QButtonGroup* payment_group_ = nullptr;
  QListWidget* receipt_ = nullptr;
  AmountBox* amount_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* quantity_ = nullptr;
  ExchangeLogView* log_ = nullptr;
  QComboBox* port_list_ = nullptr;
  QComboBox* baud_list_ = nullptr;
  Ipv4Edit* address_ = nullptr;
  QToolButton* more_button_ = nullptr;
  QWidget* more_group_ = nullptr;
  QDateEdit* from_date_ = nullptr;
  QDateEdit* to_date_ = nullptr;
  FieldEdit* from_z_ = nullptr;
  FieldEdit* to_z_ = nullptr;
  std::vector<std::pair<std::string_view, QCheckBox*>> report_boxes_;
  std::vector<std::pair<KeyInfo, QPushButton*>> keys_;
  std::vector<std::string> port_entries_;
  bool showing_entry_ = false;
  bool unsaved_ = false;  // the unsaved-changes flag when the panel showed
  bool busy_look_ = false;
  // Where the panel is in going away.
  enum class Closing { kNo, kStopping, kVoiding, kDone };
  Closing closing_ = Closing::kNo;
  Worker worker_;
};

}  // namespace zel::app
