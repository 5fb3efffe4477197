// The help line: the status bar's single pane. The field edit controls and
// panels write a field's help text there and colour its background to say
// what the text is about (white: the field being changed, pale yellow: the
// field under the mouse, pale cyan: a button under the mouse). Two styles:
// pop-out (a raised panel) while it shows help, no border when it is idle.
//
// UI thread only (the QtUserInterface hands calls from other threads over).
#pragma once

#include <QColor>
#include <QLabel>
#include <optional>

namespace zel::app {

inline const QColor kHelpWhite{255, 255, 255};
inline const QColor kHelpPaleYellow{255, 255, 224};
inline const QColor kHelpPaleCyan{240, 255, 255};

// A colour written the way the engine writes it, 0xBBGGRR (0xE0FFFF is light
// yellow); a negative value means the default background.
std::optional<QColor> ColourFromBgr(long bgr);

class HelpLine : public QLabel {
  Q_OBJECT
 public:
  enum class Style { kNoBorder, kPopOut };

  explicit HelpLine(QWidget* parent = nullptr);

  // Shows `text` on `background` (nothing = the status bar's own colour).
  void Show(const QString& text, std::optional<QColor> background, Style style = Style::kPopOut);
  // The idle line: default background, no text, no border.
  void Clear();

  std::optional<QColor> background() const { return background_; }
  Style style() const { return style_; }

 private:
  std::optional<QColor> background_;
  Style style_ = Style::kNoBorder;
};

}  // namespace zel::app
