#include "sim/programming.h"

#include <algorithm>
#include <cstring>

#include "core/bytes.h"
#include "core/layout.h"

namespace zel::sim {
namespace {

struct Reply {
  std::uint8_t code = kCodeRefused;
  ByteVector data;
};

Reply Refused() { return {kCodeRefused, {}}; }

// Record-wise kinds: request data 0 is the record number, the record's bytes
// follow it in both directions.
struct RecordKind {
  std::uint8_t read_code;
  int count;
  std::size_t size;    // bytes on the wire after the record number
  std::size_t base;    // image offset of record 0
  std::size_t stride;  // image bytes per record
  bool mirrored;       // logo rows travel with their bit order reversed
};

constexpr std::size_t ParamOffset(std::size_t o) { return Info(Block::kParameters).offset + o; }

constexpr RecordKind kRecordKinds[] = {
    {code::kReadLogoRow, logo::kRows, logo::kRowBytes, Info(Block::kLogo).offset, logo::kRowBytes, true},
    {code::kReadPrintLine, kPrintLineCount, param::kPrintLineSize, ParamOffset(param::kPrintLines),
     param::kPrintLineSize, false},
    {code::kReadCategory, kCategoryCount, kShortNameWidth, Info(Block::kCategories).offset, 12, false},
    {code::kReadDepartment, kDepartmentCount, 39, Info(Block::kDepartments).offset, 40, false},
    {code::kReadOperator, kOperatorCount, 16, Info(Block::kOperators).offset, 16, false},
};

// Whole-table kinds: one exchange, no record number.
struct TableKind {
  std::uint8_t read_code;
  std::size_t offset;
  std::size_t size;
};

constexpr TableKind kTableKinds[] = {
    {code::kReadPayments, Info(Block::kPayments).offset, Info(Block::kPayments).size()},
    {code::kReadVatRates, Info(Block::kVatRates).offset, Info(Block::kVatRates).size()},
    {code::kReadTaxCode, ParamOffset(param::kAesKey), param::kAesKeyWidth},
};

// Parameter records: the byte ranges of the parameter block they carry.
struct ParamRecord {
  std::size_t offset;
  std::size_t size;
};
constexpr ParamRecord kParamRecords[] = {{495, 23}, {518, 130}, {712, 174}};
// Record 0 also carries the two customer message lines, at different data
// offsets when read and when written.
constexpr std::size_t kMessageReadOffset = 24;
constexpr std::size_t kMessageWriteOffset = 34;
constexpr std::size_t kMessageBytes = 2 * kCustomerMessageWidth;

std::uint8_t Mirror(std::uint8_t b) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1u << i)) r = static_cast<std::uint8_t>(r | (0x80u >> i));
  return r;
}

void Append16(ByteVector& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x));
  v.push_back(static_cast<std::uint8_t>(x >> 8));
}

void Append32(ByteVector& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

bool ItemInUse(const std::uint8_t* record) {
  const std::uint8_t first = record[item::kName];
  return first != 0x00 && first != 0xFF;
}

Reply RecordRequest(RegisterMemory& m, const RecordKind& kind, bool write, ConstByteSpan data) {
  if (data.size() != (write ? 1 + kind.size : 1) || data[0] >= kind.count) return Refused();
  std::uint8_t* rec = m.programming.raw().data() + kind.base + kind.stride * data[0];
  if (write) {
    for (std::size_t i = 0; i < kind.size; ++i) rec[i] = kind.mirrored ? Mirror(data[1 + i]) : data[1 + i];
    return {static_cast<std::uint8_t>(kind.read_code + 1), {data[0]}};
  }
  Reply r{kind.read_code, {data[0]}};
  for (std::size_t i = 0; i < kind.size; ++i) r.data.push_back(kind.mirrored ? Mirror(rec[i]) : rec[i]);
  return r;
}

Reply TableRequest(RegisterMemory& m, const TableKind& kind, bool write, ConstByteSpan data) {
  std::uint8_t* p = m.programming.raw().data() + kind.offset;
  if (write) {
    if (data.size() != kind.size) return Refused();
    std::copy(data.begin(), data.end(), p);
    return {static_cast<std::uint8_t>(kind.read_code + 1), {}};
  }
  if (!data.empty()) return Refused();
  return {kind.read_code, ByteVector(p, p + kind.size)};
}

Reply ParameterRequest(RegisterMemory& m, bool write, ConstByteSpan data) {
  if (data.empty() || data[0] >= std::size(kParamRecords)) return Refused();
  const std::uint8_t n = data[0];
  const ParamRecord& rec = kParamRecords[n];
  std::uint8_t* p = m.programming.raw().data() + ParamOffset(rec.offset);
  const std::size_t message_at = write ? kMessageWriteOffset : kMessageReadOffset;
  const std::size_t length = n == 0 ? message_at + kMessageBytes : 1 + rec.size;
  if (write) {
    if (data.size() != length) return Refused();
    std::copy_n(data.begin() + 1, rec.size, p);
    // Data bytes 24..33 of the record-0 write carry nothing the register keeps.
    if (n == 0)
      for (std::size_t line = 0; line < 2; ++line)
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(message_at + kCustomerMessageWidth * line),
                    kCustomerMessageWidth, m.customer_message[line].begin());
    return {static_cast<std::uint8_t>(code::kReadParameters + 1), {n}};
  }
  if (data.size() != 1) return Refused();
  Reply r{code::kReadParameters, ByteVector(length, 0)};
  r.data[0] = n;
  std::copy_n(p, rec.size, r.data.begin() + 1);
  if (n == 0)
    for (std::size_t line = 0; line < 2; ++line)
      std::copy(m.customer_message[line].begin(), m.customer_message[line].end(),
                r.data.begin() + static_cast<std::ptrdiff_t>(message_at + kCustomerMessageWidth * line));
  return r;
}

Reply SalesHeader(const RegisterMemory& m) {
  // The register's own summary of its sales: registration number, number of
  // items sold, total amount and the number the next daily closure will get.
  Reply r{code::kReadItem, {}};
  Append16(r.data, kSalesHeaderRecord);
  const std::string registration = fm::RegistrationOf(m.fiscal_memory);
  r.data.insert(r.data.end(), registration.begin(), registration.end());
  std::uint16_t items = 0;
  std::int64_t total = 0;
  for (const SalesFigure& s : m.sales) {
    if (s.quantity != 0 || s.amount != 0) ++items;
    total += s.amount;
  }
  int closures = 0;
  while (closures < fm::kClosureCount &&
         le::Get32(m.fiscal_memory.data() + fm::ClosureOffset(closures)) != fm::kEmptyDateTime)
    ++closures;
  Append16(r.data, items);
  Append32(r.data, static_cast<std::uint32_t>(static_cast<std::int32_t>(total)));
  Append16(r.data, static_cast<std::uint16_t>(closures + 1));
  return r;
}

Reply ReadItem(RegisterMemory& m, ConstByteSpan data) {
  if (data.size() != 2) return Refused();
  const std::uint16_t k = le::Get16(data.data());
  if (k == kSalesHeaderRecord) return SalesHeader(m);
  if (k == kClearSalesRecord) {
    std::fill(m.sales.begin(), m.sales.end(), SalesFigure{});
    return {code::kReadItem, {data[0], data[1]}};
  }
  if (k > kItemTableEnd) return Refused();
  // The walk: the next item in use at or after k; 16000 ends the table.
  int r = k;
  while (r < kItemCount && !ItemInUse(m.programming.record(Block::kItems, r).data())) ++r;
  Reply reply{code::kReadItem, {}};
  Append16(reply.data, static_cast<std::uint16_t>(r));
  if (r == kItemCount) return reply;
  const ConstBytes rec = m.programming.record(Block::kItems, r);
  reply.data.insert(reply.data.end(), rec.begin(), rec.end());
  const SalesFigure& s = m.sales[static_cast<std::size_t>(r)];
  Append32(reply.data, static_cast<std::uint32_t>(s.quantity));
  Append32(reply.data, static_cast<std::uint32_t>(s.amount));
  return reply;
}

Reply WriteItem(RegisterMemory& m, ConstByteSpan data) {
  if (data.size() < 2) return Refused();
  const std::uint16_t k = le::Get16(data.data());
  if (k == kItemTableEnd) {
    // The opening of an item table write. A register that takes items
    // clears its table for the records that follow and, as every register
    // does, refuses the record itself.
    if (m.refuse_items) {
      Reply r = Refused();
      Append16(r.data, kRefuseItemsWord);
      return r;
    }
    std::ranges::fill(m.programming.block(Block::kItems), std::uint8_t{0});
    return Refused();
  }
  if (m.refuse_items || k > kItemTableEnd || data.size() != 2 + Info(Block::kItems).record_size) return Refused();
  const Bytes rec = m.programming.record(Block::kItems, k);
  std::copy(data.begin() + 2, data.end(), rec.begin());
  if (k == m.alter_item) le::Put32(rec.data() + item::kPrice, le::Get32(rec.data() + item::kPrice) + 5);
  return {code::kWriteItem, {data[0], data[1]}};
}

// Customer on the wire: number, tax number, the four 32-byte texts, the
// packed telephone.
constexpr std::size_t kCustomerWireSize = 2 + 4 + 4 * customer::kTextWidth + 8;

Reply ReadCustomer(RegisterMemory& m, ConstByteSpan data) {
  if (data.size() != 2) return Refused();
  const std::uint16_t i = le::Get16(data.data());
  if (i >= kCustomerCount) return Refused();
  const ConstBytes rec = m.programming.record(Block::kCustomers, i);
  Reply r{code::kReadCustomer, {data[0], data[1]}};
  r.data.insert(r.data.end(), rec.begin() + customer::kTaxNumber, rec.begin() + customer::kTaxNumber + 4);
  r.data.insert(r.data.end(), rec.begin(), rec.begin() + customer::kPhone);
  const auto packed = PackPhone(rec.subspan(customer::kPhone, customer::kPhoneWidth));
  r.data.insert(r.data.end(), packed.begin(), packed.end());
  return r;
}

Reply WriteCustomer(RegisterMemory& m, ConstByteSpan data) {
  if (data.size() < 2) return Refused();
  const std::uint16_t i = le::Get16(data.data());
  if (i == kCustomerTableEnd) {
    // Opens the customer table write: cleared for the records that follow.
    std::ranges::fill(m.programming.block(Block::kCustomers), std::uint8_t{0});
    return Refused();
  }
  if (i > kCustomerTableEnd || data.size() != kCustomerWireSize) return Refused();
  const Bytes rec = m.programming.record(Block::kCustomers, i);
  std::copy_n(data.begin() + 2, 4, rec.begin() + customer::kTaxNumber);
  std::copy_n(data.begin() + 6, customer::kPhone, rec.begin());
  UnpackPhone(data.subspan(6 + customer::kPhone, 8), rec.subspan(customer::kPhone, customer::kPhoneWidth));
  return {code::kWriteCustomer, {data[0], data[1]}};
}

Reply ReadFiscalMemory(const RegisterMemory& m, ConstByteSpan data) {
  if (data.size() != 3 || data[2] != kFiscalBlockMarker) return Refused();
  const std::uint16_t block = le::Get16(data.data());
  if (block >= fm::kBlockCount) return Refused();
  Reply r{code::kReadFiscalMemory, {data[0], data[1], data[2]}};
  const auto from = m.fiscal_memory.begin() + static_cast<std::ptrdiff_t>(fm::kBlockSize * block);
  r.data.insert(r.data.end(), from, from + static_cast<std::ptrdiff_t>(fm::kBlockSize));
  return r;
}

Reply Handle(RegisterMemory& m, std::uint8_t command, ConstByteSpan data) {
  for (const RecordKind& k : kRecordKinds)
    if (command == k.read_code || command == k.read_code + 1) return RecordRequest(m, k, command != k.read_code, data);
  for (const TableKind& k : kTableKinds)
    if (command == k.read_code || command == k.read_code + 1) return TableRequest(m, k, command != k.read_code, data);
  switch (command) {
    case code::kReadParameters: return ParameterRequest(m, false, data);
    case code::kReadParameters + 1: return ParameterRequest(m, true, data);
    case code::kReadItem: return ReadItem(m, data);
    case code::kWriteItem: return WriteItem(m, data);
    case code::kReadCustomer: return ReadCustomer(m, data);
    case code::kWriteCustomer: return WriteCustomer(m, data);
    case code::kReadFiscalMemory: return ReadFiscalMemory(m, data);
    case code::kConnectionCheck: return data.empty() ? Reply{code::kConnectionCheck, {}} : Refused();
    default: return Refused();
  }
}

class FrameSplitter : public StreamSplitter {
 public:
  void Append(ConstByteSpan bytes) override { scanner_.Append(bytes); }
  std::optional<Request> Next() override {
    auto frame = scanner_.Next();
    if (!frame) return std::nullopt;
    const int code = frame->intact ? frame->bytes[kCodeOffset] : -1;
    return Request{std::move(frame->bytes), frame->intact, code};
  }
  bool Pending() const override { return scanner_.Pending(); }
  void GiveUp() override { scanner_.GiveUp(); }

 private:
  FrameScanner scanner_;
};

}  // namespace

std::array<std::uint8_t, 8> PackPhone(ConstByteSpan field16) {
  std::array<std::uint8_t, 8> packed{};
  if (!field16.empty() && field16[0] == 0xFF) {
    packed.fill(0xFF);
    return packed;
  }
  std::uint64_t value = 0;
  std::uint8_t count = 0;
  while (count < 16 && count < field16.size() && field16[count] >= '0' && field16[count] <= '9')
    value = value * 10 + static_cast<std::uint64_t>(field16[count++] - '0');
  for (std::size_t i = 0; i < 7; ++i) packed[i] = static_cast<std::uint8_t>(value >> (8 * i));
  packed[7] = count;
  return packed;
}

void UnpackPhone(ConstByteSpan packed8, std::span<std::uint8_t> field16) {
  const std::uint8_t count = packed8[7];
  if (packed8[6] == 0xFF || count > 16) {
    std::ranges::fill(field16, std::uint8_t{0xFF});
    return;
  }
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 7; ++i) value |= static_cast<std::uint64_t>(packed8[i]) << (8 * i);
  std::ranges::fill(field16, std::uint8_t{0});
  for (int i = count - 1; i >= 0; --i) {
    field16[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>('0' + value % 10);
    value /= 10;
  }
}

std::unique_ptr<StreamSplitter> ProgrammingProtocol::NewStreamSplitter() const {
  return std::make_unique<FrameSplitter>();
}

std::optional<Request> ProgrammingProtocol::SplitDatagram(ConstByteSpan datagram) const {
  if (!StartsWithHeader(datagram)) return std::nullopt;  // not a frame at all
  const bool intact = IsIntactFrame(datagram);
  return Request{ByteVector(datagram.begin(), datagram.end()), intact, intact ? datagram[kCodeOffset] : -1};
}

ByteVector ProgrammingProtocol::Serve(const Request& request, FaultDecision& fault, LinkKind /*link*/) {
  if (fault.fault == Fault::kNoAck || fault.fault == Fault::kPaperEnd || fault.fault == Fault::kStall)
    fault.fault = Fault::kNone;  // the fiscal-printer mode's own faults
  const ByteVector& in = request.bytes;
  std::uint8_t seq = in.size() > kSeqOffset ? in[kSeqOffset] : 0;
  Reply reply;
  if (!request.intact || fault.fault == Fault::kNak) {
    reply = {kCodeDamaged, {}};
  } else if (fault.fault == Fault::kRefuse) {
    reply = Refused();
  } else {
    const ConstByteSpan data(in.data() + kDataOffset, in[kLengthOffset]);
    reply = register_.With([&](RegisterMemory& m) { return Handle(m, in[kCodeOffset], data); });
  }
  if (fault.fault == Fault::kSeq) ++seq;
  ByteVector out = BuildFrame(seq, reply.code, reply.data);
  if (fault.fault == Fault::kChecksum) {
    // Spoil the sum or the xor byte, never both and never by nothing.
    const std::size_t at = out.size() - 3 + (fault.variant & 1);
    out[at] = static_cast<std::uint8_t>(out[at] ^ (1 + (fault.variant >> 1) % 255));
  }
  return out;
}

}  // namespace zel::sim
