// The CSV options dialog of the items import and export: how many title
// lines to skip and whether to correct or replace the item table (import),
// the title line (export), which columns the file has, and the file.
//
// Every control is always there; the ones the operation does not use are
// disabled. Each opening starts from the defaults and the remembered path.
// The file is chosen only with "Αναζήτηση" (the path box only shows it);
// "ΕΝΑΡΞΗ" with no file shows "ΕΙΣΑΓΕΤΕ ΑΡΧΕΙΟ !" and the dialog stays.
// Closing it any other way cancels. The answer is a plain value
// (editors::CsvOptions); the rules it feeds live in editors/csv.h.
//
// UI thread only; modal.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "editors/csv.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zel {
class UserInterface;
}

namespace zel::app {

class QtUserInterface;

class CsvOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  CsvOptionsDialog(bool import, const std::string& remembered_path, UserInterface& ui, QWidget* parent = nullptr);

  // What the controls say now.
  editors::CsvOptions options() const;

  // The controls, for the tests that drive the dialog as a user would.
  QSpinBox* title_lines() const { return title_lines_; }
  QRadioButton* correct() const { return correct_; }
  QRadioButton* replace() const { return replace_; }
  QLineEdit* title() const { return title_; }
  // In column order: number, name, price, barcode, department, category.
  QCheckBox* column(int i) const { return columns_[i]; }
  QLineEdit* path_box() const { return path_box_; }
  QPushButton* browse() const { return browse_; }
  QPushButton* start() const { return start_; }

 private:
  void Browse();
  void Start();
  void TitleEdited(const QString& text);

  bool import_;
  UserInterface& ui_;
  std::string path_;
  std::string title_bytes_;  // code page 1253

  QSpinBox* title_lines_ = nullptr;
  QRadioButton* correct_ = nullptr;
  QRadioButton* replace_ = nullptr;
  QLineEdit* title_ = nullptr;
  QCheckBox* columns_[6] = {};
  QLineEdit* path_box_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* start_ = nullptr;
};

// Runs the dialog (through the user interface, so tests can answer it);
// nothing when it was cancelled.
std::optional<editors::CsvOptions> AskCsvOptions(QtUserInterface& ui, QWidget* parent, bool import,
                                                 const std::string& remembered_path);

}  // namespace zel::app
