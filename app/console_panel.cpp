#include "app/console_panel.h"

#include <qdrawutil.h>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

#include "app/beep.h"
#include "app/field_widgets.h"
#include "app/ipv4_edit.h"
#include "app/qt_user_interface.h"
#include "app/text.h"
#include "core/bytes.h"
#include "link/ports.h"
#include "link/transfer_panel.h"

namespace zel::app {
namespace {

constexpr std::string_view kAddressLabel = "ΦΗΜ-IP#";
constexpr std::string_view kReceiptLabel = "Απόδειξη";
constexpr std::string_view kAmountLabel = "Ποσό πληρωμής";
constexpr std::string_view kExtraLabel = "Πρόσθετο κείμενο";
constexpr std::array<std::string_view, 2> kLogLabels = {"Εντολές", "Απαντήσεις του ΦΗΜ"};
constexpr std::string_view kQuantityLabel = "Ποσότητα: ";
constexpr std::string_view kMoreKeysCaption = "Περισσότερα πλήκτρα";
constexpr std::string_view kShortcutTip = "Συντόμευση: ";
constexpr std::array<std::string_view, 2> kBaudEntries = {"115200", "9600"};
constexpr std::array<std::string_view, 4> kRangeLabels = {"ΑΠΟ", "ΕΩΣ", "ΑΠΟ Ζ#", "ΕΩΣ Ζ#"};
constexpr int kKeyHeight = 25;

QFont FixedFont(int pixel_size = 0, bool bold = false) {
  QFont f(QStringLiteral("Courier New"));
  f.setStyleHint(QFont::Monospace);
  f.setFixedPitch(true);
  f.setWeight(bold ? QFont::Bold : QFont::Normal);
  if (pixel_size > 0) f.setPixelSize(pixel_size);
  return f;
}

// A fixed-pitch font `height` pixels high whose characters are at most
// `width` pixels wide (narrowed when the font's own are wider).
QFont SizedFont(int height, int width, bool bold) {
  QFont f = FixedFont(std::max(height, 1), bold);
  const int natural = QFontMetrics(f).horizontalAdvance(QLatin1Char('W'));
  if (width > 0 && natural > width) f.setStretch(std::max(1, width * 100 / natural));
  return f;
}

QString Cp(std::string_view bytes) { return FromCp1253(bytes); }
QString Cp(const DisplayLine& line) {
  return FromCp1253(std::string_view(reinterpret_cast<const char*>(line.data()), line.size()));
}

PickedDate Picked(const QDate& d) { return {d.year(), d.month(), d.day()}; }
QDate DateOf(const PickedDate& d) { return QDate(d.year, d.month, d.day); }

// The port list is built again each time it is opened: serial adapters come
// and go while the program runs.
class PortListBox : public QComboBox {
 public:
  PortListBox(std::function<bool()> before_popup, QWidget* parent)
      : QComboBox(parent), before_popup_(std::move(before_popup)) {}
  void showPopup() override {
    if (before_popup_()) QComboBox::showPopup();
  }

 private:
  std::function<bool()> before_popup_;
};

// A register key: as wide as its caption needs, growing with the room the
// panel gives it.
class KeyButton : public QPushButton {
 public:
  KeyButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}
  QSize sizeHint() const override {
    return {fontMetrics().horizontalAdvance(text()) + 14, std::max(kKeyHeight, fontMetrics().height() + 8)};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }
};

// The keyboard shortcut of each key that has one.
QList<QKeySequence> ShortcutsOf(const KeyInfo& key) {
  switch (key.key) {
    case ConsoleKey::kDepartment:
      if (key.department <= 10) return {QKeySequence(Qt::Key_F2 + (key.department - 1))};
      return {QKeySequence(Qt::SHIFT | (Qt::Key_F2 + (key.department - 11)))};
    case ConsoleKey::kTotal: return {QKeySequence(Qt::Key_F12)};
    case ConsoleKey::kPayment: return {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    default: return {};
  }
}

}  // namespace

// ---- Amount-due box -------------------------------------------------------------

AmountBox::AmountBox(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setObjectName(QStringLiteral("amountDue"));
}

void AmountBox::SetAmount(const QString& amount) {
  amount_ = amount;
  update();
}

QFont AmountBox::AmountFont() const {
  const int w = width() / 6;
  const int h = std::min(height() - 15, 5 * w / 2);
  return SizedFont(h, std::min(w, 3 * h / 5), true);
}

void AmountBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  p.fillRect(contentsRect(), palette().color(QPalette::Window));
  if (amount_.isEmpty()) return;
  p.setFont(AmountFont());
  p.setPen(Qt::red);
  p.drawText(contentsRect().adjusted(6, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, amount_);
}

// ---- Exchange log -------------------------------------------------------------------

ExchangeLogView::ExchangeLogView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("exchangeLog"));
  setMinimumHeight(80);
}

QColor ExchangeLogView::InkOf(const LogLine& line) {
  if (line.outcome == CommandOutcome::kUnknown) return {0xC0, 0x60, 0x00};
  return line.failed ? QColor(Qt::red) : QColor(Qt::black);
}

void ExchangeLogView::SetLog(std::vector<LogLine> log) {
  log_ = std::move(log);
  update();
}

QRect ExchangeLogView::Box(int side) const {
  const int w = (width() - 6) / 2;
  return {side == 0 ? 0 : width() - w, 0, w, height()};
}

QFont ExchangeLogView::LogFont() const {
  const QRect left = Box(0);
  const int a = (left.width() - 20) / 60;
  int b = (left.height() - 30) / 5;
  if (5 * a < 2 * b) b = 5 * a / 2;
  const int width = 3 * b / 5 < a ? 3 * b / 5 : a;
  return SizedFont(b, width, false);
}

int ExchangeLogView::LinesThatFit() const {
  return std::max(0, (Box(0).height() - 20) / std::max(1, QFontMetrics(LogFont()).height()));
}

void ExchangeLogView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFont font = LogFont();
  const QFontMetrics metrics(font);
  p.setFont(font);
  const int line_height = std::max(1, metrics.height());
  const std::vector<LogLine> shown = Shown();
  for (int side = 0; side < 2; ++side) {
    const QRect box = Box(side);
    qDrawShadePanel(&p, box, palette(), true, 2);
    const QRect inner = box.adjusted(10, 10, -10, -10);
    p.fillRect(inner, palette().color(QPalette::Window));
    p.save();
    p.setClipRect(inner);
    const int room = std::max(0, (box.width() - 20) / std::max(1, metrics.horizontalAdvance(QLatin1Char('W'))));
    int row = 0;
    for (const LogLine& line : shown) {
      QString text = Cp(side == 0 ? line.command : line.reply).left(room);
      // Control bytes (the checksum places a LAN frame leaves empty) show
      // as blanks, not as the font's box for a missing character.
      for (QChar& c : text)
        if (c.unicode() < 0x20) c = QLatin1Char(' ');
      p.setPen(InkOf(line));
      p.drawText(QPoint(box.left() + 10, box.top() + 15 + row * line_height + metrics.ascent() - 4), text);
      ++row;
    }
    p.restore();
  }
}

// ---- The panel -------------------------------------------------------------------------

ConsolePanel::ConsolePanel(const PanelContext& context, QWidget* parent)
    : Panel(panel::kConsole, PanelCaption(panel::kConsole), context, parent), database_(context.image) {
  console_ = std::make_unique<SalesConsole>(database_, context.ui, printer_link());
  // The window's entry fields leave the unsaved-changes flag as it was, so
  // the console must not clear it either.
  console_->clear_unsaved_flag = false;
  console_->on_exchange = [this] {
    // On the worker: a copy for the UI thread to draw.
    QMetaObject::invokeMethod(
        this, [this, o = OutcomeNow()] { ShowOutcome(o); }, Qt::QueuedConnection);
  };
  const editors::EditorContext editor{&context.image, &context.ui, &context.shell.editor_shared(), &hooks_,
                                      editors::kPanelConsole};
  entry_editor_ = std::make_unique<editors::FieldEditor>(editor);
  from_z_editor_ = std::make_unique<editors::FieldEditor>(editor);
  to_z_editor_ = std::make_unique<editors::FieldEditor>(editor);
  setFocusPolicy(Qt::ClickFocus);
  BuildControls();
}

ConsolePanel::~ConsolePanel() {
  if (worker_.running()) {
    // Torn down without being hidden (the program ends): stop the exchange
    // and answer whatever it asks with Cancel; no event loop runs here.
    printer_link().link().abort.Set();
    worker_.CancelAndJoin(context().ui);
    printer_link().link().abort.Clear();
  }
  SetBusy(false);
  for (FieldEdit* e : {entry_, from_z_, to_z_}) e->Attach(nullptr);
}

PrinterLink& ConsolePanel::printer_link() const { return context().workspace.printer; }

QPushButton* ConsolePanel::key_button(std::string_view caption) const {
  for (const auto& [key, button] : keys_)
    if (key.caption == caption) return button;
  return nullptr;
}

QCheckBox* ConsolePanel::report_box(std::string_view caption) const {
  for (const auto& [c, box] : report_boxes_)
    if (c == caption) return box;
  return nullptr;
}

// ---- Building ----------------------------------------------------------------------------

QPushButton* ConsolePanel::MakeKey(const KeyInfo& key, QWidget* parent) {
  auto* b = new KeyButton(Utf8(key.caption), parent);
  b->setObjectName(QStringLiteral("key:") + Utf8(key.caption));
  b->setAutoDefault(false);  // Enter belongs to the panel: it goes to the entry field
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  const QList<QKeySequence> shortcuts = ShortcutsOf(key);
  if (!shortcuts.isEmpty()) {
    for (const QKeySequence& s : shortcuts) {
      auto* shortcut = new QShortcut(s, this);
      connect(shortcut, &QShortcut::activated, b, [b] {
        if (b->isEnabled()) b->click();
      });
    }
    b->setToolTip(Utf8(key.caption) + QStringLiteral(" \u2014 ") + Utf8(kShortcutTip) +
                  shortcuts.front().toString(QKeySequence::NativeText));
  }
  connect(b, &QPushButton::clicked, this, [this, key] { PressKey(key); });
  keys_.emplace_back(key, b);
  return b;
}

QWidget* ConsolePanel::BuildKeyboard() {
  auto* keyboard = new QWidget(this);
  auto* grid = new QVBoxLayout(keyboard);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(4);
  auto key = [&](std::string_view caption) { return MakeKey(*FindConsoleKey(caption), keyboard); };

  // The entry field and its marks.
  auto* entry_row = new QHBoxLayout;
  entry_ = new FieldEdit(keyboard);
  entry_->setObjectName(QStringLiteral("entry"));
  entry_->setFont(FixedFont(22, true));
  entry_->setAlignment(Qt::AlignRight);
  entry_->setMinimumWidth(170);
  entry_->Attach(entry_editor_.get());
  entry_->installEventFilter(this);
  change_ = new QCheckBox(Utf8(kChangeMarkCaption), keyboard);
  void_ = new QCheckBox(Utf8(kVoidMarkCaption), keyboard);
  quantity_ = new QLabel(keyboard);
  quantity_->setObjectName(QStringLiteral("pendingQuantity"));
  QFont quantity_font = quantity_->font();
  quantity_font.setBold(true);
  quantity_->setFont(quantity_font);
  quantity_->hide();
  entry_row->addWidget(entry_, 1);
  entry_row->addWidget(quantity_);
  entry_row->addSpacing(8);
  entry_row->addWidget(change_);
  entry_row->addWidget(void_);
  grid->addLayout(entry_row);

  // The fourteen departments.
  auto* departments = new QGridLayout;
  departments->setSpacing(4);
  for (int k = 1; k <= 14; ++k) {
    const std::string caption = "ΤΜ " + std::to_string(k);
    departments->addWidget(key(caption), (k - 1) / 7, (k - 1) % 7);
  }
  grid->addLayout(departments, 2);

  auto* sale_row = new QHBoxLayout;
  sale_row->setSpacing(4);
  sale_row->addWidget(key("ΕΙΔΟΣ"), 2);
  sale_row->addWidget(key("ΠΟΣΟΤΗΤΑ"), 2);
  sale_row->addWidget(key("ΟΛΙΚΗ ΑΚΥΡΩΣΗ"), 3);
  sale_row->addWidget(key("ΠΡΟΣΘΕΤΗ  ΠΕΡΙΓΡΑΦΗ"), 4);
  grid->addLayout(sale_row, 1);

  // Discounts and surcharges together; ΣΥΝΟΛΟ and ΠΛΗΡΩΜΗ large, with the
  // payment choice.
  auto* money = new QHBoxLayout;
  money->setSpacing(4);
  auto* adjustments = new QGridLayout;
  adjustments->setSpacing(4);
  int n = 0;
  for (const std::string_view caption : {"- %", "+ %", "-", "+", "ΜΣ-%", "ΜΣ+%", "ΜΣ -", "ΜΣ +"}) {
    adjustments->addWidget(key(caption), n / 4, n % 4);
    ++n;
  }
  money->addLayout(adjustments, 5);
  QPushButton* total = key("ΣΥΝΟΛΟ");
  QPushButton* payment = key("ΠΛΗΡΩΜΗ");
  for (QPushButton* b : {total, payment}) {
    QFont f = b->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.15);
    b->setFont(f);
  }
  money->addWidget(total, 2);
  money->addWidget(payment, 2);
  auto* choice = new QVBoxLayout;
  choice->setSpacing(0);
  payment_group_ = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    auto* r = new QRadioButton(Utf8(kPaymentCaptions[static_cast<std::size_t>(i)]), keyboard);
    payment_group_->addButton(r, i);
    payments_[static_cast<std::size_t>(i)] = r;
    choice->addWidget(r);
  }
  payments_[0]->setChecked(true);
  money->addLayout(choice);
  grid->addLayout(money, 2);

  auto* utilities = new QHBoxLayout;
  utilities->setSpacing(4);
  for (const std::string_view caption : {"ΧΑΡΤΙ", "ΣΥΡΤΑΡΙ", "ΜΕΤΑΦ.+", "ΜΕΤΑΦ.-", "ΗΜΕΡ.ΚΙΝΗ.Ζ", "ΑΝΑΦΟΡΑ  Χ"})
    utilities->addWidget(key(caption), caption.size() > 12 ? 3 : 2);
  grid->addLayout(utilities, 1);

  more_button_ = new QToolButton(keyboard);
  more_button_->setObjectName(QStringLiteral("moreKeys"));
  more_button_->setText(Utf8(kMoreKeysCaption));
  more_button_->setCheckable(true);
  more_button_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  more_button_->setArrowType(Qt::RightArrow);
  more_button_->setAutoRaise(true);
  grid->addWidget(more_button_, 0, Qt::AlignLeft);
  more_group_ = BuildMoreGroup();
  more_group_->setParent(keyboard);
  more_group_->hide();
  grid->addWidget(more_group_);
  connect(more_button_, &QToolButton::toggled, this, [this](bool open) {
    more_button_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    more_group_->setVisible(open);
  });

  connect(change_, &QCheckBox::clicked, this, [this](bool checked) {
    console_->ClickChangeMark(checked);
    ShowMarks();
    FocusEntry();
  });
  connect(void_, &QCheckBox::clicked, this, [this](bool checked) {
    console_->ClickVoidMark(checked);
    ShowMarks();
    FocusEntry();
  });
  return keyboard;
}

QWidget* ConsolePanel::BuildMoreGroup() {
  auto* group = new QGroupBox(this);
  group->setObjectName(QStringLiteral("moreGroup"));
  auto* rows = new QVBoxLayout(group);
  rows->setContentsMargins(6, 4, 6, 4);
  rows->setSpacing(4);
  auto key = [&](std::string_view caption) { return MakeKey(*FindConsoleKey(caption), group); };

  auto* first = new QHBoxLayout;
  for (const std::string_view caption : {"ΠΕΛΑΤΗΣ", "ΕΙΣΙΤΗΡΙΑ", "ΣΥΝΔ.ΣΤΟ ΦΗΜ", "ΑΝΤΙΓΡΑΦΟ ΤΕΛ. Ζ"})
    first->addWidget(key(caption));
  rows->addLayout(first);
  auto* second = new QHBoxLayout;
  for (const std::string_view caption : {"ΑΝΑΦΟΡΑ ΕΙΔΟΝ", "ΑΝΑΦΟΡΑ ΧΕΙΡΙΣΤΩΝ", "ΑΝΑΦΟΡΑ ΗΛ.ΑΡΧΕΙΩΝ"})
    second->addWidget(key(caption));
  rows->addLayout(second);

  // The fiscal-memory reports with their range and kind.
  auto* range = new QGridLayout;
  range->setHorizontalSpacing(4);
  range->setVerticalSpacing(2);
  range->addWidget(key("ΑΝΑΦΟΡΕΣ  ΦΜ"), 0, 0, 3, 1);
  from_date_ = new QDateEdit(group);
  to_date_ = new QDateEdit(group);
  for (QDateEdit* d : {from_date_, to_date_}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    d->setDate(QDate::currentDate());
    connect(d, &QDateEdit::dateChanged, this, [this] {
      if (!showing_entry_) console_->PickDates(Picked(from_date_->date()), Picked(to_date_->date()));
    });
  }
  from_z_ = new FieldEdit(group);
  to_z_ = new FieldEdit(group);
  from_z_->Attach(from_z_editor_.get());
  to_z_->Attach(to_z_editor_.get());
  for (FieldEdit* z : {from_z_, to_z_}) z->setMaximumWidth(60);
  QWidget* fields[] = {from_date_, to_date_, from_z_, to_z_};
  for (int i = 0; i < 4; ++i) {
    auto* label = new QLabel(Utf8(kRangeLabels[static_cast<std::size_t>(i)]), group);
    label->setBuddy(fields[i]);
    range->addWidget(label, i / 2, 1 + (i % 2) * 2, Qt::AlignRight);
    range->addWidget(fields[i], i / 2, 2 + (i % 2) * 2);
  }
  auto* kinds = new QHBoxLayout;
  for (const std::string_view caption : {kDetailedCaption, kByDateCaption, kPaehpsCaption, kLast3ZCaption}) {
    auto* box = new QCheckBox(Utf8(caption), group);
    kinds->addWidget(box);
    report_boxes_.emplace_back(caption, box);
    connect(box, &QCheckBox::clicked, this, [this, caption](bool checked) {
      console_->ClickReportBox(caption, checked);
      ShowReportBoxes();
    });
  }
  kinds->addStretch(1);
  range->addLayout(kinds, 2, 1, 1, 4);
  range->setColumnStretch(5, 1);
  rows->addLayout(range);
  return group;
}

void ConsolePanel::BuildControls() {
  // ---- Left: the link, the receipt, the amount due and the extra text.
  auto* left = new QVBoxLayout;
  left->setSpacing(5);
  auto* link_row = new QHBoxLayout;
  port_list_ = new PortListBox(
      [this] {
        if (busy()) return false;
        // Opening the list: the link is closed and the ports are probed again.
        printer_link().ClosePrinterLink();
        FillPortList();
        return true;
      },
      this);
  port_list_->setObjectName(QStringLiteral("portList"));
  port_list_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  port_list_->setMinimumContentsLength(14);
  port_list_->installEventFilter(this);
  baud_list_ = new QComboBox(this);
  baud_list_->setObjectName(QStringLiteral("baudList"));
  for (const std::string_view baud : kBaudEntries) baud_list_->addItem(Utf8(baud));
  baud_list_->installEventFilter(this);
  auto* address_label = new QLabel(Utf8(kAddressLabel), this);
  address_ = new Ipv4Edit(this);
  address_->setObjectName(QStringLiteral("address"));
  address_label->setBuddy(address_);
  link_row->addWidget(port_list_);
  link_row->addWidget(baud_list_);
  link_row->addStretch(1);
  left->addLayout(link_row);
  auto* address_row = new QHBoxLayout;
  address_row->addWidget(address_label);
  address_row->addWidget(address_);
  address_row->addStretch(1);
  left->addLayout(address_row);

  const auto caption = [this, left](std::string_view text, QWidget* buddy) {
    auto* label = new QLabel(Utf8(text), this);
    label->setBuddy(buddy);
    left->addWidget(label);
  };
  receipt_ = new QListWidget(this);
  receipt_->setObjectName(QStringLiteral("receiptList"));
  receipt_->setFont(FixedFont());
  receipt_->setSelectionMode(QAbstractItemView::SingleSelection);
  receipt_->installEventFilter(this);
  caption(kReceiptLabel, receipt_);
  left->addWidget(receipt_, 1);

  amount_ = new AmountBox(this);
  amount_->setMinimumHeight(64);
  caption(kAmountLabel, amount_);
  left->addWidget(amount_);

  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("consoleState"));
  state_->setWordWrap(true);
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  left->addWidget(state_);

  extra_ = new QPlainTextEdit(this);
  extra_->setObjectName(QStringLiteral("extraText"));
  extra_->setFont(FixedFont());
  extra_->setTabChangesFocus(true);
  extra_->setLineWrapMode(QPlainTextEdit::NoWrap);
  extra_->setToolTip(QStringLiteral("Πρόσθετο κείμενο: ΠΡΟΣΘΕΤΗ  ΠΕΡΙΓΡΑΦΗ, ΠΕΛΑΤΗΣ, περιγραφή πώλησης"));
  const int line = QFontMetrics(extra_->font()).lineSpacing();
  extra_->setFixedHeight(line * 3 + 2 * extra_->frameWidth() + 10);
  connect(extra_, &QPlainTextEdit::textChanged, this, [this] { ExtraTextChanged(); });
  caption(kExtraLabel, extra_);
  left->addWidget(extra_);

  auto* top = new QHBoxLayout;
  top->setSpacing(12);
  auto* left_side = new QWidget(this);
  left_side->setLayout(left);
  left->setContentsMargins(0, 0, 0, 0);
  left_side->setFixedWidth(350);
  top->addWidget(left_side);
  top->addWidget(BuildKeyboard(), 1);

  log_ = new ExchangeLogView(this);
  log_->setFixedHeight(96);
  auto* log_captions = new QHBoxLayout;
  for (const std::string_view text : kLogLabels) log_captions->addWidget(new QLabel(Utf8(text), this), 1);

  auto* body = new QVBoxLayout;
  body->setContentsMargins(10, 6, 10, 8);
  body->setSpacing(6);
  body->addLayout(top, 1);
  body->addLayout(log_captions);
  body->addWidget(log_);
  CaptionOver(body);

  // ---- What the controls do
  connect(port_list_, &QComboBox::activated, this, [this](int index) {
    ReadPortChoice(printer_link().selection, port_entries_, index);
    Launch(
        [&l = printer_link()] {
          l.ClosePrinterLink();
          l.OpenPrinterLink();
        },
        false);
  });
  connect(baud_list_, &QComboBox::activated, this, [this](int index) {
    printer_link().selection.baud_choice = index;
    Launch(
        [&l = printer_link()] {
          l.ClosePrinterLink();
          l.OpenPrinterLink();
        },
        false);
  });
  connect(address_, &Ipv4Edit::AddressChanged, this, [this](const IPv4& a) { printer_link().selection.ip = a; });
  // The entry fields are the console's own, not the database's: typing in
  // them is no change of the data image.
  for (FieldEdit* e : {entry_, from_z_, to_z_})
    connect(e, &QLineEdit::textEdited, this, [this] { image().state.modified = unsaved_; });

  // Every other widget leaves Enter and digits to the panel (see keyPressEvent).
  setTabOrder(entry_, extra_);
  resize(940, 536);
}

// ---- Showing and hiding ------------------------------------------------------------------

void ConsolePanel::OnShow() {
  unsaved_ = image().state.modified;
  PrinterLink& link = printer_link();
  // The port and the address are the program's (the transfer panel uses
  // them too); the baud choice is the console's own.
  link.selection.port = context().link.port;
  link.selection.reserved = context().link.reserved;
  link.selection.ip = context().link.ip;
  link.link().abort.Clear();
  FillPortList();
  DefaultRegisterAddress(link.selection);
  address_->SetAddress(link.selection.ip);
  baud_list_->setCurrentIndex(link.selection.baud_choice == 0 ? 0 : 1);
  ShowOutcome(Outcome{});
  Launch([c = console_.get()] { c->Show(); }, true);
}

bool ConsolePanel::PrepareToHide() {
  switch (closing_) {
    case Closing::kNo:
      closing_ = Closing::kStopping;
      if (worker_.running()) {
        // Hidden during an exchange: it ends now, as cancelled, and a
        // question it has up is answered Cancel. Ended goes on from there.
        printer_link().link().abort.Set();
        context().ui.CancelWorkerCalls();
      } else {
        StartClosing();
      }
      return false;
    case Closing::kStopping:
    case Closing::kVoiding: return false;
    case Closing::kDone: return true;
  }
  return true;
}

void ConsolePanel::StartClosing() {
  closing_ = Closing::kVoiding;
  SetBusy(true);
  // An open receipt is voided, the link closed and the selection kept in the
  // settings file; the window paints meanwhile and a question of the void
  // still comes up.
  worker_.Start([c = console_.get(), path = context().workspace.settings_path] { c->Hide(path); },
                [this] {
                  closing_ = Closing::kDone;
                  emit ReadyToHide();
                });
}

void ConsolePanel::OnHide() {
  const PrinterLink& link = printer_link();
  context().link.port = link.selection.port;
  context().link.ip = link.selection.ip;
}

void ConsolePanel::FillPortList() {
  const PortList list = ::zel::FillPortList(printer_link().selection);
  port_entries_ = list.entries;
  const QSignalBlocker block(port_list_);
  port_list_->clear();
  for (const std::string& entry : port_entries_) port_list_->addItem(Utf8(entry));
  port_list_->setCurrentIndex(list.selected);
}

// ---- Keys ------------------------------------------------------------------------------------

void ConsolePanel::PressKey(const KeyInfo& key) {
  if (busy()) return;
  // The daily Z closes the fiscal day and uses one of the fiscal memory's
  // closures: asked first, No the default. (With a receipt open the console
  // refuses it anyway.)
  if (key.key == ConsoleKey::kDailyZ && !console_->receipt_open() &&
      !context().ui.AskYesNo(kMsgConfirmDailyZ, Icon::kQuestion, false))
    return;
  TakeEntry();
  Launch([c = console_.get(), key] { c->Press(key); }, true);
}

void ConsolePanel::Stop() {
  if (busy()) printer_link().link().abort.Set();
}

void ConsolePanel::Launch(std::function<void()> job, bool entry_changed) {
  if (busy()) return;
  SetBusy(true);
  worker_.Start(std::move(job), [this, entry_changed] { Ended(entry_changed); });
}

void ConsolePanel::Ended(bool entry_changed) {
  printer_link().link().abort.Clear();
  if (closing_ == Closing::kStopping) {
    // The key that was in flight has ended: now the closing.
    context().ui.AcceptWorkerCalls();
    StartClosing();
    return;
  }
  SetBusy(false);
  if (entry_changed) ShowEntry();
  ShowOutcome(OutcomeNow());
  FocusEntry();
  emit JobEnded();
}

void ConsolePanel::SetBusy(bool busy) {
  for (const auto& [key, button] : keys_) button->setEnabled(!busy);
  for (QWidget* w : std::initializer_list<QWidget*>{entry_, extra_, change_, void_, port_list_, baud_list_, address_,
                                                    from_date_, to_date_, from_z_, to_z_})
    w->setEnabled(!busy);
  for (QRadioButton* r : payments_) r->setEnabled(!busy);
  for (const auto& [caption, box] : report_boxes_) box->setEnabled(!busy);
  if (busy == busy_look_) return;
  busy_look_ = busy;
  if (busy) {
    // The panel holds the focus meanwhile, so Esc (Stop) reaches it.
    setFocus(Qt::OtherFocusReason);
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

// ---- Entry state -----------------------------------------------------------------------------

void ConsolePanel::TakeEntry() {
  EntryState& e = console_->entry;
  entry_editor_->Commit();
  e.value = le::GetI32(entry_value_.data());
  from_z_editor_->Commit();
  to_z_editor_->Commit();
  console_->reports.from_z = le::Get16(from_z_value_.data());
  console_->reports.to_z = le::Get16(to_z_value_.data());
  e.extra_lines.clear();
  for (const QString& line : extra_->toPlainText().split(QLatin1Char('\n'))) {
    const QByteArray utf8 = line.toUtf8();
    e.extra_lines.push_back(
        editors::TypedText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))).value_or(""));
  }
  if (extra_->toPlainText().isEmpty()) e.extra_lines.clear();
  e.payment_type = std::max(0, payment_group_->checkedId());
}

void ConsolePanel::ShowEntry() {
  showing_entry_ = true;
  const EntryState& e = console_->entry;
  {
    const KeepUnsavedFlag kept(image());
    le::PutI32(entry_value_.data(), e.value);
    entry_editor_->Bind({editors::FieldKind::kLongNumber, 9, 5, 3, entry_value_});
    le::Put16(from_z_value_.data(), console_->reports.from_z);
    le::Put16(to_z_value_.data(), console_->reports.to_z);
    from_z_editor_->Bind({editors::FieldKind::kShortNumber, 4, 4, 0, from_z_value_});
    to_z_editor_->Bind({editors::FieldKind::kShortNumber, 4, 4, 0, to_z_value_});
  }
  QStringList lines;
  for (const std::string& l : e.extra_lines) lines << Cp(l);
  extra_accepted_ = lines.join(QLatin1Char('\n'));
  {
    const QSignalBlocker block(extra_);
    extra_->setPlainText(extra_accepted_);
  }
  ShowMarks();
  quantity_->setVisible(e.quantity != 1000);
  quantity_->setText(Utf8(kQuantityLabel) + Utf8(QuantityText(e.quantity)));
  payments_[static_cast<std::size_t>(std::clamp(e.payment_type, 0, 2))]->setChecked(true);
  ShowReportBoxes();
  from_date_->setDate(DateOf(console_->reports.from_picked));
  to_date_->setDate(DateOf(console_->reports.to_picked));
  showing_entry_ = false;
}

void ConsolePanel::ShowMarks() {
  change_->setChecked(console_->entry.change_mark);
  void_->setChecked(console_->entry.void_mark);
}

void ConsolePanel::ShowReportBoxes() {
  const ReportSelection& r = console_->reports;
  for (const auto& [caption, box] : report_boxes_) {
    box->setChecked(caption == kDetailedCaption ? r.detailed
                    : caption == kByDateCaption ? r.by_date
                    : caption == kPaehpsCaption ? r.paehps
                                                : r.last_3z);
  }
}

void ConsolePanel::FocusEntry() {
  entry_->setFocus(Qt::OtherFocusReason);
  entry_->selectAll();
}

void ConsolePanel::ExtraTextChanged() {
  const QString text = extra_->toPlainText();
  const QByteArray utf8 = text.toUtf8();
  if (editors::TypedText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())))) {
    extra_accepted_ = text;
    return;
  }
  // A character code page 1253 cannot hold is refused like a bad keystroke.
  const int caret = extra_->textCursor().position();
  const int moved = static_cast<int>(text.size() - extra_accepted_.size());
  {
    const QSignalBlocker block(extra_);
    extra_->setPlainText(extra_accepted_);
  }
  QTextCursor cursor = extra_->textCursor();
  cursor.setPosition(std::clamp(caret - std::max(moved, 0), 0, static_cast<int>(extra_accepted_.size())));
  extra_->setTextCursor(cursor);
  Beep(400, 40);
}

// ---- Outcome --------------------------------------------------------------------------------

ConsolePanel::Outcome ConsolePanel::OutcomeNow() const {
  return {console_->receipt_list(), console_->selected_row(), console_->amount_due(),
          console_->exchange_log(), console_->outcome(),      console_->outcome_text()};
}

void ConsolePanel::ShowOutcome(const Outcome& o) {
  receipt_->clear();
  for (const DisplayLine& line : o.receipt) receipt_->addItem(Cp(line));
  if (o.selected_row >= 0 && o.selected_row < receipt_->count()) receipt_->setCurrentRow(o.selected_row);
  receipt_->scrollToBottom();
  amount_->SetAmount(Cp(o.amount_due));
  log_->SetLog(o.log);
  // Refusals in red, what is not known in orange, the rest plain.
  const char* colour = o.outcome == KeyOutcome::kRefusal || o.outcome == KeyOutcome::kNotSent ? "#c00000"
                       : o.outcome == KeyOutcome::kUnknown                                    ? "#c06000"
                                                                                              : "";
  state_->setStyleSheet(*colour ? QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(QLatin1String(colour))
                                : QString());
  state_->setText(Utf8(o.text));
}

// ---- Keyboard ---------------------------------------------------------------------------------

bool ConsolePanel::RouteToEntry(QKeyEvent* event) {
  if (busy() || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
  QString text = event->text();
  const bool keypad_point = event->modifiers().testFlag(Qt::KeypadModifier) && text == QLatin1String(".");
  if (keypad_point) text = QStringLiteral(",");
  if (text.size() != 1 || !(text[0].isDigit() || text[0] == QLatin1Char(','))) return false;
  if (!entry_->hasFocus()) {
    entry_->setFocus(Qt::OtherFocusReason);
    // A zero is replaced by what is typed, a number is carried on.
    if (le::GetI32(entry_value_.data()) == 0 && entry_editor_->text().find_first_not_of("0,") == std::string::npos)
      entry_->selectAll();
    else
      entry_->end(false);
  }
  QKeyEvent copy(event->type(), text == QLatin1String(",") ? Qt::Key_Comma : event->key(),
                 event->modifiers() & ~Qt::KeypadModifier, text);
  QCoreApplication::sendEvent(entry_, &copy);
  return true;
}

void ConsolePanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && busy()) {
    Stop();
    event->accept();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    // The hidden default button: Enter goes back to the entry field.
    if (!busy()) FocusEntry();
    event->accept();
    return;
  }
  if (RouteToEntry(event)) {
    event->accept();
    return;
  }
  Panel::keyPressEvent(event);
}

bool ConsolePanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // The keypad's point is the comma in the entry field too.
    if (watched == entry_ && key->modifiers().testFlag(Qt::KeypadModifier) && key->text() == QLatin1String(".")) {
      QKeyEvent comma(QEvent::KeyPress, Qt::Key_Comma, key->modifiers() & ~Qt::KeypadModifier, QStringLiteral(","));
      QCoreApplication::sendEvent(entry_, &comma);
      return true;
    }
    // The lists would search their entries with a digit.
    if ((watched == receipt_ || watched == port_list_ || watched == baud_list_) && RouteToEntry(key)) return true;
  }
  return Panel::eventFilter(watched, event);
}

}  // namespace zel::app
