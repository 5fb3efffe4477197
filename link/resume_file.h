// The file that keeps where a transfer stopped (zelctl transfer --resume):
// a failed transfer writes it, the next run carries on from it, a transfer
// that got through removes it.
//
// Text, one item a line:
//   setupzel-resume 1
//   direction write
//   registration 5A454C3132333435363738     (the register's, as hex bytes)
//   data-check 9a0f...                      (ImageCheck of the database, hex)
//   kind items from 1234 opened             (or "kind vat done")
// Kinds not listed run from their start. Written through a temporary file
// and a rename, so a crash never leaves half a file.
#pragma once

#include <optional>
#include <string>

#include "link/transfer.h"

namespace zel {

bool SaveResumePoint(const std::string& path, const ResumePoint& point);
// Nothing when the file cannot be read or is not a resume file; `error`
// then says why (Greek, UTF-8).
std::optional<ResumePoint> LoadResumePoint(const std::string& path, std::string* error = nullptr);

}  // namespace zel
