// The register's programming protocol: framed requests (frame.h) that read
// and write its programming record by record, identify it, hand out its
// fiscal memory block by block and its sales figures with the items.
//
// Each data kind has a read code and the next code for writing:
//   0x77/0x78 graphic logo row (bits mirrored on the wire), 0x65/0x66 print
//   line (fiscal logo 0-8, header and footer 9-14), 0x6D/0x6E payments,
//   0x6B/0x6C VAT rates, 0x71/0x72 category, 0x6F/0x70 department (bytes
//   0-38), 0x75/0x76 operator, 0x73/0x74 item, 0x69/0x6A tax-authority
//   code, 0x81/0x82 customer, 0x67/0x68 parameter record 0-2;
//   0x7D fiscal memory block (block 0 identifies the register), 0x79
//   connection check.
//
// A carried-out request is answered with its own code, a refused one (bad
// length, record out of range, unknown code, the end-of-table writes of item
// 16000 and customer 1000) with 0x7F, a damaged one with 0x80; the reply
// echoes the request's sequence number. Write replies carry the record
// number as the request gave it (none for whole tables).
//
// The items read (0x73) walks the table: a request for record k returns the
// next item in use r >= k with its sales figures (record number, 48 record
// bytes, quantity in thousandths, amount in cents), and r = 16000 alone at
// the end. Record 0xFFFF returns the sales report header (FF FF, the
// registration number, the number of items sold as u16, the total amount as
// i32 cents, the number the next daily closure will get as u16); record
// 16001 clears the sales figures.
//
// Opening a table write (item 16000, customer 1000) clears that table for
// the records that follow and is refused with 0x7F, as every register does;
// a register set to refuse items adds the data word 0xDEBA and keeps its
// table.
//
// Thread-safe: every request locks the register's memory for its duration.
#pragma once

#include <cstdint>

#include "sim/protocol.h"
#include "sim/register_memory.h"

namespace zel::sim {

namespace code {
inline constexpr std::uint8_t kReadPrintLine = 0x65;
inline constexpr std::uint8_t kReadParameters = 0x67;
inline constexpr std::uint8_t kReadTaxCode = 0x69;
inline constexpr std::uint8_t kReadVatRates = 0x6B;
inline constexpr std::uint8_t kReadPayments = 0x6D;
inline constexpr std::uint8_t kReadDepartment = 0x6F;
inline constexpr std::uint8_t kReadCategory = 0x71;
inline constexpr std::uint8_t kReadItem = 0x73;
inline constexpr std::uint8_t kWriteItem = 0x74;
inline constexpr std::uint8_t kReadOperator = 0x75;
inline constexpr std::uint8_t kReadLogoRow = 0x77;
inline constexpr std::uint8_t kConnectionCheck = 0x79;
inline constexpr std::uint8_t kReadFiscalMemory = 0x7D;
inline constexpr std::uint8_t kReadCustomer = 0x81;
inline constexpr std::uint8_t kWriteCustomer = 0x82;
}  // namespace code

// Item record numbers with a meaning of their own.
inline constexpr std::uint16_t kItemTableEnd = 16000;  // end of the walk; opens the table write
inline constexpr std::uint16_t kClearSalesRecord = 16001;
inline constexpr std::uint16_t kSalesHeaderRecord = 0xFFFF;
inline constexpr std::uint16_t kCustomerTableEnd = 1000;
inline constexpr std::uint16_t kRefuseItemsWord = 0xDEBA;
inline constexpr std::uint8_t kFiscalBlockMarker = 0x0D;

class ProgrammingProtocol : public Protocol {
 public:
  explicit ProgrammingProtocol(Register& reg) : register_(reg) {}

  std::unique_ptr<StreamSplitter> NewStreamSplitter() const override;
  std::optional<Request> SplitDatagram(ConstByteSpan datagram) const override;
  ByteVector Serve(const Request& request, FaultDecision& fault, LinkKind link) override;

 private:
  Register& register_;
};

// The 8-byte wire form of a customer's telephone digits (16-byte field) and
// back. A field starting with 0xFF (an empty record as the program writes
// it) stays 0xFF both ways.
std::array<std::uint8_t, 8> PackPhone(ConstByteSpan field16);
void UnpackPhone(ConstByteSpan packed8, std::span<std::uint8_t> field16);

}  // namespace zel::sim
