#include "sim/faults.h"

#include <charconv>
#include <vector>

namespace zel::sim {

bool FaultRates::Valid() const {
  for (int r : {lost, checksum, noise, nak, refuse, seq, slow, no_ack, paper_end, stall})
    if (r < 0 || r > 100) return false;
  return Total() <= 100;
}

FaultDecision FaultInjector::Draw() {
  const auto roll = static_cast<std::uint32_t>(rng_() % 100);
  const auto variant = static_cast<std::uint32_t>(rng_());
  const std::pair<int, Fault> order[] = {
      {rates_.lost, Fault::kLost},   {rates_.checksum, Fault::kChecksum}, {rates_.noise, Fault::kNoise},
      {rates_.nak, Fault::kNak},     {rates_.refuse, Fault::kRefuse},     {rates_.seq, Fault::kSeq},
      {rates_.slow, Fault::kSlow},   {rates_.no_ack, Fault::kNoAck},      {rates_.paper_end, Fault::kPaperEnd},
      {rates_.stall, Fault::kStall},
  };
  std::uint32_t limit = 0;
  for (const auto& [rate, fault] : order) {
    limit += static_cast<std::uint32_t>(rate);
    if (roll < limit) return {fault, variant};
  }
  return {Fault::kNone, variant};
}

ByteVector NoiseBytes(std::uint32_t variant) {
  std::mt19937 rng(variant);
  const std::size_t n = 1 + rng() % 16;
  ByteVector noise(n);
  for (auto& b : noise) {
    b = static_cast<std::uint8_t>(rng());
    if (b == kStart1) b = 0x54;
  }
  return noise;
}

std::string ParseFaultList(std::string_view list, FaultOptions& options) {
  FaultOptions out = options;
  struct Field {
    std::string_view name;
    int* target;
  };
  const Field fields[] = {
      {"lost", &out.rates.lost},   {"checksum", &out.rates.checksum},   {"noise", &out.rates.noise},
      {"nak", &out.rates.nak},     {"refuse", &out.rates.refuse},       {"seq", &out.rates.seq},
      {"slow", &out.rates.slow},   {"no-ack", &out.rates.no_ack},       {"paper-end", &out.rates.paper_end},
      {"stall", &out.rates.stall}, {"hangup-after", &out.hangup_after},
  };
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view part = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    if (part.empty()) continue;
    const std::size_t eq = part.find('=');
    if (eq == std::string_view::npos) return "λείπει το '=' στο \"" + std::string(part) + "\"";
    const std::string_view name = part.substr(0, eq);
    const std::string_view value = part.substr(eq + 1);
    int* target = nullptr;
    for (const auto& f : fields)
      if (f.name == name) target = f.target;
    if (target == nullptr) return "άγνωστο σφάλμα \"" + std::string(name) + "\"";
    int v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc{} || end != value.data() + value.size() || v < 0)
      return "λάθος τιμή \"" + std::string(value) + "\" για το " + std::string(name);
    *target = v;
  }
  if (!out.rates.Valid()) return "τα ποσοστά πρέπει να είναι 0 έως 100 και να μην ξεπερνούν μαζί το 100";
  options = out;
  return {};
}

std::string ParseAimedFault(std::string_view text, AimedFault& aimed) {
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos) return "λείπει το '@' στο \"" + std::string(text) + "\"";
  const std::string_view name = text.substr(0, at);
  std::string_view which = text.substr(at + 1);
  AimedFault out;
  for (int k = 1; k < kFaultKinds; ++k)
    if (FaultName(static_cast<Fault>(k)) == name) out.fault = static_cast<Fault>(k);
  if (out.fault == Fault::kNone || out.fault == Fault::kNoAck)
    return "άγνωστο σφάλμα εντολής \"" + std::string(name) + "\"";
  const auto number = [](std::string_view v, int& n) {
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    return ec == std::errc{} && end == v.data() + v.size() && n >= 1;
  };
  if (which.find('/') == std::string_view::npos) {
    if (!number(which, out.nth)) return "λάθος αριθμός εντολής \"" + std::string(which) + "\"";
  } else {
    if (const std::size_t hash = which.rfind('#'); hash != std::string_view::npos && hash > which.rfind('/')) {
      if (!number(which.substr(hash + 1), out.occurrence))
        return "λάθος αριθμός εμφάνισης \"" + std::string(which.substr(hash + 1)) + "\"";
      which = which.substr(0, hash);
    }
    out.prefix = std::string(which);
  }
  aimed = out;
  return {};
}

std::string_view FaultName(Fault f) {
  switch (f) {
    case Fault::kNone: return "none";
    case Fault::kLost: return "lost";
    case Fault::kChecksum: return "checksum";
    case Fault::kNoise: return "noise";
    case Fault::kNak: return "nak";
    case Fault::kRefuse: return "refuse";
    case Fault::kSeq: return "seq";
    case Fault::kSlow: return "slow";
    case Fault::kNoAck: return "no-ack";
    case Fault::kPaperEnd: return "paper-end";
    case Fault::kStall: return "stall";
  }
  return "?";
}

}  // namespace zel::sim
