// The register's fiscal-printer mode seen from the program's end, over UDP
// and over the pseudo-terminal with the test's own framing: the replies to
// a table of commands, a whole receipt and what it prints, the Z counter,
// the status bits, damaged frames, both protocols on one line, and each
// fault of the mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "sim/simulator.h"
#include "tests/sim/printer_client.h"

namespace zel::sim {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::PrinterPty;
using test::PrinterUdp;
using test::W;

enum class Via { kUdp, kPty };

// One simulator and one client over the chosen link.
class Register {
 public:
  explicit Register(Via via, const SimulatorOptions& options = {}) : sim(options) {
    if (via == Via::kUdp) {
      EXPECT_TRUE(sim.StartUdp(0));
      udp = std::make_unique<PrinterUdp>(sim.udp_port());
    } else {
      EXPECT_TRUE(sim.StartPty());
      pty = std::make_unique<PrinterPty>(sim.pty_path());
      EXPECT_TRUE(pty->ok());
    }
  }
  // The reply text in UTF-8 to a command given in UTF-8.
  std::string Ask(const std::string& utf8) { return cp1253::ToUtf8(udp ? udp->Ask(W(utf8)) : pty->Ask(W(utf8))); }
  Simulator sim;
  std::unique_ptr<PrinterUdp> udp;
  std::unique_ptr<PrinterPty> pty;
};

class FiscalPrinter : public ::testing::TestWithParam<Via> {};

INSTANTIATE_TEST_SUITE_P(Links, FiscalPrinter, ::testing::Values(Via::kUdp, Via::kPty),
                         [](const auto& param_info) { return param_info.param == Via::kUdp ? "Udp" : "Pty"; });

const char* const kMilk = "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/";

TEST_P(FiscalPrinter, AnswersATableOfCommandsInTurn) {
  // Each reply: status, receipt number, status number (1 day has sales, 2
  // subtotal taken, 4 receipt open, 8 payment begun), then the subtotal's
  // lines (every line: sales, voids, discounts, surcharges, tickets), total,
  // paid, three empty fields and the amount due.
  struct Step {
    const char* command;
    const char* reply;
  };
  const Step steps[] = {
      {"?/", "00/0000/00/"},
      {"9/", "00/0000/00/000/0,00/0,00////0,00/"},        // nothing rung up yet: nothing due
      {"5/1/1,00/ΜΕΤΡΗΤΑ     ///", "02/0000/00/"},        // no receipt to pay
      {"+/", "02/0000/00/"},                              // nothing to void
      {"3/V/ΨΩΜΙ//1,000/0,80/01/ 6,00/", "02/0000/00/"},  // a line void opens no receipt
      {kMilk, "00/0001/05/"},
      {"3/S/ΨΩΜΙ/ΦΡΕΣΚΟ/2,500/  0,80/1/ 6,00/", "00/0001/05/"},  // item form of the department
      {"4/10,00/10,00% ΕΚΠΤΩΣΗ   %//0/0/0/", "00/0001/05/"},     // 10 % of 2,00 off the last line
      {"4/1,00/ΠΟΣΟ ΕΚΠΤΩΣΗΣ     //0/0/1/", "02/0001/05/"},      // that line has its discount
      {"9/", "00/0001/07/003/3,30/0,00////3,30/"},
      {"x/1///", "02/0001/07/"},  // reports wait for the end of the receipt
      {"x/7/1/1/", "02/0001/07/"},
      {"x/0/7/", "02/0001/07/"},
      {"6/1/", "02/0001/07/"},
      {"4/50,00/ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗΣ  //1/1/1/", "00/0001/07/"},  // surcharge on the subtotal
      {"4/50,00/ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗΣ  //5/1/1/", "00/0001/07/"},  // and taken back
      {"4/5,00/ΠΟΣΟ ΕΚΠΤΩΣΗΣ     //0/1/1/", "03/0001/07/"},   // more than the subtotal
      {"3/S/ΤΥΡΙ//0,000/5,00/02/13,00/", "03/0001/07/"},      // no quantity
      {"3/S/ΤΥΡΙ//1,000/0,00/02/13,00/", "03/0001/07/"},      // no price
      {"3/S/ΤΥΡΙ//1,000/5,00/25/13,00/", "01/0001/07/"},      // no department 25
      {"3/X/ΤΥΡΙ//1,000/5,00/02/13,00/", "01/0001/07/"},
      {"3/S/ΤΥΡΙ//1,000/5,00/02/", "01/0001/07/"},
      {"3/V/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//2,000/1,50/03/13,00/", "02/0001/07/"},  // only one was sold
      {"3/V/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/", "00/0001/07/"},
      {"m/2,00/ΕΙΣΙΤΗΡΙΑ/", "00/0001/07/"},
      {"j/ΓΡΑΜΜΗ 1/ΓΡΑΜΜΗ 2//", "00/0001/07/"},
      {"2/ΠΕΛΑΤΗΣ Α.Ε./", "00/0001/07/"},
      {"w/1/6/", "00/0001/07/"},
      {"q/", "00/0001/07/"},
      {"9/", "00/0001/07/007/3,80/0,00////3,80/"},
      {"5/2/9,00/ΚΑΡΤΑ       ///", "03/0001/07/"},  // a card pays no more than is due
      {"5/4/1,00/ΑΛΛΟ        ///", "01/0001/07/"},
      {"5/1/1,00/ΜΕΤΡΗΤΑ     ///", "00/0001/15/"},
      {kMilk, "02/0001/15/"},  // no lines once the payment began
      {"9/", "00/0001/15/007/3,80/1,00////2,80/"},
      {"5/2/0,00/ΚΑΡΤΑ       ///", "00/0001/01/"},  // 0 pays what is due and closes
      {"9/", "00/0001/01/007/3,80/3,80////0,00/"},  // between receipts: the last one
      {"?/", "00/0001/01/"},
      {"J/ΜΕΤΑ/", "02/0001/01/"},
      {"x/0/5/0015/0012/", "03/0001/01/"},
      {"x/0/1/300224/000000/050324/235959/", "01/0001/01/"},  // no 30 February
      {"x/0/8/", "01/0001/01/"},
      {"x/6/1/26/", "03/0001/01/"},
      {"x/1///", "00/0001/01/"},
      {"x/3///", "00/0001/01/"},
      {"x/6/1/25/", "00/0001/01/"},
      {"x/9///", "00/0001/01/"},
      {"x/10/", "00/0001/01/"},
      {"x/11/", "00/0001/01/"},
      {"x/0/5/0012/0015/", "00/0001/01/"},
      {"x/0/1/030324/000000/050324/235959/", "00/0001/01/"},
      {"x/0/7/", "00/0001/01/"},
      {"x/7/1/1/", "00/0000/00/"},  // the Z clears the day
      {"x/7/0/0/", "00/0000/00/"},
      {"6/2/", "00/0000/05/"},  // a cash deposit is open until its payment
      {"x/1///", "02/0000/05/"},
      {"5/1/0,00/ΜΕΤΡΗΤΑ     ///", "03/0000/05/"},
      {"5/1/20,00/ΜΕΤΡΗΤΑ     ///", "00/0000/01/"},
      {"m/2,00/ΕΙΣΙΤΗΡΙΑ/", "00/0001/05/"},
      {"+/", "00/0001/01/"},
      {"9/", "00/0001/01/001/0,00/0,00////0,00/"},
      {"ZZ/", "01/0001/01/"},
      {"?", "01/0001/01/"},
  };
  Register r(GetParam());
  for (const Step& s : steps) EXPECT_EQ(r.Ask(s.command), s.reply) << s.command;
}

TEST_P(FiscalPrinter, AWholeReceiptIsPrintedAndCountedInTheDay) {
  Register r(GetParam());
  // The sink runs on the register's link thread.
  std::mutex sunk_mutex;
  std::vector<std::string> sunk;
  r.sim.SetPaperSink([&](const std::string& line) {
    const std::lock_guard lock(sunk_mutex);
    sunk.push_back(line);
  });
  const auto sunk_so_far = [&] {
    const std::lock_guard lock(sunk_mutex);
    return sunk;
  };
  const int z = r.sim.NextZ();

  EXPECT_EQ(r.Ask(kMilk), "00/0001/05/");
  EXPECT_TRUE(r.sim.ReceiptOpen());
  EXPECT_EQ(r.Ask("3/S/ΨΩΜΙ//2,000/0,80/01/ 6,00/"), "00/0001/05/");
  EXPECT_EQ(r.Ask("4/0,10/ΠΟΣΟ ΕΚΠΤΩΣΗΣ     //0/0/1/"), "00/0001/05/");
  EXPECT_EQ(r.Ask("4/10,00/10,00% ΕΚΠΤΩΣΗ   %//0/1/0/"), "00/0001/05/");  // 10 % of 3,00
  EXPECT_EQ(r.Ask("9/"), "00/0001/07/004/2,70/0,00////2,70/");
  EXPECT_EQ(r.Ask("5/1/5,00/ΜΕΤΡΗΤΑ     ///"), "00/0001/01/");
  EXPECT_EQ(r.Ask("9/"), "00/0001/01/004/2,70/5,00////0,00/");
  EXPECT_FALSE(r.sim.ReceiptOpen());

  const PrinterState p = r.sim.Printer();
  EXPECT_EQ(p.day.receipts, 1);
  EXPECT_EQ(p.day.sales, 270);
  EXPECT_EQ(p.day.payments[0], 270);  // 5,00 less 2,30 change
  EXPECT_EQ(p.day.discounts, 40);
  EXPECT_EQ(p.day.by_rate.at("13,00"), 150);
  EXPECT_EQ(p.day.by_rate.at("6,00"), 150);  // 1,60 less its own 0,10 discount
  EXPECT_EQ(p.commands.size(), 7u);
  EXPECT_EQ(p.commands.front(), W(kMilk));

  const std::vector<std::string> paper = r.sim.Paper();
  EXPECT_EQ(sunk_so_far(), paper);
  const auto printed = [&](const std::string& left, const std::string& right) {
    return std::any_of(paper.begin(), paper.end(),
                       [&](const std::string& l) { return l.starts_with(left) && l.ends_with(right); });
  };
  EXPECT_TRUE(printed("ΓΑΛΑΚΤΟΚΟΜΙΚΑ", "1,50 13,00%"));
  EXPECT_TRUE(printed("  2,000 X 0,80", "0,80"));
  EXPECT_TRUE(printed("ΨΩΜΙ", "1,60 6,00%"));
  EXPECT_TRUE(printed("ΥΠΟΣΥΝΟΛΟ", "2,70"));
  EXPECT_TRUE(printed("ΣΥΝΟΛΟ", "2,70"));
  EXPECT_TRUE(printed("ΡΕΣΤΑ", "2,30"));

  // The Z prints the day, counts on and starts a new day.
  EXPECT_EQ(r.Ask("x/7/1/1/"), "00/0000/00/");
  const PrinterState after = r.sim.Printer();
  EXPECT_EQ(after.next_z, z + 1);
  ASSERT_EQ(after.z_reports.size(), 1u);
  EXPECT_EQ(after.z_reports[0].number, z);
  EXPECT_EQ(after.z_reports[0].totals.sales, 270);
  EXPECT_TRUE(after.day.Empty());
  EXPECT_EQ(after.day.sales, 0);
  const std::string z_line = "Z" + std::string(27, ' ') + (z < 10 ? "000" : z < 100 ? "00" : "0") + std::to_string(z);
  const std::vector<std::string> all = sunk_so_far();
  EXPECT_NE(std::find(all.begin(), all.end(), z_line), all.end());
  // The last three Z of the fiscal-memory report end with this one.
  EXPECT_EQ(r.Ask("x/0/7/"), "00/0000/00/");
  EXPECT_TRUE(r.sim.Paper().size() > paper.size());
}

TEST_P(FiscalPrinter, ADamagedFrameIsAnswered04AndNotCarriedOut) {
  Register r(GetParam());
  const std::string text = W(kMilk);
  std::string reply;
  if (r.udp) {
    Bytes d = test::LanCommand(7, text);
    d[8] ^= 1;  // payload check
    const auto raw = r.udp->udp().Ask(d);
    ASSERT_TRUE(raw.has_value());
    const test::LanReply lan = test::ParseLanReply(*raw);
    EXPECT_TRUE(lan.ok);
    EXPECT_EQ(lan.seq, 7);
    reply = lan.text;
  } else {
    ASSERT_TRUE(r.pty->Enquire());
    Bytes f = test::SerialCommand(text);
    f[f.size() - 2] = f[f.size() - 2] == '9' ? '0' : static_cast<std::uint8_t>(f[f.size() - 2] + 1);
    r.pty->pty().Send(f);
    const test::SerialReply serial = test::ParseSerialReply(r.pty->UntilEtx(5s));
    EXPECT_TRUE(serial.ok);
    reply = serial.text;
  }
  EXPECT_EQ(reply, "04/0000/00/");
  EXPECT_FALSE(r.sim.ReceiptOpen());
  EXPECT_TRUE(r.sim.Printer().commands.empty());
}

TEST(FiscalPrinterSerial, FramesAreFoundAmongNoiseAndBesideProgrammingFrames) {
  Register r(Via::kPty);
  test::PtyClient& line = r.pty->pty();
  // A programming connection check, then the printer mode, then the
  // programming protocol again, on the same line.
  EXPECT_EQ(line.Ask(test::Frame(1, 0x79)), test::Frame(1, 0x79));
  // Noise, and a STX whose frame is cut short by a control byte, before the ENQ.
  line.Send({0x41, 0x02, 'x', 0x10, 0x7E});
  EXPECT_TRUE(r.pty->Enquire());
  const test::SerialReply reply = test::ParseSerialReply(r.pty->Frame(W("?/")));
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.text, "00/0000/00/");
  EXPECT_EQ(line.Ask(test::Frame(2, 0x79)), test::Frame(2, 0x79));
  // A frame cut in pieces is taken whole.
  ASSERT_TRUE(r.pty->Enquire());
  const Bytes f = test::SerialCommand(W(kMilk));
  line.Send(Bytes(f.begin(), f.begin() + 10));
  std::this_thread::sleep_for(20ms);
  line.Send(Bytes(f.begin() + 10, f.end()));
  EXPECT_EQ(test::ParseSerialReply(r.pty->UntilEtx(5s)).text, "00/0001/05/");
  const Counters c = r.sim.counters();
  EXPECT_EQ(c.printer, 4u);  // two enquiries, two commands
  EXPECT_EQ(c.requests[0x79], 2u);
}

TEST(FiscalPrinterSerial, ASerialReplyTextIsLongEnoughForTheProgramsChecks) {
  // The program takes a serial reply only from 11 bytes on (ACK, STX, text,
  // digits, ETX): every reply text has at least 6 bytes, even a refusal.
  Register r(Via::kPty);
  for (const char* command : {"?/", "q/", "bad", "+/"}) {
    ASSERT_TRUE(r.pty->Enquire());
    EXPECT_GE(r.pty->Frame(W(command)).size(), 11u) << command;
  }
}

// ---- Faults -------------------------------------------------------------------

SimulatorOptions Always(int FaultRates::*rate) {
  SimulatorOptions options;
  options.faults.rates.*rate = 100;
  options.faults.seed = 9;
  options.faults.slow_ms = 400;
  return options;
}

TEST(FiscalPrinterFaults, NoAckLeavesTheEnquiryUnansweredOnly) {
  Register r(Via::kPty, Always(&FaultRates::no_ack));
  EXPECT_FALSE(r.pty->Enquire(300ms));
  // A command frame sent anyway is carried out and answered.
  EXPECT_EQ(test::ParseSerialReply(r.pty->Frame(W(kMilk))).text, "00/0001/05/");
  EXPECT_EQ(r.sim.counters().faults[static_cast<std::size_t>(Fault::kNoAck)], 1u);
  // Over UDP there is no enquiry: nothing changes.
  Register lan(Via::kUdp, Always(&FaultRates::no_ack));
  EXPECT_EQ(lan.Ask("?/"), "00/0000/00/");
  EXPECT_EQ(lan.sim.counters().faults[static_cast<std::size_t>(Fault::kNoAck)], 0u);
}

TEST(FiscalPrinterFaults, ALostReplyFollowsACommandThatWasCarriedOut) {
  for (Via via : {Via::kUdp, Via::kPty}) {
    SimulatorOptions options = Always(&FaultRates::lost);
    Register r(via, options);
    if (via == Via::kUdp) {
      EXPECT_FALSE(r.udp->Raw(W(kMilk), 300ms).has_value());
    } else {
      ASSERT_TRUE(r.pty->Enquire()) << "an enquiry's ACK is never lost";
      EXPECT_TRUE(r.pty->Frame(W(kMilk), 300ms).empty());
    }
    EXPECT_TRUE(r.sim.ReceiptOpen());
  }
}

TEST(FiscalPrinterFaults, ABadCheckSpoilsOnlyTheCheck) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    SimulatorOptions options = Always(&FaultRates::checksum);
    options.faults.seed = seed;
    Register serial(Via::kPty, options);
    ASSERT_TRUE(serial.pty->Enquire());
    const test::SerialReply s = test::ParseSerialReply(serial.pty->Frame(W("?/")));
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.text, "00/0000/00/");

    Register lan(Via::kUdp, options);
    const auto d = lan.udp->Raw(W("?/"));
    ASSERT_TRUE(d.has_value());
    const test::LanReply l = test::ParseLanReply(*d);
    EXPECT_FALSE(l.ok);
    EXPECT_EQ(l.text, "00/0000/00/");
    EXPECT_EQ(l.seq, lan.udp->seq());
  }
}

TEST(FiscalPrinterFaults, PaperEndAnswers92AndCarriesNothingOut) {
  for (Via via : {Via::kUdp, Via::kPty}) {
    Register r(via, Always(&FaultRates::paper_end));
    EXPECT_EQ(r.Ask(kMilk), "92/0000/00/");
    EXPECT_FALSE(r.sim.ReceiptOpen());
    EXPECT_EQ(r.sim.Printer().commands.size(), 1u);  // received, not carried out
  }
}

TEST(FiscalPrinterFaults, AStalledReplyEndsAfterTheNudge) {
  Register r(Via::kPty, Always(&FaultRates::stall));
  ASSERT_TRUE(r.pty->Enquire());
  const Bytes head = r.pty->Frame(W(kMilk), 500ms);
  // Everything but the ETX: ACK, STX, text, digits.
  ASSERT_EQ(head.size(), 2u + 11u + 2u);
  EXPECT_EQ(head[0], 0x06);
  EXPECT_EQ(head[1], 0x02);
  EXPECT_TRUE(r.pty->Read(1, 300ms).empty()) << "it waits for the nudge";
  r.pty->pty().Send({0x00});
  EXPECT_EQ(r.pty->Read(2, 2s), (Bytes{0x03, 0x06}));  // the ETX, then the nudge's ACK
  const test::SerialReply whole = test::ParseSerialReply(test::Cat(head, {0x03}));
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(whole.text, "00/0001/05/");
  // A 0x00 with nothing stalled is noise.
  r.pty->pty().Send({0x00});
  EXPECT_TRUE(r.pty->Read(1, 200ms).empty());
  // Over UDP a datagram does not stall.
  Register lan(Via::kUdp, Always(&FaultRates::stall));
  EXPECT_EQ(lan.Ask("?/"), "00/0000/00/");
}

TEST(FiscalPrinterFaults, TheLanReplyCarriesTheNextSequenceNumber) {
  Register r(Via::kUdp, Always(&FaultRates::seq));
  const auto d = r.udp->Raw(W(kMilk));
  ASSERT_TRUE(d.has_value());
  const test::LanReply l = test::ParseLanReply(*d);
  EXPECT_TRUE(l.ok);
  EXPECT_EQ(l.seq, r.udp->seq() + 1);
  EXPECT_TRUE(r.sim.ReceiptOpen());
  // The serial link has no sequence number: nothing changes there.
  Register serial(Via::kPty, Always(&FaultRates::seq));
  EXPECT_EQ(serial.Ask("?/"), "00/0000/00/");
}

TEST(FiscalPrinterFaults, ASlowReplyComesAfterTheSlowDelay) {
  for (Via via : {Via::kUdp, Via::kPty}) {
    Register r(via, Always(&FaultRates::slow));
    if (r.pty) {
      ASSERT_TRUE(r.pty->Enquire()) << "the ACK is not slowed";
    }
    const auto sent = std::chrono::steady_clock::now();
    const std::string text = r.udp ? test::ParseLanReply(r.udp->Raw(W("?/")).value_or(Bytes{})).text
                                   : test::ParseSerialReply(r.pty->Frame(W("?/"))).text;
    EXPECT_EQ(text, "00/0000/00/");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
  }
}

TEST(FiscalPrinterFaults, PrinterFaultsLeaveProgrammingRequestsAlone) {
  for (int FaultRates::*rate : {&FaultRates::no_ack, &FaultRates::paper_end, &FaultRates::stall}) {
    Register r(Via::kPty, Always(rate));
    EXPECT_EQ(r.pty->pty().Ask(test::Frame(3, 0x79)), test::Frame(3, 0x79));
    const Counters c = r.sim.counters();
    EXPECT_EQ(std::count(c.faults.begin(), c.faults.end(), 0u), kFaultKinds);
  }
}

TEST(FiscalPrinterFaults, TheFaultListNamesTheNewFaults) {
  FaultOptions o;
  EXPECT_EQ(ParseFaultList("no-ack=5,paper-end=6,stall=7", o), "");
  EXPECT_EQ(o.rates.no_ack, 5);
  EXPECT_EQ(o.rates.paper_end, 6);
  EXPECT_EQ(o.rates.stall, 7);
  EXPECT_NE(ParseFaultList("stall=50,paper-end=51", o), "");
  EXPECT_EQ(FaultName(Fault::kStall), "stall");
}

}  // namespace
}  // namespace zel::sim
