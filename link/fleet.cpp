#include "link/fleet.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "link/exchange.h"
#include "link/reports.h"

namespace zel {
namespace {

// Keeps what the transfer shows; the backup question is answered from the
// options, any other question with No.
class CollectingUi : public UserInterface {
 public:
  explicit CollectingUi(bool yes) : yes_(yes) {}
  void ShowMessage(std::string_view text, Icon, std::string_view, bool) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view text, Icon, bool) override {
    messages.emplace_back(text);
    return yes_;
  }
  bool AskRetryCancel(std::string_view text, Icon) override {
    messages.emplace_back(text);
    return false;
  }
  std::optional<std::string> ChooseFile(const FileDialog&) override { return std::nullopt; }
  std::vector<std::string> messages;

 private:
  bool yes_;
};

std::string TraceName(const std::string& target) {
  std::string name = "trace_";
  for (char c : target) name += (std::isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '_';
  return name + ".txt";
}

void RunOne(const FleetTarget& target, FleetResult& result, const DataImage& source, const FleetOptions& options,
            AbortFlag& stop) {
  result.target = target.name;
  if (stop.IsSet()) return;
  result.ran = true;
  LinkSession session;
  const WakeSubscription on_stop = stop.OnSet([&session] { session.abort.Set(); });
  if (stop.IsSet()) session.abort.Set();
  ExchangeTrace trace;
  if (!options.trace_folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options.trace_folder, ec);
    result.trace_file = (std::filesystem::path(options.trace_folder) / TraceName(target.name)).string();
    if (trace.Open(result.trace_file, session.clock->Now())) session.trace = &trace;
  }
  result.image = options.request.direction == Direction::kWrite ? source : DataImage();
  CollectingUi ui(options.write_anyway);
  const auto start = std::chrono::steady_clock::now();
  result.outcome = RunTransfer(session, options.request, result.image, ui, target.selection, options.report_path);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.messages = std::move(ui.messages);
}

// Pads UTF-8 text with blanks to `width` characters.
std::string Pad(const std::string& text, std::size_t width) {
  std::size_t chars = 0;
  for (const char c : text) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return text + std::string(chars < width ? width - chars : 0, ' ');
}

}  // namespace

std::optional<LinkSelection> ParseLanAddress(std::string_view text) {
  std::string address(text);
  std::uint16_t port = 0;
  if (const std::size_t colon = address.find(':'); colon != std::string::npos) {
    const std::string_view digits = std::string_view(address).substr(colon + 1);
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || end != digits.data() + digits.size() || value == 0 || value > 65535) return std::nullopt;
    port = static_cast<std::uint16_t>(value);
    address.resize(colon);
  }
  in_addr addr{};
  if (::inet_pton(AF_INET, address.c_str(), &addr) != 1) return std::nullopt;
  const auto* b = reinterpret_cast<const std::uint8_t*>(&addr.s_addr);
  LinkSelection s;
  s.port = 0;
  s.ip = {b[0], b[1], b[2], b[3]};
  s.udp_port = port;
  return s;
}

std::vector<FleetResult> RunFleet(const std::vector<FleetTarget>& targets, const DataImage& source,
                                  const FleetOptions& options, AbortFlag& stop) {
  std::vector<FleetResult> results(targets.size());
  std::atomic<std::size_t> next{0};
  const std::size_t workers =
      std::min<std::size_t>(targets.size(), static_cast<std::size_t>(std::max(1, options.parallel)));
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < workers; ++w)
    threads.emplace_back([&] {
      for (std::size_t i; (i = next.fetch_add(1)) < targets.size();)
        RunOne(targets[i], results[i], source, options, stop);
    });
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < targets.size(); ++i) results[i].target = targets[i].name;
  return results;
}

std::string FleetTable(const std::vector<FleetResult>& results) {
  constexpr std::size_t kTarget = 22, kRegistration = 13, kResult = 10, kRecords = 9, kTime = 9;
  std::string table = Pad("ΦΗΜ", kTarget) + Pad("Αρ.Μητρώου", kRegistration) + Pad("Αποτέλεσμα", kResult) +
                      Pad("Εγγραφές", kRecords) + Pad("Χρόνος", kTime) + "Απέτυχαν\n";
  for (const FleetResult& r : results) {
    std::string failed;
    for (const KindInfo& info : kKinds)
      if (r.outcome.marks[static_cast<std::size_t>(info.kind)] == UserInterface::Mark::kFailed)
        failed += (failed.empty() ? "" : ", ") + std::string(info.caption);
    if (failed.empty() && !r.outcome.success)
      failed = !r.ran                  ? "(δεν ξεκίνησε)"
               : !r.outcome.connected  ? "(δεν συνδέθηκε)"
               : !r.outcome.identified ? "(καμία απάντηση)"
                                       : "(επαλήθευση)";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", r.seconds);
    table += Pad(r.target, kTarget) + Pad(SafeFileName(r.outcome.registration), kRegistration) +
             Pad(r.outcome.success ? "ΟΚ" : "ΑΠΟΤΥΧΙΑ", kResult) + Pad(std::to_string(r.outcome.records), kRecords) +
             Pad(seconds, kTime) + failed + '\n';
  }
  return table;
}

}  // namespace zel
