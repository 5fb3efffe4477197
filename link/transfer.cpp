#include "link/transfer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <ctime>
#include <filesystem>

#include "core/bytes.h"
#include "core/convert.h"
#include "core/database_file.h"
#include "link/compare.h"

namespace zel {
namespace {

constexpr std::uint16_t kItemTableEnd = 16000;
constexpr std::uint16_t kSalesClear = 16001;
constexpr std::uint16_t kSalesHeader = 0xFFFF;
constexpr std::uint16_t kCustomerTableEnd = 1000;
constexpr std::uint16_t kItemsRefusedWord = 0xDEBA;
constexpr std::uint8_t kCodeIdentify = 0x7D;

// Byte ranges of the parameter records.
struct Field {
  std::size_t offset, width;
};
constexpr std::size_t kParam0From = 495, kParam0Size = 23;
constexpr std::size_t kParam1From = 518, kParam1Size = 130;
constexpr std::size_t kParam2From = 712, kParam2Size = 174;
constexpr Field kParam1Texts[] = {{524, 4}, {544, 48}, {604, 4}, {612, 4}, {616, 32}};
constexpr Field kParam2Texts[] = {{712, 48}, {760, 48}, {808, 48}, {856, 10}, {866, 10}, {876, 10}};

Request& Req(TransferContext& c) { return c.link.request; }
const std::uint8_t* Reply(const TransferContext& c) { return c.link.reply_data(); }
std::uint8_t Ask(TransferContext& c) {
  const std::uint8_t r = Exchange(c.link, c.ui);
  if (r == kAccepted) ++c.accepted;
  return r;
}

// Where a write starts: from the record a resumed transfer gives, else 0.
int WriteFrom(const TransferContext& c, bool write) { return write ? c.from : 0; }

// Starts a request whose first data byte is the record number.
void StartRecord(TransferContext& c, std::uint8_t code, std::uint8_t length, int record) {
  Req(c).Start(code, length);
  Req(c).data[0] = static_cast<std::uint8_t>(record);
}

Bytes ParamBlock(DataImage& image) { return image.block(Block::kParameters); }

void ReportFileError(TransferContext& c, const std::string& path, const FileFault& fault = {}) {
  c.ui.ShowMessage(std::string(kMsgReportFile) + "\n" + EscapedControls(path) +
                       (fault.cause == FileFault::Cause::kNone ? std::string() : "\n" + FaultLine(path, fault)),
                   Icon::kError, {}, true);
}

// ---- Record-wise kinds ---------------------------------------------------

std::uint8_t Logo(TransferContext& c, DataImage& image, bool write) {
  Bytes logo = image.logo();
  c.ui.SetProgressRange(logo::kRows);
  for (int row = WriteFrom(c, write); row < logo::kRows; ++row) {
    c.at = row;
    c.ui.SetProgress(row + 1);
    Bytes bits = logo.subspan(static_cast<std::size_t>(row) * logo::kRowBytes, logo::kRowBytes);
    if (write) {
      StartRecord(c, 0x78, 1 + logo::kRowBytes, row);
      for (std::size_t b = 0; b < bits.size(); ++b) Req(c).data[1 + b] = Mirror(bits[b]);
    } else {
      StartRecord(c, 0x77, 1, row);
    }
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    if (!write)
      for (std::size_t b = 0; b < bits.size(); ++b) bits[b] = Mirror(Reply(c)[1 + b]);
  }
  return kAccepted;
}

// Print lines `first`..`first + count - 1` (1-based) travel as wire lines
// first - 1 ...: the fiscal logo is lines 1..9, header and footer 10..15.
std::uint8_t PrintLines(TransferContext& c, DataImage& image, bool write, int first, int count) {
  Bytes block = ParamBlock(image);
  c.ui.SetProgressRange(count);
  for (int i = WriteFrom(c, write); i < count; ++i) {
    c.at = i;
    c.ui.SetProgress(i + 1);
    const int wire = first - 1 + i;
    Bytes line = block.subspan(param::kPrintLines + param::kPrintLineSize * static_cast<std::size_t>(wire),
                               param::kPrintLineSize);
    if (write) {
      StartRecord(c, 0x66, 1 + param::kPrintLineSize, wire);
      std::copy(line.begin(), line.end(), Req(c).data.begin() + 1);
      CleanWrite({Req(c).data.data() + 1, param::kPrintTextWidth});
    } else {
      StartRecord(c, 0x65, 1, wire);
    }
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    if (!write) {
      std::copy_n(Reply(c) + 1, line.size(), line.begin());
      CleanRead(line.first(param::kPrintTextWidth));
    }
  }
  return kAccepted;
}

// A table of records moved whole: data 1.. = record bytes [0, moved), with
// one text field cleaned.
std::uint8_t Records(TransferContext& c, DataImage& image, bool write, Block block, std::uint8_t read_code,
                     std::size_t moved, Field text) {
  const int count = static_cast<int>(Info(block).records);
  c.ui.SetProgressRange(count);
  for (int i = WriteFrom(c, write); i < count; ++i) {
    c.at = i;
    c.ui.SetProgress(i + 1);
    Bytes rec = image.record(block, i);
    if (write) {
      StartRecord(c, static_cast<std::uint8_t>(read_code + 1), static_cast<std::uint8_t>(1 + moved), i);
      std::copy_n(rec.begin(), moved, Req(c).data.begin() + 1);
      CleanWrite({Req(c).data.data() + 1 + text.offset, text.width});
    } else {
      StartRecord(c, read_code, 1, i);
    }
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    if (!write) {
      std::copy_n(Reply(c) + 1, moved, rec.begin());
      CleanRead(rec.subspan(text.offset, text.width));
    }
  }
  return kAccepted;
}

// ---- Whole-table kinds -----------------------------------------------------

std::uint8_t WholeTable(TransferContext& c, Bytes table, bool write, std::uint8_t read_code, std::size_t text_width) {
  c.ui.SetProgressRange(1);
  c.ui.SetProgress(1);
  const auto clean = [&](std::uint8_t* p, void (*rule)(std::span<std::uint8_t>)) {
    if (text_width == 0) return;
    for (std::size_t o = 0; o + text_width <= table.size(); o += text_width) rule({p + o, text_width});
  };
  if (write) {
    Req(c).Start(static_cast<std::uint8_t>(read_code + 1), static_cast<std::uint8_t>(table.size()));
    std::copy(table.begin(), table.end(), Req(c).data.begin());
    clean(Req(c).data.data(), CleanWrite);
    return Ask(c);
  }
  Req(c).Start(read_code, 0);
  if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
  std::copy_n(Reply(c), table.size(), table.begin());
  clean(table.data(), CleanRead);
  return kAccepted;
}

// ---- Parameters ------------------------------------------------------------

std::uint8_t Parameters(TransferContext& c, DataImage& image, bool write) {
  Bytes block = ParamBlock(image);
  auto& message = image.state.customer_message;
  c.ui.SetProgressRange(3);
  std::uint8_t first_failure = kAccepted;

  // Record 0: machine number to barcode formats, and the customer message.
  c.ui.SetProgress(1);
  if (write) {
    StartRecord(c, 0x68, 76, 0);
    std::fill_n(Req(c).data.begin() + 1, 75, std::uint8_t{0});
    std::copy_n(block.begin() + kParam0From, kParam0Size, Req(c).data.begin() + 1);
    for (std::size_t l = 0; l < 2; ++l) {
      std::uint8_t* p = Req(c).data.data() + 34 + kCustomerMessageWidth * l;
      std::copy(message[l].begin(), message[l].end(), p);
      CleanWrite({p, kCustomerMessageWidth});
    }
    // A refusal of this record does not stop the other two; it still counts
    // against the kind at the end.
    first_failure = Ask(c);
  } else {
    StartRecord(c, 0x67, 1, 0);
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    std::copy_n(Reply(c) + 1, kParam0Size, block.begin() + kParam0From);
    for (std::size_t l = 0; l < 2; ++l) {
      std::copy_n(Reply(c) + 24 + kCustomerMessageWidth * l, kCustomerMessageWidth, message[l].begin());
      CleanRead(message[l]);
    }
  }

  // Records 1 and 2: byte ranges of the block with their text fields.
  const auto range = [&](int record, std::size_t from, std::size_t size, std::span<const Field> texts) {
    c.ui.SetProgress(record + 1);
    if (write) {
      StartRecord(c, 0x68, static_cast<std::uint8_t>(1 + size), record);
      std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(from), size, Req(c).data.begin() + 1);
      for (const Field& f : texts) CleanWrite({Req(c).data.data() + 1 + (f.offset - from), f.width});
      return Ask(c);
    }
    StartRecord(c, 0x67, 1, record);
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    std::copy_n(Reply(c) + 1, size, block.begin() + static_cast<std::ptrdiff_t>(from));
    for (const Field& f : texts) CleanRead(block.subspan(f.offset, f.width));
    return kAccepted;
  };
  if (const std::uint8_t r = range(1, kParam1From, kParam1Size, kParam1Texts); r != kAccepted) return r;
  if (const std::uint8_t r = range(2, kParam2From, kParam2Size, kParam2Texts); r != kAccepted) return r;
  return first_failure;
}

// ---- Items -------------------------------------------------------------------

std::uint8_t ReadItems(TransferContext& c, DataImage& image) {
  c.ui.SetProgressRange(kItemCount);
  SalesReport sales;
  if (c.sales_report) {
    if (const std::uint8_t r = OpenSalesReport(c, sales); r != kAccepted) return r;
  }
  Bytes table = image.block(Block::kItems);
  std::fill(table.begin(), table.end(), std::uint8_t{0});

  std::uint8_t result = kAccepted;
  for (int next = 0; next < kItemTableEnd;) {
    Req(c).Start(0x73, 2);
    Req(c).set_record(static_cast<std::uint16_t>(next));
    if (const std::uint8_t r = Ask(c); r != kAccepted) {
      result = r;
      break;
    }
    const int got = le::Get16(Reply(c));
    c.ui.SetProgress(got >= kItemTableEnd ? kItemTableEnd : got + 1);
    if (got >= kItemTableEnd) break;
    // The register answers with the next record it holds at or after the one
    // asked for; an earlier one would make the walk go round for ever.
    if (got < next) {
      result = kFailed;
      break;
    }
    Item item = image.item(got);
    std::copy_n(Reply(c) + 2, Info(Block::kItems).record_size, item.data());
    CleanRead(item.name().first(24));
    if (c.sales_report) AddSalesLine(sales, got, item.name(), le::GetI32(Reply(c) + 50), le::GetI32(Reply(c) + 54));
    next = got + 1;
  }
  if (c.sales_report) {
    if (CloseSalesReport(sales)) {
      c.files.push_back(sales.text_path);
      c.files.push_back(sales.csv_path);
    } else {
      ReportFileError(c, sales.text_path);
      if (result == kAccepted) result = kFileFailure;
    }
  }
  return result;
}

std::uint8_t WriteItems(TransferContext& c, const DataImage& image) {
  std::uint8_t result = kAccepted;
  // A resumed write never sends the opening again once it was taken: it
  // would clear the items already written.
  if (!c.opened) {
    Req(c).Start(0x74, 2);
    Req(c).set_record(kItemTableEnd);
    result = Ask(c);
    if (c.link.reply_length() == 2 && le::Get16(Reply(c)) == kItemsRefusedWord) {
      c.ui.ShowMessage(kMsgRefused, Icon::kInformation, {}, true);
      // The register takes no items: a refusal, whatever the reply code said.
      return result == kAccepted ? kRefused : result;
    }
    c.opened = result == kAccepted;
  }
  int count = 0;
  for (int j = 0; j < kItemCount; ++j) count += image.item(j).empty() ? 0 : 1;
  c.ui.SetProgressRange(count);
  int place = 0;
  for (int j = 0; j < kItemCount; ++j) {
    const ConstItem item = image.item(j);
    if (item.empty()) continue;
    ++place;
    if (j < c.from) continue;  // written before the transfer was resumed
    c.at = j;
    c.ui.SetProgress(place);
    Req(c).Start(0x74, 50);
    Req(c).set_record(static_cast<std::uint16_t>(j));
    std::copy_n(item.data(), Info(Block::kItems).record_size, Req(c).data.begin() + 2);
    CleanWrite({Req(c).data.data() + 2 + item::kName, item::kNameWidth});
    result = Ask(c);
    if (result != kAccepted) return result;
  }
  return result;
}

// ---- Customers ---------------------------------------------------------------

constexpr std::size_t kCustomerWire = 140;  // data 2..141

std::uint8_t ReadCustomers(TransferContext& c, DataImage& image) {
  c.ui.SetProgressRange(kCustomerCount);
  for (int i = 0; i < kCustomerCount; ++i) {
    c.ui.SetProgress(i + 1);
    Req(c).Start(0x81, 2);
    Req(c).set_record(static_cast<std::uint16_t>(i));
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
    std::array<std::uint8_t, 2 + kCustomerWire> data;
    std::copy_n(Reply(c), data.size(), data.begin());
    for (std::size_t t = 0; t < 4; ++t) CleanRead({data.data() + 6 + customer::kTextWidth * t, customer::kTextWidth});
    Bytes rec = image.record(Block::kCustomers, i);
    std::copy_n(data.begin() + 2, 4, rec.begin() + customer::kTaxNumber);
    std::copy_n(data.begin() + 6, 4 * customer::kTextWidth, rec.begin());
    Bytes phone = rec.subspan(customer::kPhone, customer::kPhoneWidth);
    if (data[134 + 6] == 0xFF)
      std::fill(phone.begin(), phone.end(), std::uint8_t{0});
    else
      UnpackDigits(std::span<const std::uint8_t, 8>(data.data() + 134, 8), phone);
    // Compared unsigned: a negative number on the wire is out of range too.
    const std::uint32_t tax = le::Get32(data.data() + 2);
    if (tax == 0 || tax > static_cast<std::uint32_t>(customer::kMaxTaxNumber))
      std::fill(rec.begin(), rec.end(), std::uint8_t{0});
  }
  return kAccepted;
}

std::uint8_t WriteCustomers(TransferContext& c, const DataImage& image) {
  if (!c.opened) {
    Req(c).Start(0x82, 2);
    Req(c).set_record(kCustomerTableEnd);
    // Opens the table write; its result does not stop the kind.
    c.opened = Ask(c) == kAccepted;
  }
  c.ui.SetProgressRange(kCustomerCount);
  for (int i = c.from; i < kCustomerCount; ++i) {
    c.at = i;
    c.ui.SetProgress(i + 1);
    const ConstBytes rec = image.record(Block::kCustomers, i);
    Req(c).Start(0x82, 2 + kCustomerWire);
    Req(c).set_record(static_cast<std::uint16_t>(i));
    std::uint8_t* d = Req(c).data.data();
    std::copy_n(rec.begin() + customer::kTaxNumber, 4, d + 2);
    std::copy_n(rec.begin(), 4 * customer::kTextWidth, d + 6);
    bool empty = le::Get32(rec.data() + customer::kTaxNumber) == 0;
    for (std::size_t t = 0; t < 4; ++t) {
      empty = empty || rec[customer::kTextWidth * t] == 0;
      CleanWrite({d + 6 + customer::kTextWidth * t, customer::kTextWidth});
    }
    PackDigits(rec.subspan(customer::kPhone, customer::kPhoneWidth), std::span<std::uint8_t, 8>(d + 134, 8));
    if (empty) std::fill_n(d + 2, kCustomerWire, std::uint8_t{0xFF});
    if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
  }
  return kAccepted;
}

// ---- Dispatch ------------------------------------------------------------------

std::uint8_t MoveKind(TransferContext& c, Kind kind, DataImage& image, bool write) {
  switch (kind) {
    case Kind::kLogo: return Logo(c, image, write);
    case Kind::kFiscalLogo: return PrintLines(c, image, write, 1, kFiscalLogoLines);
    case Kind::kHeaderFooter:
      return PrintLines(c, image, write, kFiscalLogoLines + 1, kPrintLineCount - kFiscalLogoLines);
    case Kind::kPayments: return WholeTable(c, image.block(Block::kPayments), write, 0x6D, kShortNameWidth);
    case Kind::kVatRates: return WholeTable(c, image.block(Block::kVatRates), write, 0x6B, 0);
    case Kind::kCategories:
      return Records(c, image, write, Block::kCategories, 0x71, kShortNameWidth, {0, kShortNameWidth});
    case Kind::kDepartments:
      return Records(c, image, write, Block::kDepartments, 0x6F, 39, {department::kName, department::kNameWidth});
    case Kind::kOperators: return Records(c, image, write, Block::kOperators, 0x75, 16, {op::kName, kShortNameWidth});
    case Kind::kItems: return write ? WriteItems(c, image) : ReadItems(c, image);
    case Kind::kFiscalMemory: return write ? kAccepted : ReadFiscalMemory(c);
    case Kind::kTaxCode:
      return WholeTable(c, ParamBlock(image).subspan(param::kAesKey, param::kAesKeyWidth), write, 0x69, 0);
    case Kind::kCustomers: return write ? WriteCustomers(c, image) : ReadCustomers(c, image);
    case Kind::kParameters: return Parameters(c, image, write);
  }
  return kFailed;
}

void ShowError(UserInterface& ui, std::string_view text) { ui.ShowMessage(text, Icon::kError, {}, true); }

}  // namespace

std::optional<Kind> KindByName(std::string_view name) {
  for (const KindInfo& k : kKinds)
    if (k.name == name) return k.kind;
  return std::nullopt;
}

bool TransferRequest::any() const { return std::find(kinds.begin(), kinds.end(), true) != kinds.end(); }

void CleanRead(std::span<std::uint8_t> field) {
  if (field.empty()) return;
  if (field[0] == 0x00 || field[0] == 0xFF) {
    std::fill(field.begin(), field.end(), std::uint8_t{0x00});
    return;
  }
  for (std::uint8_t& b : field)
    if (b == 0x00 || b == 0xFF) b = 0x20;
}

void CleanWrite(std::span<std::uint8_t> field) {
  if (field.empty()) return;
  if (field[0] == 0x00 || field[0] == 0xFF) {
    std::fill(field.begin(), field.end(), std::uint8_t{0xFF});
    return;
  }
  for (std::uint8_t& b : field)
    if (b == 0x00 || b == 0xFF) b = 0x20;
}

std::uint8_t Mirror(std::uint8_t b) {
  std::uint8_t m = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1u << i)) m = static_cast<std::uint8_t>(m | (0x80u >> i));
  return m;
}

void PackDigits(std::span<const std::uint8_t> text16, std::span<std::uint8_t, 8> packed) {
  const LongCounter n = ParseCounter({reinterpret_cast<const char*>(text16.data()), text16.size()});
  le::Put32(packed.data(), n.low);
  le::Put16(packed.data() + 4, n.middle);
  packed[6] = n.high;
  packed[7] = n.count;
}

void UnpackDigits(std::span<const std::uint8_t, 8> packed, std::span<std::uint8_t> text16) {
  LongCounter n;
  n.low = le::Get32(packed.data());
  n.middle = le::Get16(packed.data() + 4);
  n.high = packed[6];
  n.count = packed[7];
  char digits[kCounterTextSize];
  FormatCounter(digits, n);
  std::copy_n(digits, std::min<std::size_t>(kCounterTextSize, text16.size()), text16.begin());
}

std::string RegistrationNumber(const std::uint8_t* d) {
  std::string r(reinterpret_cast<const char*>(d + 15), 3);
  for (int i = 18; i <= 21; ++i) {
    r += static_cast<char>((d[i] >> 4) + 0x30);
    r += static_cast<char>((d[i] & 0x0F) + 0x30);
  }
  return r;
}

std::uint8_t ReadFiscalMemory(TransferContext& c) {
  const std::string image_path = ReportFileName(c.report_folder, "FM_", c.registration, ".BIN");
  // The image goes into a temporary file that takes its name only when the
  // whole memory came in, like every report file: a read that fails, is
  // stopped or killed, or meets a full disk leaves the earlier FM_….BIN as
  // it was and no torn file beside the old .TXT.
  AtomicFile image;
  FileFault fault;
  if (!image.Open(image_path, fault)) {
    ReportFileError(c, image_path, fault);
    return kFileFailure;
  }
  std::vector<std::uint8_t> memory;
  memory.reserve(kFiscalMemorySize);
  c.ui.SetProgressRange(static_cast<int>(kFiscalBlocks));
  std::uint8_t result = kAccepted;
  for (std::size_t b = 0; b < kFiscalBlocks; ++b) {
    c.ui.SetProgress(static_cast<int>(b + 1));
    Req(c).Start(kCodeIdentify, 3);
    Req(c).set_record(static_cast<std::uint16_t>(b));
    Req(c).data[2] = 0x0D;
    result = Ask(c);
    if (result != kAccepted) break;
    const std::span<const std::uint8_t> block(Reply(c) + 3, kFiscalBlockSize);
    memory.insert(memory.end(), block.begin(), block.end());
    // A disk that fills up ends the read at once: the rest could not be kept.
    if (!image.Write(block)) break;
  }
  if (result != kAccepted) return result;  // the temporary file goes with `image`
  // A write that failed on the way is reported here, with its cause.
  if (!image.Commit(fault)) {
    ReportFileError(c, image_path, fault);
    return kFileFailure;
  }
  c.files.push_back(image_path);
  const std::string report_path = ReportFileName(c.report_folder, "FM_", c.registration, ".TXT");
  if (!WriteFileAtomically(report_path, {FiscalMemoryReport(memory, c.registration, c.date)}, fault)) {
    ReportFileError(c, report_path, fault);
    return kFileFailure;
  }
  c.files.push_back(report_path);
  return result;
}

std::uint8_t OpenSalesReport(TransferContext& c, SalesReport& report) {
  Req(c).Start(0x73, 2);
  Req(c).set_record(kSalesHeader);
  if (const std::uint8_t r = Ask(c); r != kAccepted) return r;
  if (!report.Create(c.report_folder, c.registration, c.date)) {
    ReportFileError(c, report.text_path);
    return kFileFailure;
  }
  return kAccepted;
}

std::uint8_t TransferKind(TransferContext& c, Kind kind) {
  if (c.direction == Direction::kWrite) return MoveKind(c, kind, c.image, true);
  if (kind == Kind::kFiscalMemory) return ReadFiscalMemory(c);

  // Reads fill a scratch copy; the image takes it only when the kind
  // succeeded, so a failed read leaves the tables as they were.
  DataImage scratch = c.image;
  std::uint8_t result = MoveKind(c, kind, scratch, false);
  if (result == kAccepted) {
    c.image.raw() = scratch.raw();
    c.image.state.customer_message = scratch.state.customer_message;
    c.image.state.modified = true;
  }
  if (kind == Kind::kLogo) c.image.state.logo_present = 3;
  if (kind == Kind::kItems && result == kAccepted && c.clear_sales) {
    // The sales figures are cleared only after the whole table came in.
    Req(c).Start(0x73, 2);
    Req(c).set_record(kSalesClear);
    result = Ask(c);
  }
  return result;
}

namespace {

// The kinds a resumed write takes up at the record where it stopped; the
// others (one exchange, or the parameters' three) start again.
bool ResumesMidKind(Kind k) {
  switch (k) {
    case Kind::kLogo:
    case Kind::kFiscalLogo:
    case Kind::kHeaderFooter:
    case Kind::kCategories:
    case Kind::kDepartments:
    case Kind::kOperators:
    case Kind::kItems:
    case Kind::kCustomers: return true;
    default: return false;
  }
}

// Reads the ticked kinds that a register can also be written with into
// `into` on the open link, marking nothing: the backup before a write, the
// read-back of the verification. Returns the first failure, or 0; a result
// 1 (failure or Stop) ends it at once.
std::uint8_t ReadKinds(const TransferContext& base, DataImage& into, const TransferRequest& kinds) {
  TransferContext c{base.link, into, base.ui};
  c.direction = Direction::kRead;
  c.report_folder = base.report_folder;
  c.registration = base.registration;
  c.date = base.date;
  std::uint8_t first = kAccepted;
  for (const KindInfo& info : kKinds) {
    if (!kinds[info.kind] || info.write_code == 0) continue;
    const std::uint8_t r = TransferKind(c, info.kind);
    if (r != kAccepted && first == kAccepted) first = r;
    if (r == kFailed) break;
  }
  return first;
}

// "<registration>_<year>-<month>-<day>_<hour>-<minute>-<second>.cld" in
// `folder`; a name already taken gets "_2", "_3"...
std::string BackupPath(const std::string& folder, const std::string& registration) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
  const std::filesystem::path dir(folder);
  const std::string stem = SafeFileName(registration) + "_" + stamp;
  std::filesystem::path path = dir / (stem + ".cld");
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(path, ec) && n < 1000; ++n)
    path = dir / (stem + "_" + std::to_string(n) + ".cld");
  return path.string();
}

// The backup before a write: the kinds about to be written, as the register
// holds them, in a new database file. Returns the read's result, or
// kFileFailure when the file could not be saved.
std::uint8_t Backup(const TransferContext& ctx, const TransferRequest& request, TransferOutcome& out) {
  DataImage backup;
  if (const std::uint8_t r = ReadKinds(ctx, backup, request); r != kAccepted) return r;
  std::error_code ec;
  std::filesystem::create_directories(request.backup_folder, ec);
  const std::string path = BackupPath(request.backup_folder, out.registration);
  if (WriteDatabaseFile(path, backup) != FileStatus::kOk) return kFileFailure;
  out.backup_file = path;
  return kAccepted;
}

}  // namespace

std::uint64_t ImageCheck(const DataImage& image) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const std::uint8_t b : image.raw()) {
    h ^= b;
    h *= 0x100000001b3ULL;
  }
  return h;
}

TransferOutcome RunTransfer(LinkSession& session, const TransferRequest& request, DataImage& image, UserInterface& ui,
                            const LinkSelection& selection, std::string_view report_path, const ReportDate& date) {
  TransferOutcome out;
  ui.SetStatusLine(kMsgPleaseWait, kPleaseWaitColour);
  const auto finish = [&] {
    ui.SetProgress(0);
    out.stopped = session.abort.IsSet();
    return out;
  };
  const bool writing = request.direction == Direction::kWrite;
  const bool comparing = request.compare && !writing;
  // A resumed write must send the same data it stopped with.
  if (writing && request.resume && request.resume->data_check != 0 && request.resume->data_check != ImageCheck(image)) {
    ShowError(ui, kMsgResumeDataChanged);
    return finish();
  }
  if (Connect(session, selection, ui) != 0) return finish();
  // A Stop pressed while the link opened ends the transfer here: the flag is
  // the caller's to clear, before the next Start.
  if (session.abort.IsSet()) {
    Disconnect(session);
    return finish();
  }
  out.connected = true;

  // Identification: fiscal memory block 0 carries the registration number.
  session.request.Start(kCodeIdentify, 3);
  session.request.data[0] = 0x00;
  session.request.data[1] = 0x00;
  session.request.data[2] = 0x0D;
  if (Exchange(session, ui) != kAccepted) {
    ShowError(ui, kMsgCommunication);
    Disconnect(session);
    return finish();
  }
  out.identified = true;
  out.registration = RegistrationNumber(session.reply_data());
  if (request.resume && !request.resume->registration.empty() && request.resume->registration != out.registration) {
    ShowError(ui, std::string(kMsgResumeOtherRegister) + " " + SafeFileName(request.resume->registration) + " ≠ " +
                      SafeFileName(out.registration));
    Disconnect(session);
    return finish();
  }

  // A comparison reads into a copy: the database is not touched.
  std::optional<DataImage> register_copy;
  if (comparing) register_copy.emplace(image);
  TransferContext ctx{session, comparing ? *register_copy : image, ui};
  ctx.direction = request.direction;
  ctx.sales_report = request.sales_report && !comparing;
  ctx.clear_sales = request.clear_sales && !comparing;
  ctx.report_folder = ReportFolder(report_path);
  ctx.registration = out.registration;
  ctx.date = date;

  // The backup before a write; a resumed write made its own the first time.
  // A failure that ends a transfer (the link, or Stop) ends it here too;
  // a refusal or a file that could not be saved leaves the choice to the user.
  if (writing && !request.backup_folder.empty() && !request.resume) {
    if (const std::uint8_t r = Backup(ctx, request, out); r != kAccepted) {
      if (r == kFailed) ShowError(ui, kMsgCommunication);
      if (r == kFailed || !ui.AskYesNo(kMsgBackupFailed, Icon::kQuestion, true)) {
        Disconnect(session);
        return finish();
      }
    }
  }

  ResumePoint progress;
  progress.direction = request.direction;
  progress.registration = out.registration;
  bool ended = false;
  std::string failed_kinds;
  TransferRequest done_kinds;  // the kinds that came through, for the comparison
  for (const KindInfo& info : kKinds) {
    if (!request[info.kind]) continue;
    if (writing && info.write_code == 0) continue;                // read only
    if (comparing && info.kind == Kind::kFiscalMemory) continue;  // nothing to compare it with
    const auto index = static_cast<std::size_t>(info.kind);
    KindProgress& kp = progress.kinds[index];
    const KindProgress* resume = request.resume ? &request.resume->kinds[index] : nullptr;
    if (resume && resume->done) {
      // Transferred before the stop: not again.
      kp.done = true;
      done_kinds[info.kind] = true;
      out.marks[index] = UserInterface::Mark::kDone;
      ui.MarkKind(static_cast<int>(index), out.marks[index]);
      continue;
    }
    const bool mid_kind = writing && resume && ResumesMidKind(info.kind);
    ctx.from = mid_kind ? resume->from : 0;
    ctx.opened = mid_kind && resume->opened;
    ctx.at = ctx.from;
    ui.MarkKind(static_cast<int>(index), UserInterface::Mark::kRunning);
    const std::uint8_t r = TransferKind(ctx, info.kind);
    out.marks[index] = r == kAccepted ? UserInterface::Mark::kDone : UserInterface::Mark::kFailed;
    ui.MarkKind(static_cast<int>(index), out.marks[index]);
    kp.done = r == kAccepted;
    kp.from = writing && ResumesMidKind(info.kind) && !kp.done ? ctx.at : 0;
    kp.opened = writing && !kp.done && ctx.opened;
    if (r == kAccepted) done_kinds[info.kind] = true;
    if (r == kFailed) {
      ShowError(ui, kMsgCommunication);
      ended = true;
      break;
    }
    if (r != kAccepted) failed_kinds += (failed_kinds.empty() ? "" : ", ") + std::string(info.caption);
  }
  out.records = ctx.accepted;
  if (comparing) {
    out.differences = CompareKinds(done_kinds, image, *register_copy);
    out.compared = !ended && failed_kinds.empty();
  }
  if (!ended) {
    if (!failed_kinds.empty()) {
      ShowError(
          ui, std::string(comparing ? kMsgCompareIncomplete : kMsgTransferIncomplete) + "\nΑπέτυχαν: " + failed_kinds);
    } else if (comparing) {
      out.success = true;
      if (out.differences.empty())
        ui.ShowMessage(kMsgCompareEqual, Icon::kInformation);
      else
        ui.ShowMessage(std::string(kMsgCompareDifferent) + "\n" + DifferencesSummary(out.differences),
                       Icon::kExclamation);
    } else if (writing && request.verify) {
      // Read back what was just written and compare it with what was sent.
      DataImage back(image);
      if (ReadKinds(ctx, back, request) != kAccepted) {
        if (!session.abort.IsSet()) ShowError(ui, kMsgVerifyFailed);
      } else if (out.differences = CompareKinds(request, image, back); !out.differences.empty()) {
        ShowError(ui, std::string(kMsgVerifyDifferences) + "\n" + DifferencesSummary(out.differences));
      } else {
        out.success = out.verified = true;
        ui.ShowMessage(std::string(kMsgTransferDone) + "\n" + std::string(kMsgVerified), Icon::kInformation);
      }
    } else {
      out.success = true;
      if (writing || request.announce_done) ui.ShowMessage(kMsgTransferDone, Icon::kInformation);
    }
  }
  // Where a transfer that did not get through every kind stopped.
  if (!comparing) {
    bool all_done = true;
    for (const KindInfo& info : kKinds) {
      if (!request[info.kind] || (writing && info.write_code == 0)) continue;
      all_done = all_done && progress.kinds[static_cast<std::size_t>(info.kind)].done;
    }
    if (!all_done) {
      if (writing) progress.data_check = ImageCheck(image);
      out.resume = progress;
    }
  }
  out.files = std::move(ctx.files);
  Disconnect(session);
  return finish();
}

TransferOutcome StartTransfer(LinkSession& session, const TransferRequest& request, DataImage& image, UserInterface& ui,
                              const LinkSelection& selection, std::string_view report_path, const std::string& log_path,
                              const ReportDate& date) {
  if (!request.any()) {
    ui.ShowMessage(kMsgSelectData, Icon::kNone, {}, true);
    return {};
  }
  session.log.Open(log_path);
  TransferOutcome out = RunTransfer(session, request, image, ui, selection, report_path, date);
  session.log.Close();
  SayIfLogIncomplete(session.log, ui);
  return out;
}

bool CheckConnection(LinkSession& session, const LinkSelection& selection, UserInterface& ui,
                     const std::string& log_path) {
  if (Connect(session, selection, ui) != 0) return false;
  session.log.Open(log_path);
  session.request.Start(kCodeCheck, 0);
  const std::uint8_t r = Exchange(session, ui);
  if (r == kAccepted) ui.ShowMessage(kMsgTransferDone, Icon::kInformation);
  Disconnect(session);
  session.log.Close();
  SayIfLogIncomplete(session.log, ui);
  return r == kAccepted;
}

}  // namespace zel
