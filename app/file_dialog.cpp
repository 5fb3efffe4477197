#include "app/file_dialog.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QListView>
#include <QLocale>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>
#include <algorithm>

namespace zel::app {
namespace {

constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;

// The size as the desktop shows it: units of 1024 bytes named kB, MB, ...
QString SizeText(qint64 bytes) { return QLocale().formattedDataSize(bytes, 2, QLocale::DataSizeTraditionalFormat); }
QString DateText(const QDateTime& when) { return QLocale().toString(when, QLocale::ShortFormat); }

// Room for `text` in a column of `view`, with the margins of a cell.
int ColumnRoom(const QTreeView& view, const QString& text) {
  return view.fontMetrics().horizontalAdvance(text) + 3 * view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16;
}

// The header's own text is measured with the header's font and its sort
// indicator.
int HeaderRoom(const QHeaderView& header, int column) {
  const QString text = header.model()->headerData(column, Qt::Horizontal).toString();
  return header.fontMetrics().horizontalAdvance(text) + header.style()->pixelMetric(QStyle::PM_HeaderMargin) * 2 +
         header.style()->pixelMetric(QStyle::PM_HeaderMarkSize) + 8;
}

}  // namespace

QVariant LocaleFileColumns::data(const QModelIndex& index, int role) const {
  if (role == Qt::DisplayRole && (index.column() == kSizeColumn || index.column() == kDateColumn)) {
    if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
      const QModelIndex source = mapToSource(index);
      if (index.column() == kDateColumn) return DateText(files->lastModified(source));
      // Folders show no size, as the model has them.
      if (files->isDir(source)) return QString();
      return SizeText(files->size(source));
    }
  }
  return QIdentityProxyModel::data(index, role);
}

void PrepareFileDialog(QFileDialog& dialog) {
  // The desktop's own dialog would speak the machine's language.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setProxyModel(new LocaleFileColumns(&dialog));

  // As large as a 1024 x 768 screen comfortably holds.
  const QScreen* screen = dialog.parentWidget() != nullptr ? dialog.parentWidget()->screen() : dialog.screen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  dialog.resize(std::min(880, room.width() - 40), std::min(520, room.height() - 80));

  if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = tree->header();
    const QDateTime late(QDate(2024, 12, 28), QTime(23, 59));
    const int widths[] = {
        0,
        std::max(HeaderRoom(*header, kSizeColumn), ColumnRoom(*tree, SizeText(999 * 1024 + 1000))),
        // The usual types of the program's files.
        std::max(HeaderRoom(*header, kTypeColumn), ColumnRoom(*tree, QStringLiteral("Έγγραφο απλού κειμένου"))),
        std::max(HeaderRoom(*header, kDateColumn), ColumnRoom(*tree, DateText(late))),
    };
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(40);
    for (int c = kSizeColumn; c <= kDateColumn; ++c) {
      header->setSectionResizeMode(c, QHeaderView::Interactive);
      header->resizeSection(c, widths[c]);
    }
    // The name takes what is left.
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
  // The side bar wide enough for its longest entry ("Υπολογιστής"); the
  // dialog restores the divider where the last one left it, so the width is
  // a minimum rather than a divider position.
  if (auto* side = dialog.findChild<QListView*>(QStringLiteral("sidebar"))) {
    // Room for the widest entry with its icon, and for a scroll bar when
    // there are many places.
    side->setMinimumWidth(side->sizeHintForColumn(0) + 2 * side->frameWidth() +
                          side->verticalScrollBar()->sizeHint().width() + 8);
  }
}

}  // namespace zel::app
