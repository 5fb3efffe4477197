// Whole transfers as the Start button runs them: connect, identify, the
// ticked kinds in order with their marks, the final message, and the ways a
// transfer ends early (Stop, hang-up, refused identification, no port).
#include <gtest/gtest.h>

#include "core/cp1253.h"
#include "link/serial_port.h"
#include "link/transfer.h"
#include "link_fixture.h"
#include "register_model.h"

namespace zel {
namespace {

namespace fs = std::filesystem;
using test::ByteVector;
using test::Fault;
using Mark = UserInterface::Mark;

constexpr int kPort = 6;

class RunTransferTest : public test::LinkFixture {
 protected:
  // The register behind COM6, a pseudo-terminal.
  void SetUp() override {
    reg_ = std::make_unique<test::FakeRegister>(model_.Handler());
    reg_->ServeStream(pty_.TakeMaster());
    selection_.port = kPort;
  }

  TransferOutcome Transfer(Direction direction, std::initializer_list<Kind> kinds, int timeouts = 0) {
    TransferRequest request;
    request.direction = direction;
    for (Kind k : kinds) request[k] = true;
    return Drive(
        [&] {
          return StartTransfer(session_, request, image_, ui_, selection_, report_path_, log_path_, {3, 4, 2024});
        },
        timeouts);
  }
  std::vector<std::pair<int, Mark>> Marks(std::initializer_list<std::pair<Kind, Mark>> marks) {
    std::vector<std::pair<int, Mark>> v;
    for (const auto& [k, m] : marks) {
      v.push_back({static_cast<int>(k), Mark::kRunning});
      v.push_back({static_cast<int>(k), m});
    }
    return v;
  }
  std::vector<int> Codes() {
    std::vector<int> v;
    for (const auto& s : reg_->Requests()) v.push_back(s.code);
    return v;
  }

  test::Pty pty_;
  test::PortEnvironment env_{{{kPort, pty_.path}}};
  test::RegisterModel model_;
  DataImage image_;
  LinkSelection selection_;
  std::string report_path_ = dir_ / "Αναφορες";
};

TEST_F(RunTransferTest, ReadsTheTickedKindsInOrderAndEndsWithTheSuccessMessage) {
  model_.vat = {0x60, 0x09, 0x14, 0x05, 0x00, 0x00, 0x00, 0x00};
  const TransferOutcome out = Transfer(Direction::kRead, {Kind::kCategories, Kind::kPayments, Kind::kVatRates});
  EXPECT_TRUE(out.connected);
  EXPECT_TRUE(out.identified);
  EXPECT_TRUE(out.success);
  EXPECT_FALSE(out.stopped);
  EXPECT_EQ(out.registration, "ABC12345678");
  EXPECT_EQ(ui_.status_text, std::string(kMsgPleaseWait));
  EXPECT_EQ(ui_.status_colour, 0xE0E0FF);
  EXPECT_EQ(ui_.marks,
            Marks({{Kind::kPayments, Mark::kDone}, {Kind::kVatRates, Mark::kDone}, {Kind::kCategories, Mark::kDone}}));
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(kMsgTransferDone));
  EXPECT_EQ(ui_.messages[0].icon, Icon::kInformation);
  EXPECT_EQ(ui_.progress.back(), 0);
  const auto seen = reg_->Requests();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0].code, 0x7D);
  EXPECT_EQ(seen[0].data, (ByteVector{0x00, 0x00, 0x0D}));
  EXPECT_EQ(Codes(), (std::vector<int>{0x7D, 0x6D, 0x6B, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71,
                                       0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71,
                                       0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71, 0x71}));
  EXPECT_EQ(image_.vat_rate(1), 1300);
  EXPECT_FALSE(session_.transport) << "the link is closed at the end";
}

TEST_F(RunTransferTest, RefusedKindIsMarkedFailedTheRestRunsAndTheEndSaysSo) {
  model_.refuse = {0x6C};
  const TransferOutcome out = Transfer(Direction::kWrite, {Kind::kPayments, Kind::kVatRates, Kind::kOperators});
  EXPECT_FALSE(out.success);
  EXPECT_EQ(ui_.marks,
            Marks({{Kind::kPayments, Mark::kDone}, {Kind::kVatRates, Mark::kFailed}, {Kind::kOperators, Mark::kDone}}));
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[0].text, std::string(kMsgRefused));
  EXPECT_EQ(ui_.messages[1].text, std::string(kMsgTransferIncomplete) + "\nΑπέτυχαν: Κατηγορίες ΦΠΑ");
  EXPECT_EQ(ui_.messages[1].icon, Icon::kError);
  for (const auto& m : ui_.messages) EXPECT_NE(m.text, std::string(kMsgTransferDone));
}

TEST_F(RunTransferTest, StopEndsTheTransferAndLeavesLaterKindsAlone) {
  // Payments answer; the VAT rates request is never answered.
  reg_->AddFaults({Fault::kNone, Fault::kNone, Fault::kSilent});
  TransferRequest request;
  request[Kind::kPayments] = request[Kind::kVatRates] = request[Kind::kCustomers] = true;
  auto done = std::async(std::launch::async,
                         [&] { return RunTransfer(session_, request, image_, ui_, selection_, report_path_); });
  ASSERT_TRUE(reg_->WaitForRequests(3));
  ASSERT_TRUE(clock_.WaitForSleeper());
  session_.abort.Set();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const TransferOutcome out = done.get();
  EXPECT_TRUE(out.stopped);
  EXPECT_FALSE(out.success);
  EXPECT_EQ(ui_.marks, Marks({{Kind::kPayments, Mark::kDone}, {Kind::kVatRates, Mark::kFailed}}));
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgCommunication)});
  EXPECT_EQ(reg_->Requests().size(), 3u);
}

TEST_F(RunTransferTest, StopPressedWhileTheLinkOpensEndsTheTransferBeforeAnythingIsSent) {
  // The flag is set before the port opens, as a Stop pressed during the open
  // would be: the transfer must not clear it and carry on.
  session_.abort.Set();
  const TransferOutcome out = Transfer(Direction::kWrite, {Kind::kItems, Kind::kDepartments});
  EXPECT_TRUE(out.stopped);
  EXPECT_FALSE(out.success);
  EXPECT_FALSE(out.identified);
  EXPECT_TRUE(ui_.marks.empty());
  EXPECT_TRUE(ui_.messages.empty());
  EXPECT_TRUE(reg_->Requests().empty());
  EXPECT_FALSE(session_.is_open());
}

TEST_F(RunTransferTest, HangUpMidTransferIsAClearFailureNotAFreeze) {
  reg_->AddFaults({Fault::kNone, Fault::kNone, Fault::kNone, Fault::kHangUp});
  // The clock never moves: only the hang-up can end the waits.
  const TransferOutcome out = Transfer(Direction::kRead, {Kind::kCategories, Kind::kCustomers});
  EXPECT_FALSE(out.success);
  EXPECT_EQ(ui_.marks, Marks({{Kind::kCategories, Mark::kFailed}}));
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{std::string(kMsgNotExecuted) + "\n" + std::string(kMsgLinkLost),
                                      std::string(kMsgCommunication)}));
}

TEST_F(RunTransferTest, FailedIdentificationSendsNothingElse) {
  model_.refuse = {0x7D};
  const TransferOutcome out = Transfer(Direction::kWrite, {Kind::kItems});
  EXPECT_TRUE(out.connected);
  EXPECT_FALSE(out.identified);
  EXPECT_TRUE(ui_.marks.empty());
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{std::string(kMsgRefused), std::string(kMsgCommunication)}));
  EXPECT_EQ(Codes(), std::vector<int>{0x7D});
}

TEST_F(RunTransferTest, PortThatCannotOpenEndsBeforeAnything) {
  selection_.port = 2;  // mapped to a path that does not exist
  const TransferOutcome out = Transfer(Direction::kRead, {Kind::kItems});
  EXPECT_FALSE(out.connected);
  EXPECT_TRUE(ui_.marks.empty());
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text.substr(0, kMsgComNotOpened.size()), kMsgComNotOpened);
  EXPECT_EQ(ui_.progress, std::vector<int>{0});
}

TEST_F(RunTransferTest, NothingTickedAsksForAChoiceAndTouchesNothing) {
  TransferRequest request;
  request.sales_report = request.clear_sales = true;  // options are not kinds
  const TransferOutcome out = StartTransfer(session_, request, image_, ui_, selection_, report_path_, log_path_);
  EXPECT_FALSE(out.connected);
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_EQ(ui_.messages[0].text, std::string(kMsgSelectData));
  EXPECT_EQ(ui_.messages[0].icon, Icon::kNone);
  EXPECT_FALSE(fs::exists(log_path_));
  EXPECT_TRUE(reg_->Requests().empty());
}

TEST_F(RunTransferTest, TheLogFileIsCreatedAnewForEachTransfer) {
  std::ofstream(log_path_) << "old lines\n";
  reg_->AddFaults({Fault::kNone, Fault::kBadChecksum});
  const TransferOutcome out = Transfer(Direction::kWrite, {Kind::kVatRates});
  EXPECT_TRUE(out.success);
  EXPECT_EQ(test::Slurp(log_path_), "    1 COM:WRONG CHECKSUM\n");
}

TEST_F(RunTransferTest, FiscalMemoryIsNeverWrittenAndIsReadIntoTheReportFolder) {
  const TransferOutcome written = Transfer(Direction::kWrite, {Kind::kFiscalMemory, Kind::kTaxCode});
  EXPECT_TRUE(written.success);
  EXPECT_EQ(Codes(), (std::vector<int>{0x7D, 0x6A}));

  ui_.messages.clear();
  const TransferOutcome read = Transfer(Direction::kRead, {Kind::kFiscalMemory});
  EXPECT_TRUE(read.success);
  EXPECT_EQ(read.files, (std::vector<std::string>{dir_ / "FM_ABC12345678.BIN", dir_ / "FM_ABC12345678.TXT"}));
  EXPECT_EQ(fs::file_size(dir_ / "FM_ABC12345678.BIN"), 524288u);
}

TEST_F(RunTransferTest, RegistrationNumberIsMadeSafeBeforeItNamesAFile) {
  model_.SetRegistration("../", {0x12, 0x34, 0x56, 0x78});
  const TransferOutcome out = Transfer(Direction::kRead, {Kind::kFiscalMemory});
  EXPECT_TRUE(out.success);
  EXPECT_EQ(out.registration, "../12345678");
  EXPECT_EQ(out.files, (std::vector<std::string>{dir_ / "FM____12345678.BIN", dir_ / "FM____12345678.TXT"}));
  EXPECT_TRUE(fs::exists(dir_ / "FM____12345678.BIN"));
}

TEST_F(RunTransferTest, ReportFileThatCannotBeWrittenFailsItsKindOnly) {
  report_path_ = dir_ / "missing/Αναφορες";
  const TransferOutcome out = Transfer(Direction::kRead, {Kind::kFiscalMemory, Kind::kTaxCode});
  EXPECT_FALSE(out.success);
  EXPECT_EQ(ui_.marks, Marks({{Kind::kFiscalMemory, Mark::kFailed}, {Kind::kTaxCode, Mark::kDone}}));
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{std::string(kMsgReportFile) + "\n" + (dir_ / "missing/FM_ABC12345678.BIN") +
                                          "\nFM_ABC12345678.BIN: δεν υπάρχει τέτοιο αρχείο",
                                      std::string(kMsgTransferIncomplete) + "\nΑπέτυχαν: Φορολογ.μνήμη"}));
}

TEST_F(RunTransferTest, ConnectionCheckAsksOnceAndSaysSo) {
  EXPECT_TRUE(Drive([&] { return CheckConnection(session_, selection_, ui_, log_path_); }));
  const auto seen = reg_->Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].code, 0x79);
  EXPECT_TRUE(seen[0].data.empty());
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgTransferDone)});
  EXPECT_TRUE(fs::exists(log_path_));
  EXPECT_FALSE(session_.transport);

  ui_.messages.clear();
  reg_->AddFaults({Fault::kSilent, Fault::kSilent, Fault::kSilent});
  EXPECT_FALSE(Drive([&] { return CheckConnection(session_, selection_, ui_, log_path_); }, 3));
  // The second line names the port as the list shows it and what to check.
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgNotExecuted) + "\n" + PortLabel(kPort) +
                                                         ": καμία απάντηση — ελέγξτε καλώδιο και ταχύτητα"});
  EXPECT_EQ(PortLabel(kPort).rfind("COM6 (", 0), 0u);
  EXPECT_EQ(test::Slurp(log_path_), "    1 COM:NO REPLY\n    2 COM:NO REPLY\n    3 COM:NO REPLY\n");
}

// A full disk under the log loses its lines: said once, with the cause,
// however many lines were lost (/dev/full stands for the full disk).
TEST_F(RunTransferTest, FullDiskUnderTheLogIsSaidOnce) {
  reg_->AddFaults({Fault::kSilent, Fault::kSilent, Fault::kSilent});
  EXPECT_FALSE(Drive([&] { return CheckConnection(session_, selection_, ui_, "/dev/full"); }, 3));
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_EQ(ui_.messages[1].text, std::string(kMsgLogIncomplete) + "\nfull: δεν υπάρχει χώρος στο δίσκο");
  EXPECT_EQ(ui_.messages[1].icon, Icon::kExclamation);

  ui_.messages.clear();
  const TransferOutcome out = [&] {
    TransferRequest request;
    request[Kind::kPayments] = true;
    return Drive([&] { return StartTransfer(session_, request, image_, ui_, selection_, report_path_, "/dev/full"); });
  }();
  EXPECT_TRUE(out.success);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgTransferDone)})
      << "a log with nothing to say has lost nothing";
}

// Over the LAN a kind can end with 13 (no valid answer); the transfer goes on.
class LanTransferTest : public test::LinkFixture {};

TEST_F(LanTransferTest, LanFailureMarksTheKindAndTheTransferGoesOn) {
  test::RegisterModel model;
  reg_ = std::make_unique<test::FakeRegister>(model.Handler());
  ::setenv("SETUPZEL_REGISTER_PORT", std::to_string(reg_->ServeUdp()).c_str(), 1);
  reg_->AddFaults({Fault::kNone, Fault::kBadChecksum, Fault::kBadChecksum, Fault::kBadChecksum});
  LinkSelection lan;
  lan.ip = {127, 0, 0, 1};
  TransferRequest request;
  request[Kind::kPayments] = request[Kind::kTaxCode] = true;
  DataImage image;
  const TransferOutcome out =
      Drive([&] { return RunTransfer(session_, request, image, ui_, lan, ""); }, 1 /* the settle time */);
  ::unsetenv("SETUPZEL_REGISTER_PORT");
  EXPECT_FALSE(out.success);
  EXPECT_EQ(ui_.marks, (std::vector<std::pair<int, Mark>>{
                           {3, Mark::kRunning}, {3, Mark::kFailed}, {10, Mark::kRunning}, {10, Mark::kDone}}));
  EXPECT_EQ(ui_.MessageTexts(), (std::vector<std::string>{
                                    std::string(kMsgCommunication) +
                                        "\nLAN 127.0.0.1: αλλοιωμένη απάντηση — ελέγξτε τη διεύθυνση IP και το δίκτυο",
                                    std::string(kMsgTransferIncomplete) + "\nΑπέτυχαν: Πληρωμές"}));
}

}  // namespace
}  // namespace zel
