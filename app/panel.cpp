#include "app/panel.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zel::app {

Panel::Panel(int number, QString caption, const PanelContext& context, QWidget* parent)
    : QFrame(parent), number_(number), caption_(std::move(caption)), context_(context) {
  setObjectName(QStringLiteral("panel%1").arg(number));
  // A panel stands over the client area like a raised page.
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  setAutoFillBackground(true);
  setMouseTracking(true);
}

QVBoxLayout* Panel::CaptionOver(QLayout* body) {
  auto* title = new QLabel(caption_, this);
  title->setObjectName(QStringLiteral("caption"));
  title->setTextFormat(Qt::PlainText);
  title->setAlignment(Qt::AlignCenter);
  QFont f = title->font();
  f.setBold(true);
  title->setFont(f);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 3, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(title);
  layout->addLayout(body);
  return layout;
}

std::unique_ptr<Panel> PanelRegistry::Create(int number, const PanelContext& context) const {
  const auto it = factories_.find(number);
  if (it == factories_.end()) return nullptr;
  return it->second(context);
}

QString PanelCaption(int number) {
  switch (number) {
    case panel::kLogo: return QStringLiteral("Setup ZEL - Φορολογικό λογότυπο ");
    case panel::kOtherData: return QStringLiteral("Setup ZEL - Συμπληρωματική ΒΔ ");
    case panel::kItems: return QStringLiteral("Setup ZEL - Εφαρμογή προγραμματισμού ");
    case panel::kTransfer: return QStringLiteral("Setup ZEL - Μεταφορα δεδομενων ");
    case panel::kConsole: return QStringLiteral("Setup ZEL - Ελεγχος Φορ.Εκτυπ.");
    case panel::kParameters: return QStringLiteral("Setup ZEL - Γενικές παράμ.ρυθμισης ");
    default: return {};
  }
}

}  // namespace zel::app
