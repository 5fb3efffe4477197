#include "app/help_line.h"

#include <QPalette>

namespace zel::app {

std::optional<QColor> ColourFromBgr(long bgr) {
  if (bgr < 0) return std::nullopt;
  const auto v = static_cast<unsigned long>(bgr);
  return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>((v >> 16) & 0xFF));
}

HelpLine::HelpLine(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("helpLine"));
  setTextFormat(Qt::PlainText);
  setMargin(2);
  Clear();
}

void HelpLine::Show(const QString& text, std::optional<QColor> background, Style style) {
  background_ = background;
  style_ = style;
  setText(text);
  if (background) {
    QPalette p = palette();
    p.setColor(QPalette::Window, *background);
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
  } else {
    setPalette(QPalette());
    setAutoFillBackground(false);
  }
  if (style == Style::kPopOut) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
}

void HelpLine::Clear() { Show(QString(), std::nullopt, Style::kNoBorder); }

}  // namespace zel::app
