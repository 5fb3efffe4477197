// zelctl: the Setup ZEL engine from the command line, for scripts and for
// dealers who program many registers.
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "zel/version.h"

namespace {

using zel::cli::Command;

constexpr Command kCommands[] = {
    {"new", "FILE [--force]", "γράφει μια νέα βάση δεδομένων με τις αρχικές τιμές (ένα υπάρχον αρχείο μόνο με --force)",
     zel::cli::CmdNew},
    {"info", "FILE", "σύνοψη της βάσης δεδομένων", zel::cli::CmdInfo},
    {"dump", "FILE TABLE",
     "οι εγγραφές ενός πίνακα (TABLE: items, customers, departments, "
     "categories, payments, operators, vat, lines, params)",
     zel::cli::CmdDump},
    {"export-items", "DB.cld OUT.csv [--title T] [--columns number,name,price,barcode,department,category]",
     "γράφει τα είδη σε αρχείο CSV", zel::cli::CmdExportItems},
    {"import-items", "DB.cld IN.csv [--title-lines N] [--mode correct|replace] [--columns ...] [--strict]",
     "διαβάζει είδη από αρχείο CSV και αποθηκεύει τη βάση (correct = ΔΙΟΡΘΩΣΗ, replace = ΑΛΛΑΓΗ)",
     zel::cli::CmdImportItems},
    {"export-customers", "DB.cld OUT.csv", "γράφει τους πελάτες σε αρχείο CSV", zel::cli::CmdExportCustomers},
    {"import-customers", "DB.cld IN.csv [--strict]", "διαβάζει τους πελάτες από αρχείο CSV και αποθηκεύει τη βάση",
     zel::cli::CmdImportCustomers},
    {"logo", "DB.cld PICTURE.bmp | DB.cld --clear",
     "φορτώνει γραφικό λογότυπο από εικόνα BMP (384 px πλάτος, έως 180 ύψος, ασπρόμαυρη) ή το σβήνει",
     zel::cli::CmdLogo},
    {"transfer",
     "read|write FILE KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--reports DIR] "
     "[--sales-report] [--clear-sales] [--verify] [--backup DIR] [--yes] [--resume FILE] [--trace FILE]",
     "μεταφορά δεδομένων από/προς τον ΦΗΜ (KIND: logo fiscal-logo header payments vat categories "
     "departments operators items fiscal-memory tax-code customers params, ή all)",
     zel::cli::CmdTransfer},
    {"diff",
     "DB.cld KIND... [--lan ADDR[:PORT] | --com N] [--baud 115200|9600] [--csv OUT] [--text OUT] "
     "[--trace FILE]",
     "σύγκριση της βάσης δεδομένων με τη ΦΗΜ ανά πεδίο (έξοδος 0 ίδια, 1 διαφορετικά, 2 αποτυχία σύνδεσης)",
     zel::cli::CmdDiff},
    {"fleet",
     "write DB.cld | read DIR  KIND... (--lan ADDR[:PORT]... | --lan-file FILE) [--parallel N] "
     "[--trace-dir DIR] [--verify] [--backup DIR] [--yes]",
     "η ίδια μεταφορά σε πολλές ΦΗΜ μαζί μέσω LAN, με έναν πίνακα αποτελεσμάτων", zel::cli::CmdFleet},
    {"check", "[--lan ADDR[:PORT] | --com N] [--baud 115200|9600]", "έλεγχος σύνδεσης με τον ΦΗΜ", zel::cli::CmdCheck},
    {"fp", "send TEXT... | keys DB.cld ARG... | report KIND [...] [--lan ADDR[:PORT] | --com N] [--baud 115200|9600]",
     "ο ΦΗΜ ως φορολογικός εκτυπωτής: εντολές, πλήκτρα της κονσόλας, αναφορές (zelctl fp για λεπτομέρειες)",
     zel::cli::CmdFp},
    {"print", "REPORT.TXT --pdf OUT.pdf",
     "γράφει ένα αρχείο αναφοράς (FM_, AP_ .TXT) σε PDF, με τις σελίδες της εκτύπωσης", zel::cli::CmdPrint},
};

void Usage(std::ostream& out) {
  out << "Χρήση: zelctl ΕΝΤΟΛΗ [ΟΡΙΣΜΑΤΑ]\n       zelctl --version\n\n";
  for (const auto& c : kCommands) out << "  " << c.name << ' ' << c.usage << "\n      " << c.about << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h") {
    Usage(argc < 2 ? std::cerr : std::cout);
    return argc < 2 ? 2 : 0;
  }
  if (std::string_view(argv[1]) == "--version") {
    std::cout << "zelctl " << zel::kVersion << '\n';
    return 0;
  }
  const std::string_view name = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& c : kCommands)
    if (c.name == name) return c.run(args);
  std::cerr << "Άγνωστη εντολή: " << name << "\n\n";
  Usage(std::cerr);
  return 2;
}
