#include "app/csv_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/qt_user_interface.h"
#include "app/text.h"
#include "core/user_interface.h"
#include "editors/field_edit.h"

namespace zel::app {

CsvOptionsDialog::CsvOptionsDialog(bool import, const std::string& remembered_path, UserInterface& ui, QWidget* parent)
    : QDialog(parent), import_(import), ui_(ui) {
  using namespace editors;
  setObjectName(QStringLiteral("csvOptions"));
  setWindowTitle(Utf8(import ? kCsvImportTitle : kCsvExportTitle));
  setModal(true);
  const CsvOptions defaults = DefaultCsvOptions(remembered_path);
  path_ = defaults.path;

  // Import: title lines and update mode.
  title_lines_ = new QSpinBox(this);
  title_lines_->setObjectName(QStringLiteral("titleLines"));
  title_lines_->setRange(0, 9);
  title_lines_->setValue(defaults.title_lines);
  title_lines_->setWrapping(false);
  auto* lines_label = new QLabel(Utf8(kTitleLinesLabel), this);
  lines_label->setBuddy(title_lines_);
  correct_ = new QRadioButton(Utf8(kCorrectLabel), this);
  correct_->setObjectName(QStringLiteral("correct"));
  replace_ = new QRadioButton(Utf8(kReplaceLabel), this);
  replace_->setObjectName(QStringLiteral("replace"));
  (defaults.mode == UpdateMode::kCorrect ? correct_ : replace_)->setChecked(true);

  // Export: the title line.
  title_ = new QLineEdit(this);
  title_->setObjectName(QStringLiteral("title"));
  title_->setMaxLength(static_cast<int>(kMaxCsvTitle));
  title_->setMinimumWidth(360);
  auto* title_label = new QLabel(Utf8(kTitleLabel), this);
  title_label->setBuddy(title_);
  title_bytes_ = defaults.title;
  title_->setText(FromCp1253(title_bytes_));
  connect(title_, &QLineEdit::textEdited, this, &CsvOptionsDialog::TitleEdited);

  for (QWidget* w : {static_cast<QWidget*>(title_lines_), static_cast<QWidget*>(lines_label),
                     static_cast<QWidget*>(correct_), static_cast<QWidget*>(replace_)})
    w->setEnabled(import);
  title_->setEnabled(!import);
  title_label->setEnabled(!import);

  // Both: the columns (the name is always there) and the file.
  auto* columns = new QGroupBox(this);
  auto* columns_layout = new QHBoxLayout(columns);
  const bool ticked[6] = {defaults.columns.number,     true,
                          defaults.columns.price,      defaults.columns.barcode,
                          defaults.columns.department, defaults.columns.category};
  for (int i = 0; i < 6; ++i) {
    columns_[i] = new QCheckBox(Utf8(kColumnLabels[i]), columns);
    columns_[i]->setObjectName(QStringLiteral("column%1").arg(i));
    columns_[i]->setChecked(ticked[i]);
    columns_layout->addWidget(columns_[i]);
  }
  columns_[1]->setEnabled(false);

  path_box_ = new QLineEdit(this);
  path_box_->setObjectName(QStringLiteral("path"));
  path_box_->setReadOnly(true);
  path_box_->setFocusPolicy(Qt::NoFocus);
  path_box_->setText(PathFromEngine(path_));
  auto* path_label = new QLabel(Utf8(kFileLabel), this);
  browse_ = new QPushButton(Utf8(kBrowseLabel), this);
  browse_->setObjectName(QStringLiteral("browse"));
  browse_->setAutoDefault(false);
  start_ = new QPushButton(Utf8(kStartLabel), this);
  start_->setObjectName(QStringLiteral("start"));
  start_->setDefault(true);
  connect(browse_, &QPushButton::clicked, this, &CsvOptionsDialog::Browse);
  connect(start_, &QPushButton::clicked, this, &CsvOptionsDialog::Start);

  auto* grid = new QGridLayout;
  grid->addWidget(lines_label, 0, 0);
  grid->addWidget(title_lines_, 0, 1, Qt::AlignLeft);
  auto* modes = new QHBoxLayout;
  modes->addWidget(correct_);
  modes->addWidget(replace_);
  modes->addStretch(1);
  grid->addLayout(modes, 0, 2);
  grid->addWidget(title_label, 1, 0);
  grid->addWidget(title_, 1, 1, 1, 2);
  grid->addWidget(columns, 2, 0, 1, 3);
  grid->addWidget(path_label, 3, 0);
  grid->addWidget(path_box_, 3, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(browse_);
  buttons->addStretch(1);
  buttons->addWidget(start_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
}

editors::CsvOptions CsvOptionsDialog::options() const {
  editors::CsvOptions o;
  o.title_lines = title_lines_->value();
  o.mode = correct_->isChecked() ? editors::UpdateMode::kCorrect : editors::UpdateMode::kReplace;
  o.title = title_bytes_;
  o.columns.number = columns_[0]->isChecked();
  o.columns.price = columns_[2]->isChecked();
  o.columns.barcode = columns_[3]->isChecked();
  o.columns.department = columns_[4]->isChecked();
  o.columns.category = columns_[5]->isChecked();
  o.path = path_;
  return o;
}

void CsvOptionsDialog::Browse() {
  const std::optional<std::string> chosen = ui_.ChooseFile(editors::CsvFileDialog(import_, path_));
  if (!chosen) return;
  path_ = *chosen;
  path_box_->setText(PathFromEngine(path_));
}

void CsvOptionsDialog::Start() {
  if (editors::CanStart(options(), ui_)) accept();
}

void CsvOptionsDialog::TitleEdited(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const std::optional<std::string> bytes =
      editors::TypedText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
  if (!bytes) {
    // The file holds code page 1253: a character it cannot hold is refused.
    const int caret = title_->cursorPosition();
    const int moved = static_cast<int>(text.size()) - static_cast<int>(FromCp1253(title_bytes_).size());
    title_->setText(FromCp1253(title_bytes_));
    title_->setCursorPosition(std::max(0, caret - moved));
    ui_.Beep(400, 40);
    return;
  }
  title_bytes_ = bytes->substr(0, editors::kMaxCsvTitle);
  const QString shown = FromCp1253(title_bytes_);
  if (shown != text) {
    const int caret = title_->cursorPosition() - static_cast<int>(text.size() - shown.size());
    title_->setText(shown);
    title_->setCursorPosition(std::max(0, caret));
  }
}

std::optional<editors::CsvOptions> AskCsvOptions(QtUserInterface& ui, QWidget* parent, bool import,
                                                 const std::string& remembered_path) {
  CsvOptionsDialog dialog(import, remembered_path, ui, parent);
  if (ui.ExecDialog(dialog) != QDialog::Accepted) return std::nullopt;
  return dialog.options();
}

}  // namespace zel::app
