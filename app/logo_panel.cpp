#include "app/logo_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/qt_user_interface.h"
#include "app/text.h"

namespace zel::app {
namespace {

using namespace editors;

constexpr int kLogoColumn = 1, kHeaderFooterColumn = 2;
// Room for the 384 x 180 picture at the origin the geometry rules give a
// box of this size (8 and 20 pixels in), with a margin all round.
constexpr QSize kPreviewSize(400, 210);

}  // namespace

QImage LogoPicture(const DataImage& image) {
  // Bit j of byte b is the dot 8 x b + j: the least significant bit first,
  // as QImage's MonoLSB format reads a row.
  QImage picture(logo::kWidth, logo::kRows, QImage::Format_MonoLSB);
  picture.setColorCount(2);
  picture.setColor(0, qRgb(255, 255, 255));
  picture.setColor(1, qRgb(0, 0, 0));
  const ConstBytes bits = image.logo();
  for (int r = 0; r < logo::kRows; ++r)
    std::copy_n(bits.begin() + static_cast<std::ptrdiff_t>(r) * logo::kRowBytes, logo::kRowBytes, picture.scanLine(r));
  return picture;
}

// ---- LogoPreviewBox ------------------------------------------------------------------------

LogoPreviewBox::LogoPreviewBox(const DataImage& image, QWidget* parent) : QGroupBox(parent), image_(image) {
  setFixedSize(kPreviewSize);
}

editors::Rect LogoPreviewBox::PanelRect() const {
  const QRect g = geometry();
  return {g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

void LogoPreviewBox::paintEvent(QPaintEvent* event) {
  QGroupBox::paintEvent(event);
  if (image_.state.logo_present == 0) return;
  // The origin in panel coordinates, less the box's own position.
  const editors::Rect box = PanelRect();
  const editors::Point at = editors::DotPosition(box, 0, 0, 0);
  QPainter painter(this);
  painter.drawImage(QPoint(at.x - box.left, at.y - box.top), LogoPicture(image_));
}

// ---- LogoPanel ------------------------------------------------------------------------------

LogoPanel::LogoPanel(const PanelContext& context)
    : EditorPanel(panel::kLogo, Utf8(kLogoCaption), context,
                  std::make_unique<editors::LogoPanel>(context.image, context.ui, context.shell.editor_shared())) {
  MakeControls();

  preview_ = new LogoPreviewBox(context.image, this);
  preview_->setObjectName(QStringLiteral("control%1").arg(kPreviewBox));
  AddControl(kPreviewBox, preview_);

  load_ = new QPushButton(TableLabel(kLoadLogoButton), this);
  load_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  connect(load_, &QPushButton::clicked, this, [this] { model().OnLoad(); });
  AddControl(kLoadLogoButton, load_);
  Layout();
}

void LogoPanel::Layout() {
  auto column = [this](int group, std::string_view head) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    auto* title = new QLabel(Utf8(head), this);
    title->setTextFormat(Qt::PlainText);
    grid->addWidget(title, 0, 0, 1, 4);
    int row = 1;
    for (int n = 1; n <= kPrintLineCount; ++n) {
      if ((n <= kFiscalLogoLines ? kLogoColumn : kHeaderFooterColumn) != group) continue;
      auto* number = new QLabel(QString::number(n), this);
      number->setObjectName(QStringLiteral("line%1").arg(n));
      number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      number->setBuddy(field(LineTextControl(n)));
      grid->addWidget(number, row, 0);
      grid->addWidget(field(LineTextControl(n)), row, 1);
      grid->addWidget(field(LineSizeControl(n)), row++, 2);
    }
    // Numbers, texts and sizes keep together at the left of a wider column.
    grid->setColumnStretch(3, 1);
    return grid;
  };

  QGridLayout* logo = column(kLogoColumn, kLogoColumnTitle);
  logo->setRowStretch(logo->rowCount(), 1);
  logo->addWidget(load_, logo->rowCount(), 0, 1, 3, Qt::AlignLeft);

  QGridLayout* header_footer = column(kHeaderFooterColumn, kHeaderFooterColumnTitle);
  auto* right = new QVBoxLayout;
  right->setSpacing(10);
  right->addLayout(header_footer);
  right->addWidget(preview_, 0, Qt::AlignLeft);
  right->addStretch(1);

  auto* layout = new QHBoxLayout;
  // Two columns of lines wide enough for 32 Greek capitals each still fit a
  // window of 800 pixels.
  layout->setContentsMargins(10, 12, 10, 12);
  layout->setSpacing(16);
  layout->addLayout(logo);
  layout->addLayout(right);
  SetTabOrderFromTable();
  setFixedSize(CaptionOver(layout)->sizeHint());
}

void LogoPanel::OnShow() { model().Show(); }

void LogoPanel::OnHide() {
  // The field being typed in stores first, so its size is corrected too.
  EditorPanel::OnHide();
  model().Hide();
}

void LogoPanel::Repaint() {
  update();
  preview_->update();
}

void LogoPanel::OnEnter(int /*focused*/) { model().OnEnter(); }

void LogoPanel::paintEvent(QPaintEvent* event) {
  EditorPanel::paintEvent(event);
  QPainter painter(this);
  painter.setPen(Qt::black);
  for (const editors::Point& m : editors::ScaleMarks(preview_->PanelRect())) painter.drawPoint(m.x, m.y);
}

}  // namespace zel::app
