#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace zel::app {
namespace {

// Pictures are drawn on a 32 x 32 grid and scaled by QIcon as needed.
constexpr int kGrid = 32;
const QColor kInk{40, 40, 40};
const QColor kPaper{252, 252, 248};
const QColor kBlue{52, 101, 164};
const QColor kYellow{237, 212, 0};
const QColor kGreen{78, 154, 6};
const QColor kRed{204, 0, 0};

void Page(QPainter& p, QRectF r) {
  QPainterPath path;
  const qreal fold = 7;
  path.moveTo(r.left(), r.top());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.right(), r.bottom());
  path.lineTo(r.left(), r.bottom());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawPolyline(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                            QPointF(r.right(), r.top() + fold)}));
}

void Lines(QPainter& p, qreal x0, qreal x1, qreal y, int count, qreal step) {
  p.setPen(QPen(kInk.lighter(180), 1.5));
  for (int i = 0; i < count; ++i) p.drawLine(QPointF(x0, y + i * step), QPointF(x1, y + i * step));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
  const QPointF n(-d.y(), d.x());
  p.setBrush(colour);
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({to + d * 3, to - d * 5 + n * 5, to - d * 5 - n * 5}));
}

void Draw(CommandId id, QPainter& p) {
  switch (id) {
    case CommandId::kNew:
      Page(p, QRectF(7, 3, 19, 26));
      p.setPen(QPen(kGreen, 3));
      p.drawLine(QPointF(7, 24), QPointF(15, 24));
      p.drawLine(QPointF(11, 20), QPointF(11, 28));
      break;
    case CommandId::kOpen: {
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kYellow.darker(115));
      p.drawPolygon(QPolygonF(
          {QPointF(3, 7), QPointF(12, 7), QPointF(14, 10), QPointF(28, 10), QPointF(28, 26), QPointF(3, 26)}));
      p.setBrush(kYellow);
      p.drawPolygon(QPolygonF({QPointF(6, 14), QPointF(31, 14), QPointF(28, 26), QPointF(3, 26)}));
      break;
    }
    case CommandId::kSave:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kBlue);
      p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
      p.setBrush(kPaper);
      p.drawRect(QRectF(8, 5, 16, 10));
      p.setBrush(kInk.lighter(150));
      p.drawRect(QRectF(10, 19, 12, 8));
      p.setBrush(kPaper);
      p.drawRect(QRectF(17, 20, 3, 6));
      break;
    case CommandId::kExit:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(QColor(143, 89, 2));
      p.drawRect(QRectF(4, 3, 14, 26));
      p.setBrush(kYellow);
      p.drawEllipse(QPointF(15, 16), 1.5, 1.5);
      Arrow(p, QPointF(14, 16), QPointF(27, 16), kRed);
      break;
    case CommandId::kLogo: {
      // A receipt with its bold logo line on top.
      QPainterPath path;
      path.moveTo(7, 3);
      path.lineTo(25, 3);
      path.lineTo(25, 27);
      for (int i = 0; i < 6; ++i) {
        path.lineTo(25 - 3 * i - 1.5, 29.5);
        path.lineTo(25 - 3 * (i + 1), 27);
      }
      path.closeSubpath();
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kPaper);
      p.drawPath(path);
      p.setPen(QPen(kBlue, 3));
      p.drawLine(QPointF(10, 8), QPointF(22, 8));
      Lines(p, 10, 22, 13, 4, 3.5);
      break;
    }
    case CommandId::kParameters: {
      p.setPen(Qt::NoPen);
      p.setBrush(kInk.lighter(160));
      p.save();
      p.translate(16, 16);
      for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-2.5, -14, 5, 8));
        p.rotate(45);
      }
      p.drawEllipse(QPointF(0, 0), 10, 10);
      p.setBrush(kPaper);
      p.drawEllipse(QPointF(0, 0), 4, 4);
      p.restore();
      break;
    }
    case CommandId::kItems:
      Page(p, QRectF(4, 3, 24, 26));
      for (int i = 0; i < 5; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(8, 8 + i * 4, 2.5, 2.5));
      }
      Lines(p, 13, 24, 9.25, 5, 4);
      break;
    case CommandId::kOtherData:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kPaper);
      p.drawRect(QRectF(3, 5, 26, 22));
      p.setBrush(kBlue.lighter(150));
      p.drawRect(QRectF(3, 5, 26, 6));
      for (int x : {11, 20}) p.drawLine(QPointF(x, 5), QPointF(x, 27));
      for (int y : {16, 21}) p.drawLine(QPointF(3, y), QPointF(29, y));
      break;
    case CommandId::kTransfer:
      Arrow(p, QPointF(4, 11), QPointF(25, 11), kGreen);
      Arrow(p, QPointF(28, 22), QPointF(7, 22), kBlue);
      break;
    case CommandId::kConsole:
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kInk.lighter(170));
      p.drawRoundedRect(QRectF(3, 12, 26, 16), 2, 2);
      p.setBrush(kGreen.lighter(160));
      p.drawRect(QRectF(16, 4, 11, 6));
      p.setPen(Qt::NoPen);
      p.setBrush(kInk);
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 4; ++c) p.drawRect(QRectF(7 + c * 5, 16 + r * 5, 3, 3));
      break;
    case CommandId::kPrintPreview:
      Page(p, QRectF(4, 3, 20, 26));
      Lines(p, 7, 18, 9, 3, 4);
      p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(23, 23), QPointF(29, 29));
      p.setPen(QPen(kInk, 2));
      p.setBrush(kBlue.lighter(170));
      p.drawEllipse(QPointF(19, 19), 6, 6);
      break;
    case CommandId::kPrint:
    case CommandId::kPrintSetup:
      Page(p, QRectF(9, 3, 14, 12));
      p.setPen(QPen(kInk, 1.5));
      p.setBrush(kInk.lighter(170));
      p.drawRoundedRect(QRectF(3, 13, 26, 11), 2, 2);
      Page(p, QRectF(9, 20, 14, 10));
      p.setPen(Qt::NoPen);
      p.setBrush(kGreen);
      p.drawEllipse(QPointF(25, 17), 1.5, 1.5);
      break;
    case CommandId::kHelp:
    case CommandId::kAbout: {
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(QRectF(3, 3, 26, 26));
      QFont f = p.font();
      f.setPixelSize(20);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::white);
      p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter,
                 id == CommandId::kHelp ? QStringLiteral("?") : QStringLiteral("i"));
      break;
    }
    case CommandId::kSaveAs:
      Draw(CommandId::kSave, p);
      p.setPen(QPen(kRed, 2.5, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(20, 30), QPointF(30, 20));
      break;
    case CommandId::kToolBar:
    case CommandId::kStatusBar: break;
  }
}

const char* ThemeName(CommandId id) {
  switch (id) {
    case CommandId::kNew: return "document-new";
    case CommandId::kOpen: return "document-open";
    case CommandId::kSave: return "document-save";
    case CommandId::kSaveAs: return "document-save-as";
    case CommandId::kExit: return "application-exit";
    case CommandId::kLogo: return "insert-text";
    case CommandId::kParameters: return "preferences-system";
    case CommandId::kItems: return "view-list-details";
    case CommandId::kOtherData: return "x-office-spreadsheet";
    case CommandId::kTransfer: return "network-transmit-receive";
    case CommandId::kConsole: return "utilities-terminal";
    case CommandId::kPrintPreview: return "document-print-preview";
    case CommandId::kPrint: return "document-print";
    case CommandId::kPrintSetup: return "document-page-setup";
    case CommandId::kHelp: return "help-contents";
    case CommandId::kAbout: return "help-about";
    case CommandId::kToolBar:
    case CommandId::kStatusBar: break;
  }
  return nullptr;
}

}  // namespace

QIcon DrawnCommandIcon(CommandId id) {
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(static_cast<qreal>(size) / kGrid, static_cast<qreal>(size) / kGrid);
    Draw(id, p);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

QIcon CommandIcon(CommandId id) {
  const char* name = ThemeName(id);
  if (name == nullptr) return {};
  return QIcon::fromTheme(QString::fromLatin1(name), DrawnCommandIcon(id));
}

QIcon ProgramIcon() { return QIcon::fromTheme(QStringLiteral("setupzel"), DrawnCommandIcon(CommandId::kConsole)); }

}  // namespace zel::app
