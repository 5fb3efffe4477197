// The rows and headers of the editor panels' lists, built on demand from the
// data image: a list widget asks for row i when it draws it, so the 16000
// item rows never exist as strings all at once.
//
// Rows and headers are code page 1253 bytes (they carry names from the
// image); the widget converts them when it draws them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/data_image.h"

namespace zel::editors {

// Items list row: the 26 name characters (26 blanks for an empty slot), a
// blank and the item number right-aligned in 5 positions.
inline constexpr std::size_t kItemRowWidth = 32;
// Writes the 32 characters of row i (item i + 1) to out.
void ItemRow(const DataImage& image, int i, char* out);
std::string ItemRowText(const DataImage& image, int i);

// Rows of the list groups 1..5 and 7; row i is record i + 1.
std::string ListRow(const DataImage& image, int group, int i);
int ListRowCount(int group);
// "Πληρωμή:", "Κατηγορίες:", "Χειριστές:", "Τμήματα:", "Πελατη"; the items
// list's "               Είδος".
std::string ListHeader(int group);

// What the list shows after a fill.
struct ListContent {
  int group = 0;
  int rows = 0;        // ListRow(image, group, 0 .. rows - 1)
  std::string header;  // code page 1253
  int selected = 0;    // row to select
};
ListContent ListFor(DataImage& image, int group);

}  // namespace zel::editors
