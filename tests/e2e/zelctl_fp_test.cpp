// zelctl fp against the zelsim program, process to process, over UDP and a
// pseudo-terminal: a whole receipt rung up, paid and closed with the
// console's keys, every report key, the exit status a script sees, and the
// faults of the fiscal-printer mode that need no time-out ending as the
// command link says they must. (The faults that do, lost replies among
// them, are played in-process on a manual clock: console_outcomes_test.)
#include "console/sales_console.h"
#include "e2e_support.h"
#include "support/files.h"
#include "zelsim_process.h"

namespace zel::e2e {
namespace {

using Outcome = test::ZelctlOutcome;

class ZelctlFp : public ::testing::TestWithParam<Wire> {
 protected:
  bool lan() const { return GetParam() == Wire::kUdp; }

  // zelsim with `extra` options on the wire of the test, printing its paper
  // into a file of the test's folder.
  void StartZelsim(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {lan() ? "--udp" : "--pty"};
    if (lan()) args.push_back("0");
    args.insert(args.end(), {"--demo", "--paper", dir_ / "paper.txt"});
    args.insert(args.end(), extra.begin(), extra.end());
    zelsim_ = std::make_unique<ZelsimProcess>(args);
    ASSERT_FALSE(lan() ? zelsim_->udp_port.empty() : zelsim_->pty.empty()) << "zelsim did not start";
  }
  Outcome Fp(const std::string& args) {
    const std::string env = lan() ? "SETUPZEL_REGISTER_PORT=" + zelsim_->udp_port : "SETUPZEL_COM1=" + zelsim_->pty;
    return test::RunZelctl(dir_.path(), "fp " + args + (lan() ? " --lan 127.0.0.1" : " --com 1"), env);
  }
  std::string Paper() {
    zelsim_->Stop();  // flushes the paper file
    return Slurp(dir_ / "paper.txt");
  }
  // The command text of each line zelctl printed ("TEXT<tab>REPLY<tab>ok"),
  // after the status question with which a console opens.
  static std::vector<std::string> Sent(const std::string& out) {
    std::vector<std::string> v;
    for (const std::string& l : Lines(out))
      if (const auto tab = l.find('\t'); tab != std::string::npos) v.push_back(l.substr(0, tab));
    if (!v.empty() && v.front() == "?/") v.erase(v.begin());
    return v;
  }
  void SaveDemoShop() {
    ZelsimProcess programmer({"--udp", "0", "--demo", "--save", dir_ / "shop.cld", "--paper", "/dev/null"});
    programmer.Stop();
    ASSERT_TRUE(fs::exists(dir_ / "shop.cld"));
  }

  TempDir dir_;
  std::unique_ptr<ZelsimProcess> zelsim_;
};

TEST_P(ZelctlFp, KeysRingUpPayAndCloseAReceipt) {
  StartZelsim();
  // The demo shop's database, as the register has it.
  SaveDemoShop();

  const Outcome r = Fp("keys shop.cld 2 ΠΟΣΟΤΗΤΑ 1,5 'ΤΜ 1' 2 'ΤΜ 3' 1 text:ΔΩΡΟ ΕΙΔΟΣ 10 'ΜΣ-%' ΣΥΝΟΛΟ 100 ΠΛΗΡΩΜΗ");
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> sent = Sent(r.out);
  ASSERT_EQ(sent.size(), 7u) << r.out;
  EXPECT_TRUE(sent[0].starts_with("3/S/")) << sent[0];
  EXPECT_NE(sent[0].find("/2,000/1,50/01/"), std::string::npos) << sent[0];
  EXPECT_NE(sent[1].find("/1,000/2,00/03/"), std::string::npos) << sent[1];
  EXPECT_NE(sent[2].find("/ΔΩΡΟ/1,000/"), std::string::npos) << sent[2];
  EXPECT_EQ(sent[3], "4/10,00/10,00% ΕΚΠΤΩΣΗ   %//0/1/0/");
  EXPECT_EQ(sent[4], "9/");
  EXPECT_TRUE(sent[5].starts_with("5/1/100,00/")) << sent[5];
  EXPECT_EQ(sent[6], "9/");
  for (const std::string& l : Lines(r.out))
    if (l.find('\t') != std::string::npos) {
      EXPECT_TRUE(l.ends_with("\tok")) << l;
    }
  EXPECT_NE(r.out.find("Ποσό πληρωμής: 0,00"), std::string::npos) << r.out;
  EXPECT_FALSE(Paper().empty()) << "the register printed the receipt";
}

TEST_P(ZelctlFp, KeysWithoutPaymentAreVoidedAndSaySo) {
  StartZelsim();
  SaveDemoShop();
  const Outcome r = Fp("keys shop.cld 1 'ΤΜ 2' 1,2 'ΤΜ 2'");
  // As the window does when the console is hidden: the open receipt is
  // voided; a script must tell that from a sale.
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Αποτέλεσμα: η απόδειξη ακυρώθηκε"), std::string::npos) << r.err;
  const std::vector<std::string> sent = Sent(r.out);
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[2], "+/");
  // A daily Z is then accepted: no receipt is left open on the register.
  EXPECT_EQ(Fp("report z").status, 0);
}

// The exit status a script sees after a fault aimed at one command (the
// faults that need no time-out): 0 only for a receipt printed, 3 for what
// may have been done, and the register's paper agrees.
TEST_P(ZelctlFp, ExitStatusFollowsWhatTheRegisterDid) {
  struct Case {
    std::string name;
    std::string aim;
    int status;
    int closed;  // receipts the register closed
  };
  const Case cases[] = {
      {"damaged payment reply: the register printed it", "checksum@5/", 0, 1},
      {"damaged reply to the first sale: voided", "checksum@3/", 1, 0},
      {"paper end at the second sale: voided, not closed short", "paper-end@3/#2", 1, 0},
      {"refused payment: voided", "refuse@5/", 1, 0},
  };
  SaveDemoShop();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartZelsim({"--aim", c.aim});
    const Outcome r = Fp("keys shop.cld 2,50 'ΤΜ 1' 1,20 'ΤΜ 2' ΠΛΗΡΩΜΗ");
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    const std::string paper = Paper();
    std::size_t closed = 0;
    for (std::size_t at = paper.find("ΕΥΧΑΡΙΣΤΟΥΜΕ"); at != std::string::npos; at = paper.find("ΕΥΧΑΡΙΣΤΟΥΜΕ", at + 1))
      ++closed;
    EXPECT_EQ(closed, static_cast<std::size_t>(c.closed)) << paper;
    fs::remove(dir_ / "paper.txt");
  }
}

TEST_P(ZelctlFp, DamagedZReplyIsUnknownAndNotRepeated) {
  StartZelsim({"--aim", "checksum@x/7/1/1/"});
  const Outcome r = Fp("report z");
  EXPECT_EQ(r.status, 3) << r.out << r.err;
  EXPECT_NE(r.err.find(std::string(kMsgZUnknown)), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.find("x/7/1/1/\t") != std::string::npos && r.out.find("\tunknown\n") != std::string::npos) << r.out;
}

TEST_P(ZelctlFp, EveryReportKeySendsItsText) {
  StartZelsim();
  struct Case {
    std::string args;
    std::string text;
  };
  const Case cases[] = {
      {"report x", "x/1///"},
      {"report items", "x/3///"},
      {"report operators", "x/6/1/25/"},
      {"report efiles", "x/9///"},
      {"report z", "x/7/1/1/"},
      {"report last-z", "x/7/0/0/"},
      {"report fm --z 1 1 --detailed", "x/0/5/0001/0001/"},
      {"report fm --dates 03.03.2024 05.03.2024", "x/0/1/030324/000000/050324/235959/"},
      {"report fm --last-3z", "x/0/7/"},
  };
  for (const Case& c : cases) {
    const Outcome r = Fp(c.args);
    EXPECT_EQ(r.status, 0) << c.args << ": " << r.err << r.out;
    EXPECT_EQ(Sent(r.out), std::vector<std::string>{c.text}) << c.args;
  }
  EXPECT_NE(Paper().find("Ζ"), std::string::npos);
}

TEST_P(ZelctlFp, RefusalsAndMisuseHaveTheirExitStatus) {
  StartZelsim();
  // A sale with nothing sellable: the register answers with a refusal.
  Outcome r = Fp("send '3/S/ΧΩΡΙΣ ΤΙΜΗ//1,000/0,00/01/24,00/'");
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  EXPECT_TRUE(r.out.ends_with("\trefused\n")) << r.out;
  // The console refuses a key: its message on stderr, status 1.
  ZelsimProcess programmer({"--udp", "0", "--save", dir_ / "new.cld", "--paper", "/dev/null"});
  programmer.Stop();
  r = Fp("keys new.cld ΟΛΙΚΗ\\ ΑΚΥΡΩΣΗ");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Χωρίς πώληση!"), std::string::npos) << r.err;
  EXPECT_EQ(Fp("keys new.cld ΚΑΝΕΝΑ").status, 2);
}

INSTANTIATE_TEST_SUITE_P(Wires, ZelctlFp, ::testing::Values(Wire::kUdp, Wire::kPty), WireName);

// Each fault of the fiscal-printer mode that needs no time-out, on the
// wires it applies to, for `fp send`: the texts go as they are, so nothing
// asks the register afterwards.
struct FaultCase {
  std::string name;
  Wire wire;
  std::string fault;
  int status;
  std::string message;  // on stderr
};

class ZelctlFpFault : public ::testing::TestWithParam<FaultCase> {
 protected:
  TempDir dir_;
};

TEST_P(ZelctlFpFault, EndsAsTheCommandLinkSays) {
  const FaultCase& c = GetParam();
  const bool is_lan = c.wire == Wire::kUdp;
  std::vector<std::string> args = {is_lan ? "--udp" : "--pty"};
  if (is_lan) args.push_back("0");
  args.insert(args.end(), {"--paper", "/dev/null", "--seed", "5", "--slow-ms", "1500", "--fault", c.fault});
  ZelsimProcess zelsim(args);
  const std::string env = is_lan ? "SETUPZEL_REGISTER_PORT=" + zelsim.udp_port : "SETUPZEL_COM1=" + zelsim.pty;
  const Outcome r =
      test::RunZelctl(dir_.path(), std::string("fp send x/1/// ") + (is_lan ? "--lan 127.0.0.1" : "--com 1"), env);
  EXPECT_EQ(r.status, c.status) << r.err << r.out;
  if (!c.message.empty()) {
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, ZelctlFpFault,
                         ::testing::Values(FaultCase{"PaperEnd", Wire::kUdp, "paper-end=100", 1, "Τελος Χαρτιου!"},
                                           // A damaged reply says nothing of what the register did.
                                           FaultCase{"BadChecksumPty", Wire::kPty, "checksum=100", 3, ""},
                                           FaultCase{"BadChecksumUdp", Wire::kUdp, "checksum=100", 3, ""},
                                           FaultCase{"WrongSequence", Wire::kUdp, "seq=100", 3, ""},
                                           // A stalled reply is nudged after 3 s and then taken.
                                           FaultCase{"Stall", Wire::kPty, "stall=100", 0, ""},
                                           FaultCase{"SlowReply", Wire::kUdp, "slow=100", 0, ""}),
                         [](const ::testing::TestParamInfo<FaultCase>& p) { return p.param.name; });

}  // namespace
}  // namespace zel::e2e
