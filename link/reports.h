// The report files a transfer leaves for the dealer: the fiscal memory image
// (FM_<reg>.BIN) and its text report (FM_<reg>.TXT), and the sales report
// (AP_<reg>.TXT and AP_<reg>.CSV) written while the items are read.
//
// Files go into the folder of the report path (everything up to its last
// '/'; the current directory when there is none), named after the register's
// registration number reduced to safe file-name characters. Texts are code
// page 1253 and every line ends with CR LF. A file that cannot be written is
// reported by the caller; nothing here shows messages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "core/safe_file.h"

namespace zel {

struct ReportDate {
  int day = 1, month = 1, year = 2000;
};
// The PC's current date.
ReportDate Today();

// The folder part of a report path, with its trailing '/'; empty when the
// path has no '/'.
std::string ReportFolder(std::string_view report_path);
// The registration number as it may stand in a file name: the text up to its
// first zero byte, ASCII letters and digits kept, Greek letters kept (as
// UTF-8), every other byte replaced by '_'.
std::string SafeFileName(std::string_view registration);
// folder + prefix + SafeFileName(registration) + suffix.
std::string ReportFileName(std::string_view folder, std::string_view prefix, std::string_view registration,
                           std::string_view suffix);

// ---- Fiscal memory -----------------------------------------------------------
inline constexpr std::size_t kFiscalBlocks = 4096;
inline constexpr std::size_t kFiscalBlockSize = 128;
inline constexpr std::size_t kFiscalMemorySize = kFiscalBlocks * kFiscalBlockSize;

namespace fm {
inline constexpr std::size_t kHeader = 0;
inline constexpr std::size_t kClosures = 40;
inline constexpr std::size_t kClosureSize = 96;
inline constexpr int kClosureCount = 1900;
inline constexpr std::size_t kTextChanges = 182440;
inline constexpr std::size_t kTextChangeSize = 304;
inline constexpr int kTextChangeCount = 25;
inline constexpr std::size_t kVatChanges = 190040;
inline constexpr std::size_t kVatChangeSize = 14;
inline constexpr int kVatChangeCount = 60;
inline constexpr std::size_t kEvents = 190880;
inline constexpr std::size_t kSignatures = 222480;
inline constexpr std::size_t kSignatureSize = 40;
inline constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
}  // namespace fm

// The text report of a fiscal memory image (kFiscalMemorySize bytes): code
// page 1253 bytes, lines ended by CR LF.
std::string FiscalMemoryReport(std::span<const std::uint8_t> memory, std::string_view registration,
                               const ReportDate& date);
// Reads the image file back and writes its text report; false when either
// file fails (the image must hold all kFiscalMemorySize bytes).
bool WriteFiscalMemoryReport(const std::string& image_path, const std::string& report_path,
                             std::string_view registration, const ReportDate& date);

// ---- Sales report ------------------------------------------------------------
class SalesReport {
 public:
  SalesReport() = default;
  SalesReport(const SalesReport&) = delete;
  SalesReport& operator=(const SalesReport&) = delete;
  ~SalesReport() { Close(); }

  // Starts AP_<reg>.CSV and AP_<reg>.TXT in `folder` and writes their
  // headings. False (and nothing left open) when a file cannot be created
  // or an existing one may not be replaced. Both are written through
  // temporary files that take the final names when the report is closed.
  bool Create(std::string_view folder, std::string_view registration, const ReportDate& date);
  // Drops both files without the closing lines (used on failure paths):
  // an earlier report of the same names stays as it was.
  void Close();
  bool open() const { return text_.is_open(); }
  bool failed() const { return failed_; }  // a write went wrong

  std::string text_path, csv_path;

 private:
  friend void AddSalesLine(SalesReport&, int, std::span<const std::uint8_t>, std::int32_t, std::int32_t);
  friend bool CloseSalesReport(SalesReport&);
  void Put(AtomicFile& f, std::string_view bytes);

  AtomicFile text_;
  AtomicFile csv_;
  std::int64_t total_ = 0;
  bool failed_ = false;
};

// One item record of the sales report: record number r (0-based), name
// field, quantity in thousandths, amount in cents. Every amount enters the
// total; only lines with a quantity or an amount are written.
void AddSalesLine(SalesReport& report, int record, std::span<const std::uint8_t> name, std::int32_t quantity,
                  std::int32_t amount);
// Writes the total and closes both files; false when a write failed.
bool CloseSalesReport(SalesReport& report);

}  // namespace zel
