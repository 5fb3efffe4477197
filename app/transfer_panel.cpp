#include "app/transfer_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/beep.h"
#include "app/difference_dialog.h"
#include "app/ipv4_edit.h"
#include "app/qt_user_interface.h"
#include "link/ports.h"

namespace zel::app {
namespace {

QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QString ControlName(int id) { return QStringLiteral("control%1").arg(id); }

// Each mark stands just left of its own kind box, in a column of its own;
// the next column of kinds begins a clear gap further on, so a mark is never
// read as belonging to the label before it.
constexpr int kMarkWidth = 16;
constexpr int kMarkToBox = 4;
constexpr int kColumnGap = 32;
// The Start button's caption while it is the Stop button.
constexpr std::string_view kStopCaption = "ΔΙΑΚΟΠΗ";

// The link list refills itself each time it is opened: serial adapters come
// and go while the program runs.
class LinkListBox : public QComboBox {
 public:
  LinkListBox(std::function<void()> before_popup, QWidget* parent)
      : QComboBox(parent), before_popup_(std::move(before_popup)) {}
  void showPopup() override {
    before_popup_();
    QComboBox::showPopup();
  }

 private:
  std::function<void()> before_popup_;
};

enum class Picture { kStart, kStop, kCheck };

// The pictures of the Start/Stop and check buttons, drawn here.
QIcon ButtonPicture(Picture picture) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  switch (picture) {
    case Picture::kStart:
      p.setBrush(QColor(78, 154, 6));
      p.drawEllipse(QRectF(2, 2, 28, 28));
      p.setBrush(Qt::white);
      p.drawPolygon(QPolygonF({QPointF(12, 8), QPointF(12, 24), QPointF(25, 16)}));
      break;
    case Picture::kStop: {
      QPolygonF octagon;
      for (const auto& [x, y] : {std::pair{10, 2}, {22, 2}, {30, 10}, {30, 22}, {22, 30}, {10, 30}, {2, 22}, {2, 10}})
        octagon << QPointF(x, y);
      p.setBrush(QColor(204, 0, 0));
      p.drawPolygon(octagon);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(10, 10, 12, 12));
      break;
    }
    case Picture::kCheck:
      p.setBrush(QColor(52, 101, 164));
      p.drawEllipse(QRectF(2, 2, 28, 28));
      p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF({QPointF(9, 16), QPointF(14, 22), QPointF(23, 10)}));
      break;
  }
  return QIcon(pixmap);
}

}  // namespace

TransferPanel::TransferPanel(const PanelContext& context, QWidget* parent)
    : Panel(panel::kTransfer, Utf8(kTransferTitle), context, parent) {
  BuildControls();
  QtUserInterface& ui = context.ui;
  connect(&ui, &QtUserInterface::ProgressRangeChanged, this,
          [this](int max) { progress_->setRange(0, std::max(max, 1)); });
  connect(&ui, &QtUserInterface::ProgressChanged, this, [this](int position) { progress_->setValue(position); });
  connect(&ui, &QtUserInterface::KindMarked, this, [this](int kind, UserInterface::Mark mark) { SetMark(kind, mark); });
}

TransferPanel::~TransferPanel() {
  destroying_ = true;
  if (worker_.running()) {
    // Only when the program is torn down in the middle: stop the worker,
    // answer whatever it waits for (or will ask) with Cancel, and join it.
    // No event loop runs here: the worker needs nothing more of this thread.
    session().abort.Set();
    worker_.CancelAndJoin(context().ui);
    session().abort.Clear();
  }
  if (running()) {
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
  }
}

LinkSession& TransferPanel::session() const { return context().workspace.programming; }

QWidget* TransferPanel::control(int id) const { return findChild<QWidget*>(ControlName(id)); }

// ---- Building ---------------------------------------------------------------------

void TransferPanel::BuildControls() {
  // Made in the order of the focus chain; placed by the layouts below.
  auto* title = new QLabel(caption(), this);
  title->setObjectName(ControlName(kTitleStatic));
  QFont title_font = title->font();
  title_font.setBold(true);
  title_font.setPointSizeF(title_font.pointSizeF() * 1.2);
  title->setFont(title_font);
  title->setAlignment(Qt::AlignCenter);

  auto* path_label = new QLabel(Utf8(kReportPathLabel), this);
  path_edit_ = new QLineEdit(this);
  path_edit_->setObjectName(ControlName(kReportPathEdit));
  path_label->setBuddy(path_edit_);
  path_button_ = new QPushButton(Utf8(kChooserCaption), this);
  path_button_->setObjectName(ControlName(kReportPathButton));

  read_ = new QRadioButton(Utf8(kReadCaption), this);
  read_->setObjectName(ControlName(kReadRadio));
  read_->setChecked(true);
  write_ = new QRadioButton(Utf8(kWriteCaption), this);
  write_->setObjectName(ControlName(kWriteRadio));

  auto* address_label = new QLabel(Utf8(kAddressLabel), this);
  address_ = new Ipv4Edit(this);
  address_->setObjectName(ControlName(kAddressControl));
  address_label->setBuddy(address_);

  auto* link_label = new QLabel(Utf8(kLinkLabel), this);
  link_list_ = new LinkListBox([this] { FillLinkList(true); }, this);
  link_list_->setObjectName(ControlName(kLinkList));
  link_list_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  link_list_->setMinimumContentsLength(14);
  link_label->setBuddy(link_list_);
  baud_list_ = new QComboBox(this);
  baud_list_->setObjectName(ControlName(kBaudList));
  for (const std::string_view baud : kBaudEntries) baud_list_->addItem(Utf8(baud));

  QFont mark_font(QStringLiteral("Courier New"));
  mark_font.setStyleHint(QFont::Monospace);
  mark_font.setFixedPitch(true);
  mark_font.setWeight(QFont::Normal);
  auto* kinds = new QGroupBox(this);
  kinds->setObjectName(QStringLiteral("kinds"));
  auto* kind_grid = new QGridLayout(kinds);
  kind_grid->setHorizontalSpacing(kMarkToBox);
  constexpr int kRowsPerColumn = 7;
  for (std::size_t n = 0; n < kKindBoxOrder.size(); ++n) {
    const KindInfo& info = InfoOf(kKindBoxOrder[n]);
    const auto index = static_cast<std::size_t>(info.kind);
    auto* mark = new QLabel(kinds);
    mark->setObjectName(QStringLiteral("mark%1").arg(info.control_id));
    mark->setFont(mark_font);
    mark->setAlignment(Qt::AlignCenter);
    mark->setFixedWidth(kMarkWidth);
    auto* box = new QCheckBox(Utf8(info.caption), kinds);
    box->setObjectName(ControlName(info.control_id));
    // Per column of kinds: mark, box, then a gap column before the next.
    const int column = static_cast<int>(n) / kRowsPerColumn * 3;
    const int row = static_cast<int>(n) % kRowsPerColumn;
    kind_grid->addWidget(mark, row, column);
    kind_grid->addWidget(box, row, column + 1, Qt::AlignLeft);
    if (column > 0) kind_grid->setColumnMinimumWidth(column - 1, kColumnGap);
    boxes_[index] = box;
    marks_[index] = mark;
  }
  kind_grid->setColumnStretch(kind_grid->columnCount(), 1);

  sales_report_ = new QCheckBox(Utf8(kSalesReportCaption), this);
  sales_report_->setObjectName(ControlName(kSalesReportBox));
  clear_sales_ = new QCheckBox(Utf8(kClearSalesCaption), this);
  clear_sales_->setObjectName(ControlName(kClearSalesBox));

  start_ = new QPushButton(ButtonPicture(Picture::kStart), Utf8(kStartCaption), this);
  start_->setObjectName(ControlName(kStartButton));
  start_->setProperty("picture", QStringLiteral("start"));
  check_ = new QPushButton(ButtonPicture(Picture::kCheck), Utf8(kCheckCaption), this);
  check_->setObjectName(ControlName(kCheckButton));
  for (QPushButton* b : {path_button_, start_, check_}) b->setAutoDefault(true);  // Enter presses the focused one
  for (QPushButton* b : {start_, check_}) {
    b->setIconSize(QSize(24, 24));
    b->setMinimumHeight(40);
  }

  progress_ = new QProgressBar(this);
  progress_->setObjectName(ControlName(kProgressBar));
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);
  progress_->setValue(0);

  // ---- Layout
  auto* path_row = new QHBoxLayout;
  path_row->addWidget(path_edit_, 1);
  path_row->addWidget(path_button_);

  auto* direction = new QHBoxLayout;
  direction->addWidget(read_);
  direction->addWidget(write_);
  direction->addStretch(1);

  auto* link_grid = new QGridLayout;
  link_grid->addWidget(link_label, 0, 0);
  link_grid->addWidget(link_list_, 0, 1);
  link_grid->addWidget(baud_list_, 0, 2);
  link_grid->addWidget(address_label, 1, 0);
  link_grid->addWidget(address_, 1, 1, Qt::AlignLeft);
  link_grid->setColumnStretch(3, 1);

  auto* options = new QHBoxLayout;
  options->addWidget(sales_report_);
  options->addWidget(clear_sales_);
  options->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(check_);
  buttons->addStretch(1);

  auto* right = new QVBoxLayout;
  right->addLayout(direction);
  right->addSpacing(8);
  right->addLayout(link_grid);
  right->addSpacing(8);
  right->addLayout(options);
  BuildSafetyControls(direction, right, buttons);
  right->addStretch(1);
  right->addLayout(buttons);

  auto* body = new QHBoxLayout;
  body->addWidget(kinds);
  body->addSpacing(12);
  body->addLayout(right, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 12, 16, 12);
  layout->addWidget(title);
  layout->addSpacing(6);
  layout->addWidget(path_label);
  layout->addLayout(path_row);
  layout->addSpacing(6);
  layout->addLayout(body, 1);
  layout->addSpacing(6);
  layout->addWidget(progress_);

  // ---- What the controls do
  connect(path_edit_, &QLineEdit::textEdited, this,
          [this](const QString& text) { context().workspace.report_path = QFile::encodeName(text).toStdString(); });
  connect(path_button_, &QPushButton::clicked, this, [this] { ChooseReportPath(); });
  connect(read_, &QRadioButton::clicked, this, [this] { UpdateKindControls(); });
  connect(write_, &QRadioButton::clicked, this, [this] { UpdateKindControls(); });
  connect(boxes_[static_cast<std::size_t>(Kind::kItems)], &QCheckBox::clicked, this, [this] { UpdateKindControls(); });
  connect(address_, &Ipv4Edit::AddressChanged, this, [this](const IPv4& a) { context().link.ip = a; });
  connect(baud_list_, &QComboBox::activated, this, [this](int index) { context().link.baud_choice = index; });
  connect(start_, &QPushButton::clicked, this, [this] { StartTransfer(); });
  connect(check_, &QPushButton::clicked, this, [this] { CheckConnection(); });

  resize(sizeHint().expandedTo(QSize(640, 420)));
}

// ---- Showing and hiding ----------------------------------------------------------

void TransferPanel::OnShow() {
  UpdateKindControls();  // also takes a pending tax-authority codes request
  context().ui.SetStatusLine(kTransferHelp, kTransferHelpColour);
  context().shell.SetBusy(false);
  FillLinkList(false);
  path_edit_->setText(QFile::decodeName(QByteArray::fromStdString(context().workspace.report_path)));
  LinkSelection& link = context().link;
  DefaultRegisterAddress(link);
  address_->SetAddress(link.ip);
  baud_list_->setCurrentIndex(link.baud_choice == 0 ? 0 : 1);
  path_edit_->setFocus(Qt::OtherFocusReason);
  session().abort.Clear();
}

void TransferPanel::OnHide() {
  context().ui.SetStatusLine({}, -1);
  SaveSettings(context().link, context().workspace.settings_path);
}

void TransferPanel::mouseMoveEvent(QMouseEvent* event) {
  if (!running()) context().ui.SetStatusLine(kTransferHelp, kTransferHoverColour);
  Panel::mouseMoveEvent(event);
}

void TransferPanel::keyPressEvent(QKeyEvent* event) {
  // Enter goes on to the next control, as the form's hidden default button
  // always made it.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !running()) {
    focusNextChild();
    event->accept();
    return;
  }
  Panel::keyPressEvent(event);
}

// ---- Controls ----------------------------------------------------------------------

void TransferPanel::FillLinkList(bool refill) {
  LinkSelection& link = context().link;
  const PortList list = refill ? RefillPortList(link, port_entries_, link_list_->currentIndex()) : FillPortList(link);
  port_entries_ = list.entries;
  const QSignalBlocker block(link_list_);
  link_list_->clear();
  for (const std::string& entry : port_entries_) link_list_->addItem(Utf8(entry));
  link_list_->setCurrentIndex(list.selected);
}

KindControls TransferPanel::ReadControls() const {
  KindControls k;
  k.request.direction = write_->isChecked() ? Direction::kWrite : Direction::kRead;
  for (std::size_t i = 0; i < boxes_.size(); ++i) k.request.kinds[i] = boxes_[i]->isChecked();
  k.request.sales_report = sales_report_->isChecked();
  k.request.clear_sales = clear_sales_->isChecked();
  k.fiscal_memory_enabled = boxes_[static_cast<std::size_t>(Kind::kFiscalMemory)]->isEnabled();
  k.item_options_enabled = sales_report_->isEnabled();
  return k;
}

void TransferPanel::WriteControls(const KindControls& k) {
  // A read keeps the "Σύγκριση" direction when that is the one chosen.
  if (!(compare_->isChecked() && k.request.direction == Direction::kRead))
    (k.request.direction == Direction::kWrite ? write_ : read_)->setChecked(true);
  for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setChecked(k.request.kinds[i]);
  sales_report_->setChecked(k.request.sales_report);
  clear_sales_->setChecked(k.request.clear_sales);
  boxes_[static_cast<std::size_t>(Kind::kFiscalMemory)]->setEnabled(k.fiscal_memory_enabled);
  sales_report_->setEnabled(k.item_options_enabled);
  clear_sales_->setEnabled(k.item_options_enabled);
}

void TransferPanel::UpdateKindControls() {
  if (running()) return;
  KindControls k = ReadControls();
  ::zel::UpdateKindControls(k, image().state.send_tax_codes_request);
  UpdateSafetyControls(k);
  WriteControls(k);
}

void TransferPanel::ChooseReportPath() {
  if (running()) return;
  std::string& path = context().workspace.report_path;
  const std::optional<std::string> chosen = context().ui.ChooseFile(ReportPathDialog(path));
  if (!chosen) return;
  path = *chosen;
  path_edit_->setText(QFile::decodeName(QByteArray::fromStdString(path)));
}

void TransferPanel::SetMark(int kind, UserInterface::Mark mark) {
  if (kind < 0 || kind >= kKindCount) return;
  QLabel* label = marks_[static_cast<std::size_t>(kind)];
  struct Look {
    const char* text;
    QColor ink;
    QColor paper;
  };
  Look look{"", Qt::black, Qt::transparent};
  switch (mark) {
    case UserInterface::Mark::kNone: break;
    case UserInterface::Mark::kRunning: look = {"*", Qt::black, QColor(255, 255, 0)}; break;
    case UserInterface::Mark::kDone: look = {"V", Qt::white, QColor(0, 128, 0)}; break;
    case UserInterface::Mark::kFailed: look = {"X", Qt::white, QColor(255, 0, 0)}; break;
  }
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, look.ink);
  p.setColor(QPalette::Window, look.paper);
  label->setPalette(p);
  label->setAutoFillBackground(mark != UserInterface::Mark::kNone);
  label->setText(QString::fromLatin1(look.text));
}

void TransferPanel::ClearMarks() {
  for (int k = 0; k < kKindCount; ++k) SetMark(k, UserInterface::Mark::kNone);
}

// ---- Transfer and check -------------------------------------------------------------

void TransferPanel::StartTransfer() {
  if (running()) {
    // Stop: every wait of the link wakes at once and the exchange ends with
    // result 1.
    session().abort.Set();
    return;
  }
  const KindControls k = ReadControls();
  if (!k.request.any()) {
    context().ui.ShowMessage(kMsgSelectData, Icon::kNone, {}, true);
    return;
  }
  LinkSelection& link = context().link;
  ReadPortChoice(link, port_entries_, link_list_->currentIndex());
  // A Stop left over from an earlier check must not end this transfer.
  session().abort.Clear();
  ClearMarks();
  progress_->setValue(0);
  LaunchTransfer(PanelRequest(k, ReadSafetyControls(), context().workspace.report_path,
                              ReportFolder(context().workspace.log_path)));
}

void TransferPanel::CheckConnection() {
  if (running()) return;
  LinkSelection& link = context().link;
  ReadPortChoice(link, port_entries_, link_list_->currentIndex());
  session().abort.Clear();
  context().ui.SetStatusLine(kMsgPleaseWait, kPleaseWaitColour);
  Launch(Job::kCheck, [&s = session(), &ui = context().ui, selection = link, log = context().workspace.log_path] {
    ::zel::CheckConnection(s, selection, ui, log);
  });
}

void TransferPanel::Launch(Job job, std::function<void()> work) {
  before_run_ = ReadControls();
  job_ = job;
  SetRunningLook(true);
  worker_.Start(std::move(work), [this] { WorkerEnded(); });
}

void TransferPanel::SetRunningLook(bool running) {
  context().shell.SetBusy(running);
  for (QWidget* w : std::initializer_list<QWidget*>{path_edit_, path_button_, read_, write_, address_, link_list_,
                                                    baud_list_, sales_report_, clear_sales_, check_})
    w->setEnabled(!running);
  for (QCheckBox* box : boxes_) box->setEnabled(!running);
  SetSafetyEnabled(!running);
  start_->setIcon(ButtonPicture(running ? Picture::kStop : Picture::kStart));
  start_->setProperty("picture", running ? QStringLiteral("stop") : QStringLiteral("start"));
  start_->setText(Utf8(running ? kStopCaption : kStartCaption));
  start_->setToolTip(running ? Utf8(kStopCaption) : QString());
  if (running) {
    start_->setFocus(Qt::OtherFocusReason);
    // Clicks anywhere else on the panel are refused with the short beep.
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
  }
}

bool TransferPanel::eventFilter(QObject* watched, QEvent* event) {
  if (running() && (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
      watched->isWidgetType()) {
    auto* w = static_cast<QWidget*>(watched);
    if (w == this || isAncestorOf(w)) {
      Beep(400, 20);
      return w != start_ && !start_->isAncestorOf(w);
    }
  }
  return Panel::eventFilter(watched, event);
}

void TransferPanel::WorkerEnded() {
  if (destroying_) return;
  const Job ended = job_;
  job_ = Job::kNone;
  SetRunningLook(false);
  if (ended == Job::kTransfer) {
    TransferEnded();
  } else {
    CheckEnded();
  }
}

void TransferPanel::TransferEnded() {
  if (transferred_) {
    image().TakeTransferred(*transferred_);
    transferred_.reset();
  }
  // The kinds are unticked; direction, the item options and their enabled
  // state stay as they were at Start.
  KindControls k = before_run_;
  UntickKinds(k.request);
  WriteControls(k);
  SafetyEnded();
  progress_->setValue(0);
  context().ui.SetStatusLine(kTransferHelp, kTransferHelpColour);
  path_edit_->setFocus(Qt::OtherFocusReason);
  const bool stopped = session().abort.IsSet();
  emit JobEnded();
  if (stopped) {
    // Stop pressed: the panel closes.
    session().abort.Clear();
    context().shell.SwitchPanel(panel::kNone);
  }
}

void TransferPanel::CheckEnded() {
  WriteControls(before_run_);
  session().abort.Clear();
  context().ui.SetStatusLine(kTransferHelp, kTransferHelpColour);
  emit JobEnded();
}

// ---- Compare, verify, backup, trace, resume ------------------------------------------

void TransferPanel::BuildSafetyControls(QHBoxLayout* direction, QVBoxLayout* right, QHBoxLayout* buttons) {
  compare_ = new QRadioButton(Utf8(kCompareCaption), this);
  compare_->setObjectName(QStringLiteral("compare"));
  direction->insertWidget(2, compare_);
  verify_ = new QCheckBox(Utf8(kVerifyCaption), this);
  verify_->setObjectName(QStringLiteral("verify"));
  backup_ = new QCheckBox(Utf8(kBackupCaption), this);
  backup_->setObjectName(QStringLiteral("backup"));
  backup_->setChecked(SafetyControls{}.backup);
  trace_ = new QCheckBox(Utf8(kTraceCaption), this);
  trace_->setObjectName(QStringLiteral("trace"));
  auto* column = new QVBoxLayout;
  for (QCheckBox* box : {verify_, backup_, trace_}) column->addWidget(box);
  right->addSpacing(4);
  right->addLayout(column);
  resume_button_ = new QPushButton(Utf8(kResumeCaption), this);
  resume_button_->setObjectName(QStringLiteral("resume"));
  resume_button_->setMinimumHeight(40);
  resume_button_->setEnabled(false);
  buttons->insertWidget(2, resume_button_);
  connect(compare_, &QRadioButton::clicked, this, [this] { UpdateKindControls(); });
  connect(resume_button_, &QPushButton::clicked, this, [this] { ContinueTransfer(); });
}

SafetyControls TransferPanel::ReadSafetyControls() const {
  return {compare_->isChecked(), verify_->isChecked(), backup_->isChecked()};
}

void TransferPanel::UpdateSafetyControls(KindControls& controls) {
  // The comparison reads; verification and backup belong to a write.
  // A pending tax-authority codes request has just made it a write.
  const bool compare = compare_->isChecked() && controls.request.direction == Direction::kRead;
  UpdateCompareControls(controls, compare);
  const bool writing = controls.request.direction == Direction::kWrite && !compare;
  verify_->setEnabled(writing);
  backup_->setEnabled(writing);
}

void TransferPanel::SetSafetyEnabled(bool enabled) {
  compare_->setEnabled(enabled);
  trace_->setEnabled(enabled);
  resume_button_->setEnabled(enabled && resume_.has_value());
  if (!enabled) {
    verify_->setEnabled(false);
    backup_->setEnabled(false);
  } else {
    const bool writing = write_->isChecked();
    verify_->setEnabled(writing);
    backup_->setEnabled(writing);
  }
}

void TransferPanel::LaunchTransfer(const TransferRequest& request) {
  last_request_ = request;
  outcome_ = std::make_shared<TransferOutcome>();
  // The trace belongs to the worker: opened here, let go when it ends.
  auto trace = std::make_shared<ExchangeTrace>();
  if (trace_->isChecked()) {
    const std::string folder = ReportFolder(context().workspace.log_path);
    trace->Open(folder + std::string(kTraceFile), session().clock->Now());
  }
  // The transfer works on a copy of the image, its own while it runs; the
  // window takes what it brought when it has ended (reads are committed
  // into the copy only when every kind came in).
  transferred_ = std::make_shared<DataImage>(image());
  Launch(Job::kTransfer,
         [&s = session(), img = transferred_, &ui = context().ui, request, trace, out = outcome_,
          selection = context().link, report = context().workspace.report_path, log = context().workspace.log_path] {
           if (trace->is_open()) s.trace = trace.get();
           *out = ::zel::StartTransfer(s, request, *img, ui, selection, report, log);
           s.trace = nullptr;
         });
}

void TransferPanel::ContinueTransfer() {
  if (running() || !resume_) return;
  LinkSelection& link = context().link;
  ReadPortChoice(link, port_entries_, link_list_->currentIndex());
  session().abort.Clear();
  ClearMarks();
  progress_->setValue(0);
  TransferRequest request = resume_request_;
  request.resume = resume_;
  LaunchTransfer(request);
}

void TransferPanel::SafetyEnded() {
  if (!outcome_) return;
  const TransferOutcome& out = *outcome_;
  if (!last_request_.compare) {
    if (out.success) {
      resume_.reset();
    } else if (out.resume) {
      resume_ = out.resume;
      resume_request_ = last_request_;
      resume_request_.resume.reset();
    }
  }
  resume_button_->setEnabled(resume_.has_value());
  if (!out.differences.empty() && !out.stopped) {
    auto* dialog = new DifferenceDialog(out.differences, context().ui, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    differences_dialog_ = dialog;
    connect(dialog, &QObject::destroyed, this, [this, dialog] {
      if (differences_dialog_ == dialog) differences_dialog_ = nullptr;
    });
    dialog->open();
  }
}

}  // namespace zel::app
