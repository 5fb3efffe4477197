// The memory of a register for the transfer tests: it answers every record
// kind in the register's own layouts (written here from the register's side,
// apart from link/transfer.cpp), keeps what is written to it, walks its item
// table and serves its fiscal memory. Used as a FakeRegister handler.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>

#include "fake_register.h"

namespace zel::test {

struct RegisterModel {
  RegisterModel() {
    for (auto& r : logo) r.assign(48, 0);
    for (auto& l : lines) l.assign(33, 0);
    for (auto& c : categories) c.assign(12, 0);
    for (auto& d : departments) d.assign(39, 0);
    for (auto& o : operators) o.assign(16, 0);
    for (auto& c : customers) c.assign(140, 0xFF);  // an empty slot
    fiscal.assign(4096 * 128, 0xFF);
    SetRegistration("ABC", {0x12, 0x34, 0x56, 0x78});
  }

  // The registration number lives in the fiscal memory header (bytes 12..18).
  void SetRegistration(const std::string& three, const std::array<std::uint8_t, 4>& digits) {
    for (std::size_t i = 0; i < 3; ++i) fiscal[12 + i] = static_cast<std::uint8_t>(three[i]);
    for (std::size_t i = 0; i < 4; ++i) fiscal[15 + i] = digits[i];
  }

  static ByteVector With(std::initializer_list<std::uint8_t> head, const ByteVector& tail) {
    ByteVector v(head);
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
  }
  static ByteVector Tail(const Seen& s, std::size_t from) {
    return from < s.data.size() ? ByteVector(s.data.begin() + static_cast<std::ptrdiff_t>(from), s.data.end())
                                : ByteVector{};
  }

  std::optional<Answer> Handle(const Seen& s) {
    if (refuse.count(s.code)) return Answer{0x7F, {}};
    const int rec = s.record();
    const auto lo = static_cast<std::uint8_t>(rec);
    const auto hi = static_cast<std::uint8_t>(rec >> 8);
    const std::uint8_t index = s.data.empty() ? 0 : s.data[0];
    const Answer ok{s.code, {}};
    switch (s.code) {
      case 0x79: return ok;
      case 0x7D: {
        if (rec < 0 || rec >= 4096) return Answer{0x7F, {}};
        const auto from = fiscal.begin() + rec * 128;
        return Answer{s.code, With({lo, hi, 0x0D}, ByteVector(from, from + 128))};
      }
      case 0x77: return Answer{s.code, With({index}, logo.at(index))};
      case 0x78: logo.at(index) = Tail(s, 1); return ok;
      case 0x65: return Answer{s.code, With({index}, lines.at(index))};
      case 0x66: lines.at(index) = Tail(s, 1); return ok;
      case 0x6D: return Answer{s.code, payments};
      case 0x6E: payments = s.data; return ok;
      case 0x6B: return Answer{s.code, vat};
      case 0x6C: vat = s.data; return ok;
      case 0x69: return Answer{s.code, tax_code};
      case 0x6A: tax_code = s.data; return ok;
      case 0x71: return Answer{s.code, With({index}, categories.at(index))};
      case 0x72: categories.at(index) = Tail(s, 1); return ok;
      case 0x6F: return Answer{s.code, With({index}, departments.at(index))};
      case 0x70: departments.at(index) = Tail(s, 1); return ok;
      case 0x75: return Answer{s.code, With({index}, operators.at(index))};
      case 0x76: operators.at(index) = Tail(s, 1); return ok;
      case 0x67:
        if (index == 0) return Answer{s.code, With({0}, param0)};
        return Answer{s.code, With({index}, index == 1 ? param1 : param2)};
      case 0x68: params_written[index] = s.data; return ok;
      case 0x73: {
        if (rec == 0xFFFF) {
          ++sales_headers;
          return Answer{s.code, {0xFF, 0xFF}};
        }
        if (rec == 16001) {
          sales_cleared = true;
          return ok;
        }
        const auto it = items.lower_bound(rec);
        if (it == items.end()) return Answer{s.code, With({0x80, 0x3E}, ByteVector(56, 0))};
        return Answer{s.code, With({static_cast<std::uint8_t>(it->first), static_cast<std::uint8_t>(it->first >> 8)},
                                   it->second)};
      }
      case 0x74:
        if (rec == 16000) return refuse_items ? Answer{s.code, {0xBA, 0xDE}} : Answer{0x7F, {}};
        items_written[rec] = Tail(s, 2);
        return ok;
      case 0x81: return Answer{s.code, With({lo, hi}, customers.at(static_cast<std::size_t>(rec)))};
      case 0x82:
        if (rec == 1000) return Answer{0x7F, {}};
        customers_written[rec] = Tail(s, 2);
        return ok;
      default: return Answer{0x7F, {}};
    }
  }

  FakeRegister::Handler Handler() {
    return [this](const Seen& s) { return Handle(s); };
  }

  std::array<ByteVector, 180> logo;  // rows as on the wire
  std::array<ByteVector, 15> lines;  // wire lines 0..14, 33 bytes
  ByteVector payments = ByteVector(60, 0);
  ByteVector vat = ByteVector(8, 0);
  ByteVector tax_code = ByteVector(64, 0);
  std::array<ByteVector, 30> categories;
  std::array<ByteVector, 24> departments;  // bytes 0..38
  std::array<ByteVector, 25> operators;
  std::map<int, ByteVector> items;  // 48 record bytes, quantity, amount
  std::map<int, ByteVector> items_written;
  std::array<ByteVector, 1000> customers;  // data 2..141 of the reply
  std::map<int, ByteVector> customers_written;
  ByteVector param0 = ByteVector(65, 0);  // read reply data 1..65
  ByteVector param1 = ByteVector(130, 0);
  ByteVector param2 = ByteVector(174, 0);
  std::map<int, ByteVector> params_written;  // whole request data
  ByteVector fiscal;
  std::set<std::uint8_t> refuse;  // commands answered with 0x7F
  bool refuse_items = false;      // the item table opening answers DEBA
  bool sales_cleared = false;
  int sales_headers = 0;
};

}  // namespace zel::test
