// The CSV item and customer import over arbitrary file contents. The first
// byte picks the table and the options (title lines, update mode, which
// item columns the file has); the rest is the file. An import either runs
// to its end or refuses with the image exactly as it was; an imported table
// must then export without fault.
#include "editors/csv.h"
#include "fuzz/fuzz_support.h"
#include "support/scripted_ui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const zel::DataImage start = [] {
    // A few items and customers already there, so a correction has
    // something to correct.
    zel::DataImage image;
    for (int i = 0; i < 3; ++i) {
      zel::StoreText(image.item(i).name(), "ITEM");
      zel::StoreText(image.customer(i).company(), "CUSTOMER");
    }
    return image;
  }();
  zel::fuzz::Input in(data, size);
  const std::uint8_t choice = in.Byte();
  const auto rest = in.Rest();
  const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());

  zel::DataImage image = start;
  zel::test::ScriptedUi ui;
  bool imported;
  if (choice & 0x80) {
    imported = zel::editors::ImportCustomersText(image, text, ui);
  } else {
    zel::editors::CsvOptions options;
    options.title_lines = choice % 10;
    options.mode = (choice & 0x10) ? zel::editors::UpdateMode::kCorrect : zel::editors::UpdateMode::kReplace;
    options.columns.number = (choice & 0x20) == 0;
    options.columns.price = (choice & 0x40) == 0;
    options.columns.barcode = (choice % 3) != 0;
    options.columns.department = (choice % 5) != 0;
    options.columns.category = (choice % 7) != 0;
    imported = zel::editors::ImportItemsText(image, text, options, ui);
    if (imported) (void)zel::editors::ItemsCsvText(image, options);
  }
  if (!imported) zel::fuzz::Require(image == start, "a refused import leaves the image as it was");
  if (imported && (choice & 0x80)) (void)zel::editors::CustomersCsvText(image);
  return 0;
}
