// The difference list of a comparison or a verification: kind, record,
// field, the database's value and the register's, one row per differing
// field, with buttons that save the list as a text or a CSV file.
#pragma once

#include <QDialog>
#include <vector>

#include "core/user_interface.h"
#include "link/transfer.h"

class QTableWidget;

namespace zel::app {

class DifferenceDialog : public QDialog {
  Q_OBJECT
 public:
  DifferenceDialog(std::vector<Difference> list, UserInterface& ui, QWidget* parent = nullptr);
  QTableWidget* table() const { return table_; }
  // Asks for a file name and writes the list (csv or text); false when
  // cancelled or not written (after a message).
  bool Save(bool csv);

 private:
  std::vector<Difference> list_;
  UserInterface& ui_;
  QTableWidget* table_ = nullptr;
};

}  // namespace zel::app
