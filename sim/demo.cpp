#include "sim/demo.h"

#include <random>
#include <string>

#include "core/cp1253.h"

namespace zel::sim {
namespace {

void Text(Bytes field, const char* utf8) { StoreText(field, cp1253::Encode(utf8)); }

// 13 digits: "520" (Greece), nine digits from `n`, and the EAN-13 check digit.
std::string Ean13(int n) {
  std::string code = "520" + std::to_string(100000000 + n).substr(0, 9);
  int sum = 0;
  for (std::size_t i = 0; i < 12; ++i) sum += (code[i] - '0') * (i % 2 == 0 ? 1 : 3);
  code += static_cast<char>('0' + (10 - sum % 10) % 10);
  return code;
}

struct DemoItem {
  int record;
  const char* name;
  std::int32_t price;  // in units of 10^-decimals
  std::uint8_t decimals;
  std::uint8_t department;
  std::uint8_t category;
  bool by_weight;
};

// Departments: 0 bakery, 1 dairy, 2 greengrocery, 3 soft drinks, 4 spirits,
// 5 tobacco, 6 press, 7 household, 8 delicatessen.
constexpr DemoItem kItems[] = {
    {0, "ΨΩΜΙ ΧΩΡΙΑΤΙΚΟ 1KG", 210, 2, 0, 0, false},
    {1, "ΚΟΥΛΟΥΡΙ ΘΕΣΣΑΛΟΝΙΚΗΣ", 70, 2, 0, 0, false},
    {2, "ΤΥΡΟΠΙΤΑ ΚΟΥΡΟΥ", 180, 2, 0, 0, false},
    {3, "ΦΡΥΓΑΝΙΕΣ ΟΛΙΚΗΣ 250ΓΡ", 245, 2, 0, 0, false},
    {4, "ΓΑΛΑ ΦΡΕΣΚΟ 1L", 159, 2, 1, 0, false},
    {5, "ΓΙΑΟΥΡΤΙ ΣΤΡΑΓΓΙΣΤΟ 1KG", 649, 2, 1, 0, false},
    {6, "ΦΕΤΑ ΠΟΠ ΧΥΜΑ", 1290, 2, 8, 0, true},
    {7, "ΚΑΣΕΡΙ ΧΥΜΑ", 1480, 2, 8, 0, true},
    {8, "ΒΟΥΤΥΡΟ 250ΓΡ", 365, 2, 1, 0, false},
    {9, "ΑΥΓΑ ΕΛΕΥΘ. ΒΟΣΚΗΣ 6ΤΜΧ", 329, 2, 1, 0, false},
    {10, "ΝΤΟΜΑΤΕΣ ΕΓΧΩΡΙΕΣ", 229, 2, 2, 0, true},
    {11, "ΠΑΤΑΤΕΣ ΝΑΞΟΥ", 119, 2, 2, 0, true},
    {12, "ΜΗΛΑ ΖΑΓΟΡΑΣ", 199, 2, 2, 0, true},
    {13, "ΛΕΜΟΝΙΑ", 189, 2, 2, 0, true},
    {14, "ΕΛΑΙΟΛΑΔΟ ΕΞ. ΠΑΡΘ. 1L", 1090, 2, 8, 0, false},
    {15, "ΕΛΙΕΣ ΚΑΛΑΜΩΝ ΧΥΜΑ", 890, 2, 8, 0, true},
    {16, "ΜΕΛΙ ΘΥΜΑΡΙΣΙΟ 450ΓΡ", 795, 2, 8, 0, false},
    {17, "ΚΑΦΕΣ ΕΛΛΗΝΙΚΟΣ 96ΓΡ", 235, 2, 8, 0, false},
    {18, "ΖΑΧΑΡΗ ΛΕΥΚΗ 1KG", 135, 2, 8, 0, false},
    {19, "ΜΑΚΑΡΟΝΙΑ ΝΟ 10 500ΓΡ", 115, 2, 8, 0, false},
    {20, "ΝΕΡΟ ΦΥΣΙΚΟ 500ML", 50, 2, 3, 1, false},
    {21, "ΝΕΡΟ ΦΥΣΙΚΟ 1,5L", 90, 2, 3, 1, false},
    {22, "ΠΟΡΤΟΚΑΛΑΔΑ 330ML", 120, 2, 3, 1, false},
    {23, "ΛΕΜΟΝΑΔΑ 330ML", 120, 2, 3, 1, false},
    {24, "ΜΠΥΡΑ ΕΛΛΗΝΙΚΗ 500ML", 175, 2, 4, 1, false},
    {25, "ΚΡΑΣΙ ΛΕΥΚΟ ΡΕΤΣΙΝΑ 500ML", 310, 2, 4, 1, false},
    {26, "ΟΥΖΟ 200ML", 545, 2, 4, 1, false},
    {27, "ΤΣΙΠΟΥΡΟ ΧΩΡΙΣ ΓΛΥΚΑΝΙΣΟ", 1250, 2, 4, 1, false},
    {28, "ΤΣΙΓΑΡΑ ΠΑΚΕΤΟ 20ΤΜΧ", 470, 2, 5, 2, false},
    {29, "ΚΑΠΝΟΣ ΣΤΡΙΦΤΟΣ 30ΓΡ", 690, 2, 5, 2, false},
    {30, "ΑΝΑΠΤΗΡΑΣ", 100, 2, 5, 2, false},
    {31, "ΕΦΗΜΕΡΙΔΑ ΗΜΕΡΗΣΙΑ", 150, 2, 6, 4, false},
    {32, "ΠΕΡΙΟΔΙΚΟ ΕΒΔΟΜΑΔΙΑΙΟ", 300, 2, 6, 4, false},
    {33, "ΧΑΡΤΙ ΚΟΥΖΙΝΑΣ 2ΡΟΛΑ", 285, 2, 7, 3, false},
    {34, "ΑΠΟΡΡΥΠΑΝΤΙΚΟ ΠΙΑΤΩΝ 750ML", 249, 2, 7, 3, false},
    {35, "ΣΑΚΟΥΛΑ ΜΕΤΑΦΟΡΑΣ", 9, 2, 7, 3, false},
    // Seasonal and occasional items kept apart in the table.
    {99, "ΤΣΟΥΡΕΚΙ ΠΑΣΧΑΛΙΝΟ", 850, 2, 0, 0, false},
    {500, "ΒΑΣΙΛΟΠΙΤΑ", 1200, 2, 0, 0, false},
    {1234, "ΚΑΡΤΑ ΚΙΝΗΤΗΣ 10 ΕΥΡΩ", 1000, 2, 6, 4, false},
    {15999, "ΖΑΦΟΡΑ ΚΟΖΑΝΗΣ 1ΓΡ", 12345, 3, 8, 0, false},
};

struct DemoDepartment {
  const char* name;
  std::uint8_t vat;  // 0..4 = Α..Ε
  std::uint8_t category;
  std::int32_t limit;  // cents
};
constexpr DemoDepartment kDepartments[] = {
    {"ΑΡΤΟΠΟΙΙΑ", 1, 0, 5000},   {"ΓΑΛΑΚΤΟΚΟΜΙΚΑ", 1, 0, 10000}, {"ΟΠΩΡΟΠΩΛΕΙΟ", 1, 0, 10000},
    {"ΑΝΑΨΥΚΤΙΚΑ", 2, 1, 10000}, {"ΑΛΚΟΟΛΟΥΧΑ", 2, 1, 20000},    {"ΚΑΠΝΙΚΑ", 2, 2, 30000},
    {"ΤΥΠΟΣ", 0, 4, 5000},       {"ΕΙΔΗ ΣΠΙΤΙΟΥ", 2, 3, 20000},  {"ΠΑΝΤΟΠΩΛΕΙΟ", 1, 0, 50000},
};

struct DemoCustomer {
  const char* company;
  const char* profession;
  const char* address;
  const char* tax_office;
  const char* phone;
  std::int32_t tax_number;
};
constexpr DemoCustomer kCustomers[] = {
    {"ΤΑΒΕΡΝΑ ΤΟ ΠΕΥΚΟ", "ΕΣΤΙΑΣΗ", "ΑΓ. ΔΗΜΗΤΡΙΟΥ 14, ΑΘΗΝΑ", "ΔΟΥ Α' ΑΘΗΝΩΝ", "2103456789", 998877665},
    {"ΚΑΦΕ ΑΝΕΜΟΣ Ο.Ε.", "ΚΑΦΕΤΕΡΙΑ", "ΠΛ. ΚΟΡΑΗ 2, ΠΕΙΡΑΙΑΣ", "ΔΟΥ Α' ΠΕΙΡΑΙΑ", "2104123456", 801234567},
    {"ΞΕΝΟΔΟΧΕΙΟ ΑΙΓΑΙΟ Α.Ε.", "ΞΕΝΟΔΟΧΕΙΟ", "ΠΑΡΑΛΙΑ, ΝΑΞΟΣ", "ΔΟΥ ΝΑΞΟΥ", "2285023456", 99123456},
    {"ΠΑΠΑΣ ΙΩΑΝΝΗΣ", "ΗΛΕΚΤΡΟΛΟΓΟΣ", "ΕΓΝΑΤΙΑΣ 100, ΘΕΣ/ΝΙΚΗ", "ΔΟΥ Ζ' ΘΕΣΣΑΛΟΝΙΚΗΣ", "6944123456", 123123123},
    {"ΣΧΟΛΗ ΧΟΡΟΥ ΡΥΘΜΟΣ", "ΕΚΠΑΙΔΕΥΣΗ", "ΚΑΝΑΡΗ 8, ΠΑΤΡΑ", "ΔΟΥ Α' ΠΑΤΡΩΝ", "", 45678901},
};

}  // namespace

void FillDemoImage(DataImage& image) {
  image.ResetToDefaults();
  Parameters p = image.parameters();

  const char* logo[kFiscalLogoLines] = {"ΜΙΝΙ ΜΑΡΚΕΤ Η ΓΩΝΙΑ",
                                        "ΠΑΠΑΔΟΠΟΥΛΟΣ ΓΕΩΡΓΙΟΣ",
                                        "ΕΡΜΟΥ 25",
                                        "ΑΘΗΝΑ 10563",
                                        "ΑΦΜ: 123456789",
                                        "ΔΟΥ: Α' ΑΘΗΝΩΝ",
                                        "ΤΗΛ. 2103214567",
                                        "",
                                        ""};
  const char logo_sizes[kFiscalLogoLines] = {'4', '2', '1', '1', '3', '1', '1', '1', '1'};
  for (int n = 1; n <= kFiscalLogoLines; ++n) {
    Text(p.print_line(n), logo[n - 1]);
    p.print_size(n) = static_cast<std::uint8_t>(logo_sizes[n - 1]);
  }
  const char* header_footer[6] = {"ΚΑΛΩΣ ΗΡΘΑΤΕ", "", "", "", "ΕΥΧΑΡΙΣΤΟΥΜΕ ΠΟΛΥ!", "ΚΑΛΗ ΣΑΣ ΗΜΕΡΑ"};
  const char header_footer_sizes[6] = {'3', '1', '1', '1', '3', '1'};
  for (int n = 10; n <= kPrintLineCount; ++n) {
    Text(p.print_line(n), header_footer[n - 10]);
    p.print_size(n) = static_cast<std::uint8_t>(header_footer_sizes[n - 10]);
  }
  p.set_machine_number(0);
  p.set_receipt_limit(200000);  // 2000,00

  const char* payments[kPaymentCount] = {"ΜΕΤΡΗΤΑ", "ΚΑΡΤΑ", "ΕΠΙΤΑΓΗ", "ΠΙΣΤΩΣΗ", "ΚΟΥΠΟΝΙ"};
  for (int i = 0; i < kPaymentCount; ++i) Text(image.payment(i), payments[i]);

  const char* categories[] = {"ΤΡΟΦΙΜΑ", "ΠΟΤΑ", "ΚΑΠΝΙΚΑ", "ΕΙΔΗ ΣΠΙΤΙΟΥ", "ΠΕΡΙΠΤΕΡΟ"};
  for (std::size_t i = 0; i < std::size(categories); ++i) Text(image.category(static_cast<int>(i)), categories[i]);

  for (std::size_t i = 0; i < std::size(kDepartments); ++i) {
    Department d = image.department(static_cast<int>(i));
    Text(d.name(), kDepartments[i].name);
    d.set_vat(kDepartments[i].vat);
    d.set_category(kDepartments[i].category);
    d.set_limit(kDepartments[i].limit);
    d.set_fixed_price(0);
    d.set_price_decimals(2);
  }

  const char* operators[] = {"ΓΙΩΡΓΟΣ", "ΜΑΡΙΑ", "ΝΙΚΟΣ", "ΕΛΕΝΗ"};
  for (std::size_t i = 0; i < std::size(operators); ++i) Text(image.op(static_cast<int>(i)).name(), operators[i]);

  std::ranges::fill(image.block(Block::kItems), std::uint8_t{0});
  for (int i = 0; i < kItemCount; ++i) image.item(i).set_price_decimals(2);
  for (const DemoItem& d : kItems) {
    Item it = image.item(d.record);
    Text(it.name(), d.name);
    it.set_price(d.price);
    it.set_price_decimals(d.decimals);
    it.set_department(d.department);
    it.set_category(d.category);
    it.set_from_scale(d.by_weight ? 1 : 0);
    if (!d.by_weight) StoreText(it.barcode(), Ean13(d.record));
  }

  std::ranges::fill(image.block(Block::kCustomers), std::uint8_t{0});
  for (std::size_t i = 0; i < std::size(kCustomers); ++i) {
    Customer c = image.customer(static_cast<int>(i));
    const DemoCustomer& d = kCustomers[i];
    Text(c.company(), d.company);
    Text(c.profession(), d.profession);
    Text(c.address(), d.address);
    Text(c.tax_office(), d.tax_office);
    // Telephone digits fill the field from the left, zeros after them.
    const std::string phone = d.phone;
    std::ranges::fill(c.phone(), std::uint8_t{0});
    std::copy(phone.begin(), phone.end(), c.phone().begin());
    c.set_tax_number(d.tax_number);
  }
}

std::array<CustomerMessageLine, 2> DemoCustomerMessage() {
  std::array<CustomerMessageLine, 2> lines{};
  StoreText(lines[0], cp1253::Encode("ΚΑΛΩΣ ΗΡΘΑΤΕ"));
  StoreText(lines[1], cp1253::Encode("Η ΓΩΝΙΑ-ΠΑΝΤΑ ΦΡΕΣΚΑ"));
  return lines;
}

void FillDemoSales(const DataImage& image, std::uint32_t seed, std::vector<SalesFigure>& sales) {
  std::mt19937 rng(seed);
  sales.assign(kItemCount, SalesFigure{});
  for (int i = 0; i < kItemCount; ++i) {
    const ConstItem it = image.item(i);
    if (it.empty() || it.name()[0] == 0xFF) continue;
    if (rng() % 5 == 0) continue;  // not sold since the last clear
    // Weighed items sell in grams, the rest in whole pieces.
    const auto draw = [&rng](std::uint32_t n) { return static_cast<std::int64_t>(rng() % n); };
    const std::int64_t quantity = it.from_scale() ? 250 + draw(12000) : 1000 * (1 + draw(60));
    std::int64_t scale = 1;
    for (int d = 2; d < ShownDecimals(it.price_decimals()); ++d) scale *= 10;
    const std::int64_t amount = (quantity * it.price() / scale + 500) / 1000;
    sales[static_cast<std::size_t>(i)] = {static_cast<std::int32_t>(quantity), static_cast<std::int32_t>(amount)};
  }
}

}  // namespace zel::sim
