#include "app/difference_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/compare.h"

namespace zel::app {
namespace {
QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

DifferenceDialog::DifferenceDialog(std::vector<Difference> list, UserInterface& ui, QWidget* parent)
    : QDialog(parent), list_(std::move(list)), ui_(ui) {
  setWindowTitle(QStringLiteral("Setup ZEL - Διαφορές"));
  setObjectName(QStringLiteral("differences"));
  auto* label = new QLabel(QStringLiteral("Διαφορές: %1").arg(list_.size()), this);
  table_ = new QTableWidget(static_cast<int>(list_.size()), 5, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("Δεδομένα"), QStringLiteral("Εγγραφή"), QStringLiteral("Πεδίο"),
                                     QStringLiteral("Βάση δεδομένων"), QStringLiteral("ΦΗΜ")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  for (int r = 0; r < static_cast<int>(list_.size()); ++r) {
    const Difference& d = list_[static_cast<std::size_t>(r)];
    const QString cells[] = {Utf8(InfoOf(d.kind).caption), QString::number(d.record), Utf8(d.field), Utf8(d.database),
                             Utf8(d.register_)};
    for (int c = 0; c < 5; ++c) table_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
  table_->resizeColumnsToContents();
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* text = buttons->addButton(QStringLiteral("Αποθήκευση ως κείμενο..."), QDialogButtonBox::ActionRole);
  text->setObjectName(QStringLiteral("saveText"));
  QPushButton* csv = buttons->addButton(QStringLiteral("Αποθήκευση ως CSV..."), QDialogButtonBox::ActionRole);
  csv->setObjectName(QStringLiteral("saveCsv"));
  QPushButton* close = buttons->addButton(QStringLiteral("Κλείσιμο"), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("close"));
  connect(text, &QPushButton::clicked, this, [this] { Save(false); });
  connect(csv, &QPushButton::clicked, this, [this] { Save(true); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(table_, 1);
  layout->addWidget(buttons);
  resize(720, 420);
}

bool DifferenceDialog::Save(bool csv) {
  FileDialog dialog;
  dialog.mode = FileDialog::Mode::kSave;
  dialog.default_extension = csv ? ".csv" : ".txt";
  dialog.initial_path = csv ? "Διαφορές.csv" : "Διαφορές.txt";
  dialog.filter = csv ? "CSV (*.csv)|*.csv||" : "Κείμενο (*.txt)|*.txt||";
  dialog.overwrite_prompt = true;
  const std::optional<std::string> path = ui_.ChooseFile(dialog);
  if (!path) return false;
  if (!SaveDifferences(*path, list_, csv)) {
    ui_.ShowMessage("Δεν ήταν δυνατό να γραφτεί το αρχείο:\n" + *path, Icon::kError);
    return false;
  }
  return true;
}

}  // namespace zel::app
