// zelsim: a simulated cash register on a UDP port and/or a pseudo-terminal.
//
// It prints one line per link on stdout, for scripts:
//   udp-port 40123
//   pty /dev/pts/7
// then "ready", and serves until SIGINT or SIGTERM. What the register prints
// in its fiscal-printer mode (receipts, X and Z reports) follows on stdout,
// or goes to the file given with --paper. With --save it writes
// its programming to a .cld file on the way out. Messages for people go to
// stderr in Greek. Exit status: 0 after a clean stop, 1 when a link or a
// file fails, 2 for a wrong command line.
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "core/cp1253.h"
#include "sim/simulator.h"
#include "zel/version.h"

namespace {

using zel::sim::Simulator;
using zel::sim::SimulatorOptions;

constexpr const char* kUsage =
    "Χρήση: zelsim [--udp ΘΥΡΑ] [--pty] [--bind IP] [--load ΑΡΧΕΙΟ.cld] [--save ΑΡΧΕΙΟ.cld]\n"
    "              [--demo] [--sales demo] [--registration ABC12345678] [--refuse-items]\n"
    "              [--alter-item N]\n"
    "              [--baud N] [--turnaround MS] [--seed N] [--slow-ms MS] [--paper ΑΡΧΕΙΟ]\n"
    "              [--fault lost=3,checksum=2,noise=2,nak=1,refuse=0,seq=0,slow=0,\n"
    "                       no-ack=0,paper-end=0,stall=0,hangup-after=0]\n"
    "              [--aim ΣΦΑΛΜΑ@N | --aim ΣΦΑΛΜΑ@ΑΡΧΗ[#K]]...\n"
    "       zelsim --version\n"
    "\n"
    "Προσομοιωτής ταμειακής μηχανής για δοκιμές του Setup ZEL: πρωτόκολλο\n"
    "προγραμματισμού και λειτουργία φορολογικού εκτυπωτή (ENQ/ACK, εντολές\n"
    "κειμένου) στην ίδια θύρα UDP και στο ίδιο ψευδοτερματικό.\n"
    "  --udp ΘΥΡΑ          θύρα UDP (0 = όποια είναι ελεύθερη)\n"
    "  --pty               ψευδοτερματικό στη θέση της σειριακής θύρας\n"
    "                      (χωρίς --udp και --pty: UDP 2030 και ψευδοτερματικό)\n"
    "  --bind IP           διεύθυνση της θύρας UDP (αρχικά 127.0.0.1)\n"
    "  --load ΑΡΧΕΙΟ.cld   αρχικός προγραμματισμός από βάση δεδομένων\n"
    "  --save ΑΡΧΕΙΟ.cld   αποθήκευση του προγραμματισμού κατά την έξοδο\n"
    "  --demo              προγραμματισμός ενός μίνι μάρκετ (είδη, τμήματα, πελάτες)\n"
    "  --sales demo        πωλήσεις για τα είδη\n"
    "  --registration      αριθμός μητρώου: 3 χαρακτήρες και 8 ψηφία\n"
    "  --refuse-items      η μηχανή αρνείται τα είδη (0xDEBA)\n"
    "  --alter-item N      το είδος N (από 1) κρατιέται με τιμή 5 μονάδες μεγαλύτερη\n"
    "                      από αυτή που γράφτηκε (για δοκιμή της επαλήθευσης)\n"
    "  --baud N            ρυθμός αποστολής στο ψευδοτερματικό (0 = χωρίς)\n"
    "  --turnaround MS     αναμονή πριν από κάθε απάντηση\n"
    "  --seed N            σπόρος για τα σφάλματα και τη φορολογική μνήμη\n"
    "  --slow-ms MS        καθυστέρηση της αργής απάντησης\n"
    "  --paper ΑΡΧΕΙΟ      ό,τι τυπώνει η μηχανή (αποδείξεις, αναφορές X και Z)\n"
    "                      σε αρχείο αντί για την τυπική έξοδο\n"
    "  --fault ...         ποσοστά σφαλμάτων ανά απάντηση (0 έως 100, μαζί έως 100):\n"
    "                      lost        χαμένη απάντηση (η εντολή εκτελείται)\n"
    "                      checksum    λάθος άθροισμα ελέγχου στην απάντηση\n"
    "                      noise       θόρυβος πριν από την απάντηση\n"
    "                      nak         το αίτημα \"δεν έφτασε σωστά\" (0x80, ή κατάσταση 04)\n"
    "                      refuse      άρνηση (0x7F, ή κατάσταση 02)\n"
    "                      seq         λάθος αύξων αριθμός στην απάντηση (LAN)\n"
    "                      slow        απάντηση μετά από --slow-ms\n"
    "                      no-ack      καμία απάντηση ACK στο ENQ (φορολογικός εκτυπωτής)\n"
    "                      paper-end   κατάσταση 92, τέλος χαρτιού (φορολογικός εκτυπωτής)\n"
    "                      stall       η απάντηση σταματά πριν από το ETX ώσπου να έρθει\n"
    "                                  ένα byte 0x00 (σειριακή, φορολογικός εκτυπωτής)\n"
    "                      hangup-after=N  η σύνδεση κλείνει μετά από N αιτήματα\n"
    "  --aim ΣΦΑΛΜΑ@N      ένα σφάλμα (lost, checksum, noise, nak, refuse, seq, slow,\n"
    "                      paper-end, stall) στην N-οστή εντολή φορολογικού εκτυπωτή\n"
    "  --aim ΣΦΑΛΜΑ@ΑΡΧΗ   ... στην πρώτη εντολή που αρχίζει με ΑΡΧΗ (π.χ. 5/ ή\n"
    "                      x/7/1/1/), με #K στην K-οστή τέτοια εντολή; μία φορά το καθένα\n"
    "\n"
    "Κωδικοί κατάστασης στις απαντήσεις του φορολογικού εκτυπωτή: 00 αποδεκτή,\n"
    "01 άγνωστη εντολή ή λάθος πεδία, 02 δεν επιτρέπεται τώρα, 03 τιμή εκτός ορίων,\n"
    "04 κατεστραμμένο πλαίσιο, 92 τέλος χαρτιού.\n";

int Fail(const std::string& message, int status) {
  std::cerr << "zelsim: " << message << '\n';
  return status;
}

std::optional<long> Number(std::string_view text, long max) {
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || end != text.data() + text.size() || v < 0 || v > max) return std::nullopt;
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  SimulatorOptions options;
  std::optional<std::uint16_t> udp_port;
  bool pty = false, demo = false, demo_sales = false, refuse_items = false;
  int alter_item = -1;
  std::string load, save, paper;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string_view(argv[++i]);
    };
    const auto bad = [&](std::string_view what) {
      return Fail("λάθος τιμή για το " + std::string(arg) + (what.empty() ? "" : ": " + std::string(what)), 2);
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "zelsim " << zel::kVersion << '\n';
      return 0;
    } else if (arg == "--pty") {
      pty = true;
    } else if (arg == "--demo") {
      demo = true;
    } else if (arg == "--refuse-items") {
      refuse_items = true;
    } else if (arg == "--udp" || arg == "--baud" || arg == "--turnaround" || arg == "--seed" || arg == "--slow-ms") {
      const auto v = value();
      const long max = arg == "--udp" ? 65535 : arg == "--seed" ? 4294967295L : arg == "--baud" ? 4000000 : 3600000;
      const auto n = v ? Number(*v, max) : std::nullopt;
      if (!n) return bad("");
      if (arg == "--udp") udp_port = static_cast<std::uint16_t>(*n);
      if (arg == "--baud") options.timing.baud = static_cast<int>(*n);
      if (arg == "--turnaround") options.timing.turnaround_ms = static_cast<int>(*n);
      if (arg == "--slow-ms") options.faults.slow_ms = static_cast<int>(*n);
      if (arg == "--seed") options.faults.seed = options.fiscal_seed = static_cast<std::uint32_t>(*n);
    } else if (arg == "--alter-item") {
      const auto v = value();
      const auto n = v ? Number(*v, zel::kItemCount) : std::nullopt;
      if (!n || *n < 1) return bad("1 έως 16000");
      alter_item = static_cast<int>(*n) - 1;
    } else if (arg == "--bind") {
      const auto v = value();
      if (!v) return bad("");
      options.bind_address = std::string(*v);
    } else if (arg == "--paper") {
      const auto v = value();
      if (!v || v->empty()) return bad("");
      paper = std::string(*v);
    } else if (arg == "--load" || arg == "--save") {
      const auto v = value();
      if (!v || v->empty()) return bad("");
      (arg == "--load" ? load : save) = std::string(*v);
    } else if (arg == "--registration") {
      const auto v = value();
      const auto bytes = v ? zel::cp1253::FromUtf8(*v) : std::nullopt;
      if (!bytes || !zel::sim::fm::ValidRegistration(*bytes)) return bad("3 χαρακτήρες και 8 ψηφία");
      options.registration = *bytes;
    } else if (arg == "--fault") {
      const auto v = value();
      if (!v) return bad("");
      const std::string problem = zel::sim::ParseFaultList(*v, options.faults);
      if (!problem.empty()) return bad(problem);
    } else if (arg == "--aim") {
      const auto v = value();
      const auto bytes = v ? zel::cp1253::FromUtf8(*v) : std::nullopt;
      if (!bytes) return bad("");
      zel::sim::AimedFault aimed;
      const std::string problem = zel::sim::ParseAimedFault(*bytes, aimed);
      if (!problem.empty()) return bad(problem);
      options.aimed.push_back(aimed);
    } else if (arg == "--sales") {
      const auto v = value();
      if (!v || *v != "demo") return bad("μόνο demo");
      demo_sales = true;
    } else {
      std::cerr << "zelsim: άγνωστη επιλογή " << arg << "\n\n" << kUsage;
      return 2;
    }
  }
  if (!udp_port && !pty) {
    udp_port = 2030;
    pty = true;
  }

  // Signals are taken by sigwait below; block them before any thread starts
  // so that the link threads inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  Simulator sim(options);
  std::string error;
  if (!load.empty() && !sim.LoadProgramming(load, &error)) return Fail(load + ": " + error, 1);
  if (demo) sim.FillDemoProgramming();
  if (demo_sales) sim.FillDemoSales(options.faults.seed);
  sim.SetRefuseItems(refuse_items);
  sim.SetAlterItem(alter_item);

  std::FILE* paper_file = nullptr;
  if (!paper.empty()) {
    paper_file = std::fopen(paper.c_str(), "a");
    if (paper_file == nullptr) return Fail(paper + ": δεν ήταν δυνατό να ανοίξει", 1);
  }

  if (udp_port && !sim.StartUdp(*udp_port, &error)) return Fail("UDP: " + error, 1);
  if (pty && !sim.StartPty(&error)) return Fail("ψευδοτερματικό: " + error, 1);
  if (udp_port) std::cout << "udp-port " << sim.udp_port() << '\n';
  if (pty) std::cout << "pty " << sim.pty_path() << '\n';
  std::cout << "ready" << std::endl;
  // The paper comes after the start-up lines, which scripts read first
  // (lines printed before them are handed over first).
  sim.SetPaperSink([paper_file](const std::string& line) {
    if (paper_file != nullptr) {
      std::fprintf(paper_file, "%s\n", line.c_str());
      std::fflush(paper_file);
    } else {
      std::cout << line << std::endl;
    }
  });
  std::cout.flush();
  std::cerr << "zelsim: αριθμός μητρώου " << zel::cp1253::ToUtf8(sim.Registration()) << "; για το Setup ZEL:";
  if (udp_port) std::cerr << " SETUPZEL_REGISTER_PORT=" << sim.udp_port();
  if (pty) std::cerr << " SETUPZEL_COM1=" << sim.pty_path();
  std::cerr << "\nzelsim: Ctrl+C για τερματισμό\n";

  int signal = 0;
  sigwait(&signals, &signal);
  sim.Stop();
  sim.SetPaperSink(nullptr);
  if (paper_file != nullptr) std::fclose(paper_file);

  const zel::sim::Counters c = sim.counters();
  std::cerr << "zelsim: " << c.Handled() << " αιτήματα, " << c.replies << " απαντήσεις, " << c.damaged
            << " κατεστραμμένα\n";
  if (!save.empty() && !sim.SaveProgramming(save, &error)) return Fail(save + ": " + error, 1);
  return 0;
}
