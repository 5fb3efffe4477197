#include "options.h"

#include <array>

namespace zel {
namespace {

using V = std::string_view;
constexpr V kNoYes[] = {"όχι", "ναι"};
constexpr V kDateAfter[] = {"όχι", "2 λεπτά", "5 λεπτά", "10 λεπτά"};
constexpr V kStaticDhcp[] = {"0", "1"};
constexpr V kPlusKey[] = {"προσαύξηση", "τμήμα"};
constexpr V kMinusKey[] = {"έκπτωση", "τμήμα"};
constexpr V kScale[] = {"καμία", "CAS", "Delmac", "Διαλογοσ 2"};
constexpr V kBacklight[] = {"πάντα κλειστός", "κλειστός με μπαταρία", "αυτόματα κλειστός", "πάντα ανοιχτός"};
constexpr V kMonthly[] = {"καμία", "ΤΜ", "ΤΜ/ΦΜ"};
constexpr V kComDevice[] = {"καμία", "PC", "barcode scanner", "ζυγαριά", "αναγνώστης καρτών", "οθόνη πελάτη",
                            "POS",   "7"};
constexpr V kComSpeed[] = {"9600", "19200", "57600", "115200"};
constexpr V kUsbDevice[] = {"καμία", "barcode scanner", "αναγνώστης καρτών", "πληκτρολόγιο"};
constexpr V kPcLink[] = {"καμία", "COM", "USB", "LAN"};
constexpr V kPosLink[] = {"καμία", "COM", "LAN", "3"};

constexpr OptionField kFields[] = {
    {1, 0, 1, 0, "κωδικός χειριστή στις πωλήσεις", kNoYes},
    {1, 1, 1, 0, "υποδιαστολή στα ποσά", kNoYes},
    {1, 2, 1, 1, "ήχος πλήκτρων", kNoYes},
    {1, 3, 1, 1, "συνολική ποσότητα στην απόδειξη", kNoYes},
    {1, 4, 1, 1, "αναφορά τμημάτων", kNoYes},
    {1, 5, 1, 0, "αναφορά ειδών", kNoYes},
    {1, 6, 1, 0, "κάρτα πελάτη στην απόδειξη", kNoYes},
    {1, 7, 2, 1, "ημερομηνία/ώρα μετά από", kDateAfter},
    {1, 9, 1, 1, "στατική IP / DHCP", kStaticDhcp},
    {1, 10, 1, 0, "πλήκτρο <+%>", kPlusKey},
    {1, 11, 1, 0, "πλήκτρο <-%>", kMinusKey},
    {1, 12, 2, 0, "πρωτόκολλο ζυγαριάς", kScale},
    {1, 14, 2, 1, "φωτισμός οθόνης", kBacklight},
    {1, 16, 3, 3, "αντίθεση οθόνης", {}},
    {1, 19, 3, 2, "τόνος εκτύπωσης", {}},
    {1, 22, 1, 0, "γραμματοσειρά μπαταρίας", kNoYes},
    {1, 23, 2, 0, "εξοικονόμηση μπαταρίας", {}},
    {1, 25, 2, 0, "μηνιαία αναφορά", kMonthly},
    {1, 27, 1, 0, "αυτόματη έκδοση Ζ", kNoYes},
    {2, 0, 3, 2, "συσκευή COM1", kComDevice},
    {2, 3, 2, 0, "ταχύτητα COM1", kComSpeed},
    {2, 5, 3, 3, "συσκευή COM2", kComDevice},
    {2, 8, 2, 0, "ταχύτητα COM2", kComSpeed},
    {2, 10, 3, 0, "συσκευή COM3", kComDevice},
    {2, 13, 2, 0, "ταχύτητα COM3", kComSpeed},
    {2, 15, 2, 0, "συσκευή USB", kUsbDevice},
    {2, 17, 2, 2, "σύνδεση με Η/Υ", kPcLink},
    {2, 19, 1, 1, "σύνδεση με ΑΑΔΕ", kNoYes},
    {2, 20, 1, 1, "ώρα από server", kNoYes},
    {2, 21, 1, 0, "αντίγραφο απόδειξης", kNoYes},
    {2, 22, 1, 1, "αυτόματη θερινή/χειμερινή ώρα", kNoYes},
    {2, 23, 2, 0, "σύνδεση με POS", kPosLink},
    {2, 25, 1, 0, "εκτύπωση αναφορών POS", kNoYes},
    {2, 26, 1, 0, "ΑΑΔΕ μέσω LAN/WiFi", kNoYes},
};

// The defaults of the table must add up to the documented default words.
constexpr std::uint32_t DefaultWord(int word) {
  std::uint32_t w = 0;
  for (const auto& f : kFields)
    if (f.word == word) w |= f.def << f.shift;
  return w;
}
static_assert(DefaultWord(1) == kDefaultOptions1);
static_assert(DefaultWord(2) == kDefaultOptions2);

}  // namespace

std::span<const OptionField> OptionFields() { return kFields; }

}  // namespace zel
