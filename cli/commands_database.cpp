// zelctl new / info / dump: writing a default database and reading one back
// as readable UTF-8 text.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "commands.h"
#include "core/convert.h"
#include "core/cp1253.h"
#include "core/data_image.h"
#include "core/database_file.h"
#include "core/options.h"
#include "core/safe_file.h"

namespace zel::cli {
namespace {

namespace fs = std::filesystem;

// A stored text as UTF-8 for the terminal. Control bytes are written as
// visible escapes ("\x1b"), so a crafted file can neither drive the
// terminal nor break the one-record-per-line output.
std::string Shown(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", b);
      out += escape;
    } else {
      out += c;
    }
  }
  return cp1253::ToUtf8(out);
}
std::string U(ConstBytes field) { return Shown(TextOf(field)); }
std::string Trim(std::string s) { return s.erase(0, s.find_first_not_of(' ')); }

std::string Price(std::int32_t price, std::uint8_t decimals) {
  const int d = ShownDecimals(decimals);
  return Trim(FormatSignedText(price, 9 - d, d));
}
std::string Amount(std::int32_t v, int digits) { return Trim(FormatSignedText(v, digits, 2)); }

std::string Ip(const IPv4& a) {
  return std::to_string(a[0]) + '.' + std::to_string(a[1]) + '.' + std::to_string(a[2]) + '.' + std::to_string(a[3]);
}

constexpr std::string_view kVatLetters[] = {"Α", "Β", "Γ", "Δ", "Ε"};
std::string_view VatLetter(std::uint8_t index) { return index < 5 ? kVatLetters[index] : "?"; }

void PrintLines(std::ostream& o, const DataImage& db) {
  const ConstParameters p = db.parameters();
  for (int n = 1; n <= kPrintLineCount; ++n) {
    const std::uint8_t size = p.print_size(n);
    o << (n <= kFiscalLogoLines ? "  λογότυπο " : "  κεφ/υποσ ") << (n < 10 ? " " : "") << n << " ["
      << Shown(std::string(1, static_cast<char>(size))) << "] \"" << U(p.print_line(n)) << "\"\n";
  }
}

void PrintOptions(std::ostream& o, const DataImage& db) {
  const ConstParameters p = db.parameters();
  for (const OptionField& f : OptionFields()) {
    const std::uint32_t v = GetOption(p.options(f.word), f);
    o << "  " << f.name << " (λέξη " << f.word << ", bit " << f.shift;
    if (f.bits > 1) o << '-' << f.shift + f.bits - 1;
    o << "): " << v;
    if (v < f.values.size()) o << " = " << f.values[v];
    o << '\n';
  }
}

void PrintParameters(std::ostream& o, const DataImage& db) {
  const ConstParameters p = db.parameters();
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", p.options1());
  o << "  Αρ. μηχανής: " << p.machine_number() + 1 << '\n'
    << "  Όριο απόδειξης: " << Amount(p.receipt_limit(), 7) << '\n'
    << "  Κωδ. τεχνικού: " << p.technician_code() << '\n'
    << "  Λέξη επιλογών 1: 0x" << hex << '\n';
  std::snprintf(hex, sizeof hex, "%08X", p.options2());
  o << "  Λέξη επιλογών 2: 0x" << hex << '\n';
  for (int n = 1; n <= 5; ++n)
    o << "  Barcode " << n << ": " << int{p.barcode_prefix(n)} << '-' << int{p.barcode_format(n)} << '\n';
  o << "  ΦΗΜ IP: " << Ip(p.ip(param::kRegisterIp)) << "  NET MASK: " << Ip(p.ip(param::kNetMask))
    << "  GATEWAY: " << Ip(p.ip(param::kGateway)) << "  DNS: " << Ip(p.ip(param::kDnsIp)) << '\n';
  for (int n = 1; n <= 3; ++n)
    o << "  POS" << n << ": όνομα \"" << U(p.pos_name(n)) << "\" ID \"" << U(p.pos_id(n)) << "\" IP "
      << Ip(p.ip(p.pos_ip_offset(n))) << " θύρα " << p.pos_port(n) << '\n';
  o << "  URL ΑΑΔΕ: " << U(p.tax_authority_url()) << '\n'
    << "  URL QR: " << U(p.qr_url()) << '\n'
    << "  URL κλειδιά AES: " << U(p.aes_key_url()) << '\n'
    << "  URL κλειδιά EFT-POS: " << U(p.eft_pos_key_url()) << '\n'
    << "  URL Firmware: " << U(p.firmware_url()) << '\n'
    << "  Κλειδί AES: \"" << U(p.aes_key()) << "\"\n";
}

void PrintVat(std::ostream& o, const DataImage& db) {
  for (int i = 0; i < kVatRateCount; ++i)
    o << "  " << kVatLetters[i] << ": " << Trim(FormatUnsignedText(db.vat_rate(i), 2, 2)) << " %\n";
}

void PrintShortNames(std::ostream& o, const DataImage& db, Block b, int count) {
  for (int i = 0; i < count; ++i) o << "  " << i + 1 << ": \"" << U(db.record(b, i)) << "\"\n";
}

void PrintDepartments(std::ostream& o, const DataImage& db) {
  for (int i = 0; i < kDepartmentCount; ++i) {
    const ConstDepartment d = db.department(i);
    o << "  " << i + 1 << ": \"" << U(d.name()) << "\" ΦΠΑ " << VatLetter(d.vat()) << " κατ. " << d.category() + 1
      << " τιμή " << Price(d.fixed_price(), d.price_decimals()) << " όριο " << Amount(d.limit(), 6)
      << (d.closes_receipt() ? " κλείνει απόδειξη" : "") << (d.from_scale() ? " ζυγαριά" : "") << '\n';
  }
}

void PrintOperators(std::ostream& o, const DataImage& db) {
  for (int i = 0; i < kOperatorCount; ++i)
    o << "  " << i + 1 << ": \"" << U(db.op(i).name()) << "\" κωδικός " << db.op(i).code() << '\n';
}

void PrintItem(std::ostream& o, const DataImage& db, int i) {
  const ConstItem it = db.item(i);
  o << "  " << i + 1 << ": \"" << U(it.name()) << "\" " << Price(it.price(), it.price_decimals()) << " τμ. "
    << it.department() + 1 << " κατ. " << it.category() + 1;
  if (it.barcode()[0] != 0) o << " barcode " << U(it.barcode());
  if (it.from_scale()) o << " ζυγαριά";
  o << '\n';
}

void PrintCustomer(std::ostream& o, const DataImage& db, int i) {
  const ConstCustomer c = db.customer(i);
  o << "  " << i + 1 << ": ΑΦΜ " << c.tax_number() << " \"" << U(c.company()) << "\" \"" << U(c.profession()) << "\" \""
    << U(c.address()) << "\" ΔΟΥ \"" << U(c.tax_office()) << "\" τηλ. \"" << U(c.phone()) << "\"\n";
}

void PrintItems(std::ostream& o, const DataImage& db, bool all) {
  for (int i = 0; i < kItemCount; ++i)
    if (all || !db.item(i).empty()) PrintItem(o, db, i);
}

void PrintCustomers(std::ostream& o, const DataImage& db, bool all) {
  for (int i = 0; i < kCustomerCount; ++i)
    if (all || !db.customer(i).empty()) PrintCustomer(o, db, i);
}

int CountItems(const DataImage& db) {
  int n = 0;
  for (int i = 0; i < kItemCount; ++i) n += db.item(i).empty() ? 0 : 1;
  return n;
}

int CountCustomers(const DataImage& db) {
  int n = 0;
  for (int i = 0; i < kCustomerCount; ++i) n += db.customer(i).empty() ? 0 : 1;
  return n;
}

int LogoRows(const DataImage& db) {
  const ConstBytes logo = db.logo();
  for (int r = logo::kRows; r > 0; --r)
    for (int b = 0; b < logo::kRowBytes; ++b)
      if (logo[static_cast<std::size_t>((r - 1) * logo::kRowBytes + b)] != 0) return r;
  return 0;
}

}  // namespace

bool LoadDatabase(const std::string& path, DataImage& image) {
  std::string cause;
  if (ReadDatabaseFile(path, image.raw(), &cause) != FileStatus::kOk) {
    std::cerr << WithCause(kMsgReadError, cause) << '\n';
    return false;
  }
  return true;
}

bool SaveDatabase(const std::string& path, const DataImage& image) {
  std::string cause;
  if (WriteDatabaseFile(path, image, &cause) != FileStatus::kOk) {
    std::cerr << WithCause(kMsgWriteError, cause) << '\n';
    return false;
  }
  return true;
}

struct NewArgs {
  std::string file;
  bool force = false;
};

int CmdNew(const NewArgs& a) {
  // A new database over an existing one would lose it in silence; so would
  // one written over a symbolic link, dangling or not. Only --force does so.
  std::error_code ec;
  if (!a.force && fs::symlink_status(a.file, ec).type() != fs::file_type::not_found) {
    std::cerr << "Το αρχείο " << EscapedControls(a.file)
              << " υπάρχει ήδη: δεν αντικαταστάθηκε (δώστε --force για αντικατάσταση).\n";
    return 1;
  }
  return SaveDatabase(a.file, DataImage()) ? 0 : 1;
}

int CmdInfo(const std::string& file) {
  DataImage db;
  if (!LoadDatabase(file, db)) return 1;
  std::ostringstream o;
  const int logo_rows = LogoRows(db);
  o << "Βάση δεδομένων: " << file << '\n'
    << "Γραφικό λογότυπο: " << (logo_rows ? std::to_string(logo_rows) + " γραμμές" : "κανένα") << '\n'
    << "Γραμμές εκτύπωσης:\n";
  PrintLines(o, db);
  o << "Παράμετροι:\n";
  PrintParameters(o, db);
  o << "Επιλογές:\n";
  PrintOptions(o, db);
  o << "Κατηγορίες ΦΠΑ:\n";
  PrintVat(o, db);
  o << "Πληρωμές:\n";
  PrintShortNames(o, db, Block::kPayments, kPaymentCount);
  o << "Κατηγορίες:\n";
  PrintShortNames(o, db, Block::kCategories, kCategoryCount);
  o << "Τμήματα:\n";
  PrintDepartments(o, db);
  o << "Χειριστές:\n";
  PrintOperators(o, db);
  o << "Είδη (" << CountItems(db) << "):\n";
  PrintItems(o, db, false);
  o << "Πελάτες (" << CountCustomers(db) << "):\n";
  PrintCustomers(o, db, false);
  std::cout << o.str();
  return 0;
}

struct DumpArgs {
  std::string file, table;
  bool all = false;
};

int CmdDump(const DumpArgs& a) {
  const bool all = a.all;
  const std::string& table = a.table;
  DataImage db;
  if (!LoadDatabase(a.file, db)) return 1;
  std::ostringstream o;
  if (table == "items")
    PrintItems(o, db, all);
  else if (table == "customers")
    PrintCustomers(o, db, all);
  else if (table == "departments")
    PrintDepartments(o, db);
  else if (table == "categories")
    PrintShortNames(o, db, Block::kCategories, kCategoryCount);
  else if (table == "payments")
    PrintShortNames(o, db, Block::kPayments, kPaymentCount);
  else if (table == "operators")
    PrintOperators(o, db);
  else if (table == "vat")
    PrintVat(o, db);
  else if (table == "lines")
    PrintLines(o, db);
  else if (table == "params") {
    PrintParameters(o, db);
    PrintOptions(o, db);
  } else {
    std::cerr << "Άγνωστος πίνακας: " << table << '\n';
    return 2;
  }
  std::cout << o.str();
  return 0;
}

void AddNew(CommandLine& cli) {
  CLI::App* c = cli.Add("new", "FILE [--force]",
                        "γράφει μια νέα βάση δεδομένων με τις αρχικές τιμές (ένα υπάρχον αρχείο μόνο με --force)");
  auto a = std::make_shared<NewArgs>();
  Argument(c, "FILE", a->file, "η νέα βάση δεδομένων (.cld)");
  c->add_flag("--force", a->force, "γράφει και πάνω σε αρχείο (ή συμβολικό σύνδεσμο) που υπάρχει");
  cli.Runs(c, [a] { return CmdNew(*a); });
}

void AddInfo(CommandLine& cli) {
  CLI::App* c = cli.Add("info", "FILE", "σύνοψη της βάσης δεδομένων");
  auto file = std::make_shared<std::string>();
  Argument(c, "FILE", *file, "η βάση δεδομένων (.cld)");
  cli.Runs(c, [file] { return CmdInfo(*file); });
}

void AddDump(CommandLine& cli) {
  CLI::App* c = cli.Add("dump", "FILE TABLE [--all]",
                        "οι εγγραφές ενός πίνακα (TABLE: items, customers, departments, "
                        "categories, payments, operators, vat, lines, params)");
  auto a = std::make_shared<DumpArgs>();
  Argument(c, "FILE", a->file, "η βάση δεδομένων (.cld)");
  // The table is checked by the command, once the file has been read.
  Argument(c, "TABLE", a->table, "items, customers, departments, categories, payments, operators, vat, lines ή params");
  c->add_flag("--all", a->all, "items, customers: και οι κενές θέσεις");
  cli.Runs(c, [a] { return CmdDump(*a); });
}

}  // namespace zel::cli
