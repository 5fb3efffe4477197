#include "editors/lists.h"

#include <algorithm>

#include "core/convert.h"
#include "core/cp1253.h"
#include "editors/field_edit.h"

namespace zel::editors {
namespace {

// A name as the list shows it: its bytes, where a control byte (a zero
// inside a name read from the register) shows as a blank.
void PutName(char* out, ConstBytes name) {
  for (std::size_t k = 0; k < name.size(); ++k) out[k] = name[k] < ' ' ? ' ' : static_cast<char>(name[k]);
}

bool AllZero(ConstBytes b) {
  return std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0; });
}

// "n name": the number right-aligned in `digits`, a blank, the name (a name
// that is all zero bytes ends the row after the blank), and `tail` blanks.
std::string NumberedRow(int number, int digits, ConstBytes name, int tail) {
  std::string row = FormatUnsignedText(static_cast<std::uint16_t>(number), digits, 0) + ' ';
  if (AllZero(name)) return row;
  const std::size_t at = row.size();
  row.resize(at + name.size() + static_cast<std::size_t>(tail), ' ');
  PutName(row.data() + at, name);
  return row;
}

}  // namespace

void ItemRow(const DataImage& image, int i, char* out) {
  const ConstItem it = image.item(i);
  if (it.empty())
    std::fill(out, out + item::kNameWidth, ' ');
  else
    PutName(out, it.name());
  out[item::kNameWidth] = ' ';
  FormatUnsigned(out + item::kNameWidth + 1, static_cast<std::uint16_t>(i + 1), 5, 0);
}

std::string ItemRowText(const DataImage& image, int i) {
  std::string row(kItemRowWidth, ' ');
  ItemRow(image, i, row.data());
  return row;
}

std::string ListRow(const DataImage& image, int group, int i) {
  switch (group) {
    case kGroupPayments: return NumberedRow(i + 1, 1, image.payment(i), 1);
    case kGroupCategories: return NumberedRow(i + 1, 2, image.category(i), 0);
    case kGroupOperators: return NumberedRow(i + 1, 2, image.op(i).name(), 0);
    case kGroupDepartments: return NumberedRow(i + 1, 2, image.department(i).name(), 1);
    case kGroupCustomers: return NumberedRow(i + 1, 4, image.customer(i).company(), 0);
    case kGroupItems: return ItemRowText(image, i);
    default: return {};
  }
}

int ListRowCount(int group) { return group == kGroupVatRates ? 0 : TableSize(group); }

std::string ListHeader(int group) {
  switch (group) {
    case kGroupPayments: return cp1253::Encode("Πληρωμή:");
    case kGroupCategories: return cp1253::Encode("Κατηγορίες:");
    case kGroupOperators: return cp1253::Encode("Χειριστές:");
    case kGroupDepartments: return cp1253::Encode("Τμήματα:");
    case kGroupCustomers: return cp1253::Encode("Πελατη");
    case kGroupItems: return cp1253::Encode("               Είδος");
    default: return {};
  }
}

ListContent ListFor(DataImage& image, int group) {
  ListContent c;
  c.group = group;
  c.rows = ListRowCount(group);
  c.header = ListHeader(group);
  const std::uint16_t* selected = SelectedOf(image, group);
  c.selected = selected ? std::min<int>(*selected, std::max(0, c.rows - 1)) : 0;
  return c;
}

}  // namespace zel::editors
