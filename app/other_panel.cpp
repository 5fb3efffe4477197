#include "app/other_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "app/qt_user_interface.h"
#include "app/text.h"

namespace zel::app {
namespace {

using namespace editors;

// The fields of each group, in the order they are laid out.
struct GroupLayout {
  int group;
  std::initializer_list<int> rows;
};
const GroupLayout kGroups[] = {
    {kGroupPayments, {kPaymentNumber, kPaymentName}},
    {kGroupCategories, {kCategoryNumber, kCategoryName}},
    {kGroupOperators, {kOperatorNumber, kOperatorName, kOperatorCode}},
    {kGroupVatRates, {kVatA, kVatB, kVatC, kVatD}},
    {kGroupDepartments,
     {kDepartmentNumber, kDepartmentName, kDepartmentPrice, kDepartmentLimit, kDepartmentVat, kDepartmentCategory}},
    {kGroupCustomers,
     {kCustomerNumber, kCustomerTaxNumber, kCustomerPhone, kCustomerCompany, kCustomerProfession, kCustomerAddress,
      kCustomerTaxOffice}},
};

bool IsNumberField(int id) {
  return id == kPaymentNumber || id == kCategoryNumber || id == kOperatorNumber || id == kDepartmentNumber;
}

}  // namespace

OtherDataPanel::OtherDataPanel(const PanelContext& context)
    : EditorPanel(panel::kOtherData, Utf8(kOtherCaption), context,
                  std::make_unique<editors::OtherDataPanel>(context.image, context.ui, context.shell.editor_shared())) {
  MakeControls();
  MakeList(kSharedList, kSharedListHeader);

  PanelList* l = list();
  connect(l, &PanelList::FocusGained, this, [this] { model().OnListFocusGained(); });
  connect(l, &PanelList::UserSelected, this, [this](int row) { model().OnListSelectionChanged(row); });
  connect(l, &PanelList::FocusLost, this, [this] { model().OnListFocusLost(); });

  button(kCustomerImport)->setText(QStringLiteral("ΕΙΣΑΓΩΓΗ ΠΕΛΑΤΩΝ"));
  button(kCustomerImport)->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  button(kCustomerExport)->setText(QStringLiteral("ΕΞΑΓΩΓΗ ΠΕΛΑΤΩΝ"));
  button(kCustomerExport)->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  Layout();
}

void OtherDataPanel::Layout() {
  std::map<int, QGroupBox*> boxes;
  for (const GroupLayout& g : kGroups) {
    auto* box = new QGroupBox(Utf8(kOtherGroupTitles[g.group]), this);
    box->setObjectName(QStringLiteral("group%1").arg(g.group));
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(4);
    // Tight margins: with fields wide enough for 32 Greek capitals the three
    // columns still fit a window of 800 pixels.
    grid->setContentsMargins(3, 4, 3, 4);
    grid->setHorizontalSpacing(6);
    int row = 0;
    for (const int id : g.rows) {
      QLabel* l = label(id);
      if (l == nullptr) {
        // The table leaves the number and name of a record unlabelled; the
        // group's title says whose they are.
        l = new QLabel(IsNumberField(id) ? QStringLiteral("Αριθμός") : QStringLiteral("Ονομα"), this);
        l->setBuddy(field(id));
      }
      l->setParent(box);
      grid->addWidget(l, row, 0);
      field(id)->setParent(box);
      grid->addWidget(field(id), row, 1, Qt::AlignLeft);
      ++row;
    }
    boxes[g.group] = box;
  }
  // The department's boxes follow its limit, in the Enter order.
  {
    auto* grid = static_cast<QGridLayout*>(boxes[kGroupDepartments]->layout());
    auto* checks = new QHBoxLayout;
    for (const int id : {kDepartmentClosesReceipt, kDepartmentFromScale}) {
      check_box(id)->setParent(boxes[kGroupDepartments]);
      checks->addWidget(check_box(id));
    }
    checks->addStretch(1);
    grid->addLayout(checks, grid->rowCount(), 0, 1, 2);
  }
  {
    auto* grid = static_cast<QGridLayout*>(boxes[kGroupCustomers]->layout());
    auto* buttons = new QHBoxLayout;
    for (const int id : {kCustomerImport, kCustomerExport}) {
      button(id)->setParent(boxes[kGroupCustomers]);
      buttons->addWidget(button(id));
    }
    grid->addLayout(buttons, grid->rowCount(), 0, 1, 2);
  }

  auto* left = new QVBoxLayout;
  for (const int g : {kGroupPayments, kGroupCategories, kGroupOperators, kGroupVatRates}) left->addWidget(boxes[g]);
  left->addStretch(1);
  auto* middle = new QVBoxLayout;
  for (const int g : {kGroupDepartments, kGroupCustomers}) middle->addWidget(boxes[g]);
  middle->addStretch(1);

  // Wide enough for a department's whole row; a customer's long name can be
  // scrolled to.
  const QFontMetrics rows = list()->fontMetrics();
  list()->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list()->setFixedWidth(rows.horizontalAdvance(QString(30, QLatin1Char('M'))) +
                        list()->verticalScrollBar()->sizeHint().width() + 2 * list()->frameWidth());
  list()->setMinimumHeight(rows.height() * 16);
  auto* right = new QVBoxLayout;
  right->setSpacing(2);
  right->addWidget(list_header());
  right->addWidget(list(), 1);

  auto* layout = new QHBoxLayout;
  layout->setContentsMargins(2, 8, 2, 8);
  layout->setSpacing(4);
  layout->addLayout(left);
  layout->addLayout(middle);
  layout->addLayout(right);
  SetTabOrderFromTable();
  setFixedSize(CaptionOver(layout)->sizeHint());
}

void OtherDataPanel::OnShow() { model().Show(); }

void OtherDataPanel::OnEnter(int focused) { model().OnEnter(focused); }

}  // namespace zel::app
