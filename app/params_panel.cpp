#include "app/params_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/icons.h"
#include "app/qt_user_interface.h"
#include "app/text.h"

namespace zel::app {
namespace {

using namespace editors;

constexpr int kLeftColumn = 1, kMiddleColumn = 2;

// The barcode formats: prefix and format of each of the five.
constexpr std::pair<int, int> kBarcodeRows[] = {{1392, 1393}, {1394, 1395}, {1396, 1397}, {1398, 1399}, {1400, 1401}};
constexpr int kCustomerMessage1 = 1421, kCustomerMessage2 = 1424;
constexpr int kNetworkAddresses[] = {kRegisterIpAddress, 1301, 1302, 1304};
// POS rows: name, ID, IP address, port.
struct PosRow {
  int name, id, ip, port;
};
constexpr PosRow kPosRows[] = {{1432, 1433, 1305, 1438}, {1434, 1435, 1318, 1439}, {kPos3Name, 1437, 1340, 1440}};
constexpr int kUrls[] = {1319, 1337, 1338, 1339, kFirmwareUrl};
constexpr int kTechnicianCode = 1314;

QGridLayout* CompactGrid(QWidget* parent = nullptr) {
  auto* grid = parent != nullptr ? new QGridLayout(parent) : new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  return grid;
}

QGroupBox* Group(std::string_view title, QWidget* parent) { return new QGroupBox(Utf8(title), parent); }

}  // namespace

ParametersPanel::ParametersPanel(const PanelContext& context)
    : EditorPanel(
          panel::kParameters, Utf8(kParametersCaption), context,
          std::make_unique<editors::ParametersPanel>(context.image, context.ui, context.shell.editor_shared())) {
  MakeControls();
  MakeAddresses();

  transfer_codes_ = new QPushButton(TableLabel(kTransferCodes), this);
  transfer_codes_->setIcon(CommandIcon(CommandId::kTransfer));
  transfer_codes_->setIconSize(QSize(20, 20));
  connect(transfer_codes_, &QPushButton::clicked, this, [this] { model().OnTransferCodes(); });
  AddControl(kTransferCodes, transfer_codes_);

  // Sixty-four hexadecimal digits read best in even columns, and so fit the
  // panel whole.
  QFont mono(QStringLiteral("Courier New"));
  mono.setStyleHint(QFont::Monospace);
  mono.setPointSizeF(font().pointSizeF());
  FieldEdit* aes = field(kAesKey);
  aes->setFont(mono);
  aes->setFixedWidth(QFontMetrics(mono).horizontalAdvance(QString(65, QLatin1Char('0'))) + 10);
  Layout();
}

void ParametersPanel::MakeAddresses() {
  for (const ControlSpec& c : model().controls()) {
    if (c.type != ControlType::kAddress) continue;
    auto* edit = new Ipv4Edit(this);
    edit->setObjectName(QStringLiteral("control%1").arg(c.id));
    const int id = c.id;
    connect(edit, &Ipv4Edit::AddressChanged, this, [this, id](const IPv4& a) { model().OnAddressChanged(id, a); });
    AddControl(id, edit);
    addresses_[id] = edit;
  }
}

Ipv4Edit* ParametersPanel::address(int id) const {
  const auto it = addresses_.find(id);
  return it == addresses_.end() ? nullptr : it->second;
}

void ParametersPanel::Layout() {
  // Left and middle: the option controls in table order, a label beside
  // each field, the check boxes under the labels.
  auto option_column = [this](int column) {
    QGridLayout* grid = CompactGrid();
    int row = 0;
    for (const ControlSpec& c : model().controls()) {
      if (c.group != column) continue;
      if (c.type == ControlType::kCheckBox) {
        grid->addWidget(check_box(c.id), row++, 0, 1, 2);
      } else if (c.type == ControlType::kField) {
        grid->addWidget(label(c.id), row, 0);
        grid->addWidget(field(c.id), row++, 1, Qt::AlignLeft);
      }
    }
    grid->setRowStretch(row, 1);
    return grid;
  };

  // Right: barcode formats beside the customer message and the addresses.
  auto* barcodes = Group(kBarcodeGroupTitle, this);
  barcodes->setObjectName(QStringLiteral("barcodeGroup"));
  QGridLayout* barcode_grid = CompactGrid(barcodes);
  barcode_grid->setContentsMargins(8, 4, 8, 6);
  int row = 0;
  for (const auto& [prefix, format] : kBarcodeRows) {
    barcode_grid->addWidget(field(prefix), row, 0);
    barcode_grid->addWidget(label(format), row, 1);
    barcode_grid->addWidget(field(format), row++, 2);
  }

  QGridLayout* addresses = CompactGrid();
  addresses->addWidget(label(kCustomerMessage1), 0, 0, 2, 1);
  addresses->addWidget(field(kCustomerMessage1), 0, 1);
  addresses->addWidget(field(kCustomerMessage2), 1, 1);
  row = 2;
  for (const int id : kNetworkAddresses) {
    auto* l = new QLabel(TableLabel(id), this);
    l->setBuddy(address(id));
    addresses->addWidget(l, row, 0);
    addresses->addWidget(address(id), row++, 1, Qt::AlignLeft);
  }
  auto* top = new QHBoxLayout;
  top->setSpacing(10);
  top->addWidget(barcodes, 0, Qt::AlignTop);
  top->addLayout(addresses);
  top->addStretch(1);

  auto* pos = Group(kPosGroupTitle, this);
  pos->setObjectName(QStringLiteral("posGroup"));
  QGridLayout* pos_grid = CompactGrid(pos);
  pos_grid->setContentsMargins(8, 4, 8, 6);
  row = 0;
  for (const PosRow& r : kPosRows) {
    pos_grid->addWidget(label(r.name), row, 0);
    pos_grid->addWidget(field(r.name), row, 1);
    pos_grid->addWidget(field(r.id), row, 2);
    pos_grid->addWidget(address(r.ip), row, 3);
    pos_grid->addWidget(field(r.port), row++, 4);
  }
  pos_grid->setColumnStretch(5, 1);

  auto* urls = Group(kUrlGroupTitle, this);
  urls->setObjectName(QStringLiteral("urlGroup"));
  auto* url_rows = new QVBoxLayout(urls);
  url_rows->setSpacing(3);
  url_rows->setContentsMargins(8, 4, 8, 6);
  for (const int id : kUrls) url_rows->addWidget(field(id), 0, Qt::AlignLeft);

  // The key's sixty-four digits take the column's whole width under their
  // label.
  QGridLayout* codes = CompactGrid();
  codes->addWidget(label(kTechnicianCode), 0, 0);
  codes->addWidget(field(kTechnicianCode), 0, 1, Qt::AlignLeft);
  codes->addWidget(transfer_codes_, 0, 2, Qt::AlignRight);
  codes->addWidget(label(kAesKey), 1, 0, 1, 3);
  codes->addWidget(field(kAesKey), 2, 0, 1, 3, Qt::AlignLeft);
  codes->setColumnStretch(2, 1);

  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  right->addLayout(top);
  right->addWidget(pos);
  right->addWidget(urls);
  right->addLayout(codes);
  right->addStretch(1);

  auto* layout = new QHBoxLayout;
  layout->setContentsMargins(10, 8, 10, 8);
  layout->setSpacing(14);
  layout->addLayout(option_column(kLeftColumn));
  layout->addLayout(option_column(kMiddleColumn));
  layout->addLayout(right);
  SetTabOrderFromTable();
  setFixedSize(CaptionOver(layout)->sizeHint());
}

void ParametersPanel::OnShow() {
  for (const auto& [id, edit] : addresses_) edit->SetAddress(model().Address(id));
  model().Show();
}

// The hidden default button does nothing: Enter leaves the focus where it is.
void ParametersPanel::OnEnter(int /*focused*/) {}

}  // namespace zel::app
