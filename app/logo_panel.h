// The logo panel (panel 1): the 9 fiscal logo lines and the 6 header/footer
// lines of the receipt, each with its print size, and the graphic logo loaded
// from a one-bit BMP with a dot-for-dot preview. The rules (placeholder text
// for picture lines, print-size corrections on leaving, the BMP loader, the
// preview's geometry) are the engine's (editors::LogoPanel); this is its
// window.
//
// Enter presses the hidden default button: the focus moves to the next
// control, then the header/footer lines are put in order. Hiding the panel
// stores the field being typed in first and then corrects the print sizes.
//
// The preview is drawn inside the group box by the box itself (a group box
// paints its own face, so a picture drawn by the panel underneath would be
// covered), from one QImage of the bitmap at 1:1; the scale marks outside
// the box are the panel's.
//
// UI thread only.
#pragma once

#include <QGroupBox>
#include <QPushButton>

#include "app/editor_panel.h"
#include "editors/logo_panel.h"

namespace zel::app {

// The graphic logo as a 384 x 180 picture: a set bit is a black dot.
QImage LogoPicture(const DataImage& image);

// Group box 1079: the logo is drawn at the engine's origin inside it while
// the logo present flag is set.
class LogoPreviewBox : public QGroupBox {
  Q_OBJECT
 public:
  LogoPreviewBox(const DataImage& image, QWidget* parent);
  // The box's rectangle in its panel's coordinates (right and bottom just
  // outside, as the geometry rules count them).
  editors::Rect PanelRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const DataImage& image_;
};

class LogoPanel : public EditorPanel {
  Q_OBJECT
 public:
  explicit LogoPanel(const PanelContext& context);

  void OnShow() override;
  void OnHide() override;
  void Repaint() override;

  editors::LogoPanel& model() { return static_cast<editors::LogoPanel&>(panel_model()); }
  LogoPreviewBox* preview() const { return preview_; }
  // "ΦΟΡΤΩΣΗ".
  QPushButton* load_button() const { return load_; }

 protected:
  void OnEnter(int focused) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Layout();

  LogoPreviewBox* preview_ = nullptr;
  QPushButton* load_ = nullptr;
};

}  // namespace zel::app
