// Field-by-field comparison of the database with what a register holds: the
// check after a write ("Επαλήθευση μετά την εγγραφή") and the "Σύγκριση"
// direction.
//
// Both sides are first brought to the form a read from a register gives back
// after a write of the same data: every text field goes through the write
// rule and then the read rule, an item without a name and a customer that is
// written as an empty record come back as zeros, a telephone goes through its
// packed form. So a text that the register keeps blank-padded, or an empty
// record the register keeps as 0xFF, is not a difference; a changed price,
// name or tax number is. Bytes that no transfer carries (a department's
// byte 39, the reserved bytes of the parameter block) are never compared.
//
// Plain functions on two images; no link, no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/data_image.h"
#include "link/transfer.h"

namespace zel {

// The differences of one kind (nothing for the fiscal memory, which has no
// counterpart in the database), in record order, then field order.
std::vector<Difference> CompareKind(Kind kind, const DataImage& database, const DataImage& register_image);
// The differences of every kind ticked in `kinds`, in transfer order.
std::vector<Difference> CompareKinds(const TransferRequest& kinds, const DataImage& database,
                                     const DataImage& register_image);

// "Είδη 123: Τιμη 1,20 ≠ 1,25".
std::string DifferenceLine(const Difference& d);
// One line per difference (DifferenceLine), each ending in '\n'.
std::string DifferencesText(const std::vector<Difference>& list);
// "Δεδομένα;Εγγραφή;Πεδίο;Βάση δεδομένων;ΦΗΜ" and one line per difference;
// fields holding ';', '"' or a line break are quoted.
std::string DifferencesCsv(const std::vector<Difference>& list);
// Writes the list as text or CSV (UTF-8, CR LF lines) through a temporary
// file and a rename; false when it cannot be written.
bool SaveDifferences(const std::string& path, const std::vector<Difference>& list, bool csv);

// What the final message lists of a long list: its first `max` lines and a
// count of the rest.
std::string DifferencesSummary(const std::vector<Difference>& list, std::size_t max = 20);

}  // namespace zel
