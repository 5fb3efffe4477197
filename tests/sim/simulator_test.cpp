// The simulator as a whole: its programming in and out of .cld files, the
// demo shop, a clean stop while replies are pending, and the zelsim program
// as a script drives it.
#include "sim/simulator.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/cp1253.h"
#include "core/database_file.h"
#include "tests/sim/printer_client.h"
#include "tests/sim/sim_client.h"

extern char** environ;

namespace zel::sim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::Frame;
using test::PtyClient;
using test::UdpClient;

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelsim_test.XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

TEST(Simulator, ProgrammingRoundTripsThroughACldFile) {
  TempDir dir;
  Simulator a;
  a.FillDemoProgramming();
  std::string error;
  ASSERT_TRUE(a.SaveProgramming(dir.File("shop.cld"), &error)) << error;
  EXPECT_EQ(std::filesystem::file_size(dir.File("shop.cld")), kFileSize);

  Simulator b;
  ASSERT_TRUE(b.LoadProgramming(dir.File("shop.cld"), &error)) << error;
  EXPECT_TRUE(b.Programming() == a.Programming());
}

TEST(Simulator, ABrokenFileLeavesTheProgrammingAsItWas) {
  TempDir dir;
  {
    std::ofstream f(dir.File("short.cld"), std::ios::binary);
    f << std::string(1000, 'x');
  }
  Simulator sim;
  sim.FillDemoProgramming();
  const DataImage before = sim.Programming();
  std::string error;
  EXPECT_FALSE(sim.LoadProgramming(dir.File("short.cld"), &error));
  EXPECT_EQ(error, kMsgReadError);
  EXPECT_FALSE(sim.LoadProgramming(dir.File("missing.cld"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(sim.Programming() == before);
}

TEST(Simulator, TheDemoShopHasItemsFarApartAndSalesForMostOfThem) {
  Simulator sim;
  sim.FillDemoProgramming();
  sim.FillDemoSales(3);
  const DataImage image = sim.Programming();
  int items = 0, sold = 0;
  const auto sales = sim.Sales();
  for (int i = 0; i < kItemCount; ++i) {
    if (image.item(i).empty()) {
      EXPECT_EQ(sales[static_cast<std::size_t>(i)], SalesFigure{}) << i;
      continue;
    }
    ++items;
    sold += sales[static_cast<std::size_t>(i)].quantity > 0;
  }
  EXPECT_GE(items, 30);
  EXPECT_GT(sold, items / 2);
  EXPECT_LT(sold, items);
  EXPECT_FALSE(image.item(15999).empty());
  EXPECT_FALSE(image.customer(0).empty());
  EXPECT_EQ(cp1253::ToUtf8(TextOf(image.item(0).name())), "ΨΩΜΙ ΧΩΡΙΑΤΙΚΟ 1KG");
}

TEST(Simulator, StopsCleanlyWithRepliesPendingOnBothLinks) {
  SimulatorOptions options;
  options.faults.rates.slow = 100;
  options.faults.slow_ms = 600000;  // a reply that would come in ten minutes
  options.timing.baud = 300;
  auto sim = std::make_unique<Simulator>(options);
  ASSERT_TRUE(sim->StartUdp(0));
  ASSERT_TRUE(sim->StartPty());
  UdpClient udp(sim->udp_port());
  PtyClient pty(sim->pty_path());
  udp.Send(Frame(1, 0x79));
  pty.Send(Frame(1, 0x79));
  ASSERT_TRUE(sim->WaitForRequests(2, 5s));
  sim->Stop();
  EXPECT_EQ(sim->udp_port(), 0);
  EXPECT_TRUE(sim->pty_path().empty());
  sim.reset();  // and the destructor after Stop
}

TEST(Simulator, ALinkStartsOnceAndABusyPortIsReported) {
  Simulator a, b;
  std::string error;
  ASSERT_TRUE(a.StartUdp(0, &error));
  EXPECT_FALSE(a.StartUdp(0, &error));
  EXPECT_FALSE(b.StartUdp(a.udp_port(), &error));
  EXPECT_NE(error.find("bind"), std::string::npos) << error;
  EXPECT_TRUE(b.StartUdp(0, &error)) << "the simulator stays usable";
}

// ---- The zelsim program ------------------------------------------------------

class Zelsim {
 public:
  explicit Zelsim(std::vector<std::string> args) {
    args.insert(args.begin(), ZELSIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    EXPECT_EQ(posix_spawn(&pid_, ZELSIM_PATH, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~Zelsim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ != nullptr) std::fclose(out_);
  }
  // Lines up to "ready" (or the end of the output).
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    char buf[512];
    while (std::fgets(buf, sizeof buf, out_) != nullptr) {
      std::string line(buf);
      if (!line.empty() && line.back() == '\n') line.pop_back();
      if (line == "ready") break;
      lines.push_back(line);
    }
    return lines;
  }
  int Terminate() {
    ::kill(pid_, SIGTERM);
    return Wait();
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  std::FILE* out_ = nullptr;
};

TEST(ZelsimProgram, PrintsItsLinksServesThemAndSavesOnSigterm) {
  TempDir dir;
  Zelsim z({"--udp", "0", "--pty", "--demo", "--registration", "ΑΒΓ00000042", "--save", dir.File("out.cld")});
  std::uint16_t port = 0;
  std::string path;
  for (const std::string& line : z.Lines()) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (key == "udp-port") in >> port;
    if (key == "pty") in >> path;
  }
  ASSERT_NE(port, 0);
  ASSERT_FALSE(path.empty());

  UdpClient udp(port);
  EXPECT_EQ(udp.Ask(Frame(1, 0x79)), Frame(1, 0x79));
  const auto id = udp.Ask(Frame(2, 0x7D, {0, 0, 0x0D}));
  ASSERT_TRUE(id.has_value());
  EXPECT_EQ(Bytes(id->begin() + 6 + 15, id->begin() + 6 + 22), (Bytes{0xC1, 0xC2, 0xC3, 0x00, 0x00, 0x00, 0x42}));
  PtyClient pty(path);
  EXPECT_EQ(pty.Ask(Frame(3, 0x79)), Frame(3, 0x79));

  EXPECT_EQ(z.Terminate(), 0);
  ImageBytes saved{};
  ASSERT_EQ(ReadDatabaseFile(dir.File("out.cld"), saved), FileStatus::kOk);
  EXPECT_EQ(cp1253::ToUtf8(TextOf(ConstBytes(saved).subspan(9528 + 4, 26))), "ΨΩΜΙ ΧΩΡΙΑΤΙΚΟ 1KG");
}

TEST(ZelsimProgram, PrintsItsPaperAfterTheStartUpLinesOrToAFile) {
  TempDir dir;
  for (bool to_file : {false, true}) {
    std::vector<std::string> args = {"--udp", "0"};
    if (to_file) args.insert(args.end(), {"--paper", dir.File("paper.txt")});
    Zelsim z(args);
    const std::vector<std::string> start = z.Lines();
    ASSERT_EQ(start.size(), 1u);
    ASSERT_TRUE(start[0].starts_with("udp-port "));
    test::PrinterUdp printer(static_cast<std::uint16_t>(std::stoi(start[0].substr(9))));
    EXPECT_EQ(printer.Ask(test::W("3/S/ΓΑΛΑ//1,000/1,50/03/13,00/")), "00/0001/05/");
    EXPECT_EQ(z.Terminate(), 0);
    std::vector<std::string> paper = z.Lines();
    if (to_file) {
      EXPECT_TRUE(paper.empty()) << "the paper went to the file";
      std::ifstream in(dir.File("paper.txt"));
      for (std::string line; std::getline(in, line);) paper.push_back(line);
    }
    EXPECT_NE(std::find(paper.begin(), paper.end(), "ΑΠΟΔΕΙΞΗ ΛΙΑΝΙΚΗΣ ΠΩΛΗΣΗΣ"), paper.end()) << to_file;
  }
}

TEST(ZelsimProgram, RefusesAWrongCommandLine) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--udp", "70000"},
                                        {"--fault", "lost=200"},
                                        {"--registration", "ABC1"},
                                        {"--bogus"},
                                        {"--sales", "many"}}) {
    Zelsim z(args);
    z.Lines();
    EXPECT_EQ(z.Wait(), 2) << args[0];
  }
}

}  // namespace
}  // namespace zel::sim
