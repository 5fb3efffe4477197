// The bit fields of the two option words of the parameter block.
//
// One table names every field once; the summary printer, the parameters
// panel and the tests all read it, so a field's place is written only here.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace zel {

struct OptionField {
  int word;                                  // 1 or 2
  int shift;                                 // lowest bit
  int bits;                                  // width in bits
  std::uint32_t def;                         // value in a new data image
  std::string_view name;                     // UTF-8, for summaries
  std::span<const std::string_view> values;  // names of the values, empty for plain numbers
  constexpr std::uint32_t mask() const { return (1u << bits) - 1u; }
};

std::span<const OptionField> OptionFields();

inline std::uint32_t GetOption(std::uint32_t word, const OptionField& f) { return (word >> f.shift) & f.mask(); }
inline std::uint32_t SetOption(std::uint32_t word, const OptionField& f, std::uint32_t v) {
  return (word & ~(f.mask() << f.shift)) | ((v & f.mask()) << f.shift);
}

// The option words of a new data image.
inline constexpr std::uint32_t kDefaultOptions1 = 0x0013429C;
inline constexpr std::uint32_t kDefaultOptions2 = 0x005C0062;

}  // namespace zel
