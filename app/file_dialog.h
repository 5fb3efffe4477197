// The program's open and save dialogs, prepared for the dealer: always Qt's
// own dialog (so its texts are the program's Greek ones and not the
// desktop's, which on a fresh machine may be English), sizes and dates in
// the program's Greek locale rather than the machine's (which may be C:
// "289 bytes", "3 Dec 2024"), and columns and side bar wide enough for
// their Greek headers and entries on a 1024 x 768 screen.
//
// UI thread only.
#pragma once

#include <QIdentityProxyModel>

class QFileDialog;

namespace zel::app {

// Shows the size and modification-date columns of the dialog's file system
// model in the default locale (QLocale()); every other column and role is
// the model's own.
class LocaleFileColumns : public QIdentityProxyModel {
  Q_OBJECT
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override;
};

// Applies all of the above to a dialog before it is shown.
void PrepareFileDialog(QFileDialog& dialog);

}  // namespace zel::app
