// The sales and report keys: the command text each key sends, the line it
// adds to the receipt, the refusals, and how a receipt starts and ends —
// against a scripted register on a pseudo-terminal.
#include "console/sales_console.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "core/cp1253.h"
#include "link/link_fixture.h"
#include "printer_peer.h"
#include "support/scripted_ui.h"

namespace zel {
namespace {

using test::PeerFault;

constexpr int kPort = 7;

std::string Utf8(std::string_view bytes) { return cp1253::ToUtf8(bytes); }
std::string Line(const DisplayLine& d) { return Utf8({reinterpret_cast<const char*>(d.data()), d.size()}); }
// The last line of the receipt list, or "(empty)".
std::string LastLine(const SalesConsole& c) {
  return c.receipt_list().empty() ? "(empty)" : Line(c.receipt_list().back());
}

void SetName(std::span<std::uint8_t> field, std::string_view utf8) {
  const std::string b = cp1253::Encode(utf8);
  std::fill(field.begin(), field.end(), ' ');
  std::memcpy(field.data(), b.data(), std::min(b.size(), field.size()));
}

// A value the test sets and the register's thread reads (the order goes
// through the line, which a thread checker cannot see).
template <class T>
class Shared {
 public:
  explicit Shared(T v = {}) : value_(std::move(v)) {}
  Shared& operator=(T v) {
    const std::lock_guard lock(mutex_);
    value_ = std::move(v);
    return *this;
  }
  T get() const {
    const std::lock_guard lock(mutex_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  T value_;
};

class SalesConsoleTest : public ::testing::Test {
 public:  // the case tables reach into the fixture
  void SetUp() override {
    peer_.ServeSerial(pty_.TakeMaster());
    link_.selection.port = kPort;
    for (int i = 0; i < 4; ++i)
      image_.set_vat_rate(i,
                          static_cast<std::uint16_t>(std::array{600, 1300, 2400, 3600}[static_cast<std::size_t>(i)]));
    Department d3 = image_.department(2);
    SetName(d3.name(), "ΓΑΛΑΚΤΟΚΟΜΙΚΑ");
    d3.set_fixed_price(150);
    d3.set_vat(1);
    d3.set_price_decimals(2);
    console_.today = [] { return PickedDate{2024, 3, 4}; };
    console_.Show();
    ASSERT_TRUE(link_.is_open());
    // Opening asks the register for a receipt left open; the tests count
    // what the keys send after that.
    ASSERT_EQ(Sent(), std::vector<std::string>{"?/"});
    peer_.ForgetCommands();
  }

  // Answers every command with "00/0/0/"; the subtotal with the amount due
  // in the field after the ninth "/".
  std::string Answer(const std::string& c) {
    if (const auto refused = refuse_.get(); refused && c.starts_with(*refused)) return refusal_.get() + "/0/0/";
    if (const auto p = deaf_after_.get(); p && c.starts_with(*p)) peer_.ignore_enquiries = 5;
    if (c == "9/") return short_subtotal_.get() ? "00/1/2/" : "00/1/2/3/4/5/6/7/8/" + due_.get() + "/";
    if (c == "?/") return "00/0001/" + status_.get() + "/";
    return "00/0/0/";
  }
  std::vector<std::string> Sent() {
    std::vector<std::string> v;
    for (const auto& c : peer_.Commands()) v.push_back(Utf8(c));
    return v;
  }
  void Type(std::string_view entry) { console_.entry.value = *ParseEntry(entry); }

  Shared<std::string> due_{"0,00"};
  Shared<bool> short_subtotal_{false};
  Shared<std::string> status_{"00"};           // the status number of the "?/" reply
  Shared<std::optional<std::string>> refuse_;  // commands starting so are refused
  Shared<std::string> refusal_{"11"};          // with this status
  // After a command starting so, the next five enquiries go unanswered.
  Shared<std::optional<std::string>> deaf_after_;
  test::ScriptedUi ui_;
  DataImage image_;
  PrinterLink link_{ui_};
  SalesConsole console_{image_, ui_, link_};
  test::Pty pty_;
  test::PortEnvironment env_{{{kPort, pty_.path}}};
  test::PrinterPeer peer_{[this](const std::string& c) { return Answer(c); }};
};

TEST_F(SalesConsoleTest, DepartmentSaleSendsNamePriceDepartmentAndRate) {
  struct Case {
    std::string name;
    std::function<void(SalesConsoleTest&)> before;
    std::string text;
    std::string display;
  };
  const Case cases[] = {
      {"fixed price", [](SalesConsoleTest&) {}, "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/",
       "1,000     X      1,50  ΓΑΛΑΚΤΟΚΟΜΙ"},
      {"typed price", [](SalesConsoleTest& t) { t.Type("2,50"); }, "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/2,50/03/13,00/",
       "1,000     X      2,50  ΓΑΛΑΚΤΟΚΟΜΙ"},
      {"change mark", [](SalesConsoleTest& t) { t.console_.ClickChangeMark(true); },
       "3/R/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/", "1,000     X      1,50  ΑΛΛΑΓΗ "},
      {"void mark", [](SalesConsoleTest& t) { t.console_.ClickVoidMark(true); },
       "3/V/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/", "1,000     X      1,50  ΑΚΥΡΟΣΗ"},
      {"quantity and extra text",
       [](SalesConsoleTest& t) {
         t.Type("2,5");
         t.console_.Press(ConsoleKey::kQuantity);
         t.console_.entry.extra_lines = {cp1253::Encode("ΦΡΕΣΚΟ")};
       },
       "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ/ΦΡΕΣΚΟ/2,500/1,50/03/13,00/", "2,500     X      1,50  ΓΑΛΑΚΤΟΚΟΜΙ"},
  };
  // One sale first, so the marks (cleared on an empty receipt) can stay set.
  console_.Press(ConsoleKey::kDepartment, 3);
  for (const Case& c : cases) {
    c.before(*this);
    console_.Press(ConsoleKey::kDepartment, 3);
    EXPECT_EQ(Sent().back(), c.text) << c.name;
    EXPECT_EQ(LastLine(console_).substr(0, c.display.size()), c.display) << c.name;
    EXPECT_EQ(console_.entry.quantity, 1000) << c.name << ": the entry is reset";
    EXPECT_FALSE(console_.entry.change_mark);
  }
  EXPECT_EQ(console_.command_index(), 6);
  EXPECT_EQ(console_.receipt_list().size(), 6u);
  EXPECT_EQ(console_.selected_row(), 5);
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(SalesConsoleTest, MarksFollowTheirRules) {
  console_.ClickChangeMark(true);
  console_.ClickVoidMark(true);
  EXPECT_FALSE(console_.entry.change_mark) << "no mark on an empty receipt";
  EXPECT_FALSE(console_.entry.void_mark);
  console_.Press(ConsoleKey::kDepartment, 1);
  console_.ClickVoidMark(true);
  EXPECT_TRUE(console_.entry.void_mark);
  console_.ClickChangeMark(true);
  EXPECT_TRUE(console_.entry.change_mark);
  EXPECT_FALSE(console_.entry.void_mark) << "the change mark clears the void mark";
  console_.ClickVoidMark(true);
  EXPECT_FALSE(console_.entry.void_mark) << "no void mark beside the change mark";
}

TEST_F(SalesConsoleTest, EmptyDepartmentNameIsSentAsTwelveFfBytes) {
  Department d = image_.department(4);
  std::fill(d.name().begin(), d.name().end(), 0);
  console_.Press(ConsoleKey::kDepartment, 5);
  const std::string sent = peer_.Commands().back();
  EXPECT_EQ(sent.substr(0, 16), "3/S/" + std::string(12, '\xFF'));
  EXPECT_EQ(sent.substr(16, 2), "//");
}

TEST_F(SalesConsoleTest, ItemSaleTakesTheItemsPriceAndDepartmentDigit) {
  Item item = image_.item(41);
  SetName(item.name(), "ΣΟΚΟΛΑΤΑ ΥΓΕΙΑΣ");
  item.set_price(12345);
  item.set_price_decimals(3);
  item.set_department(9);  // department 10: ":"
  image_.department(9).set_vat(2);
  Type("42");
  console_.entry.extra_lines = {cp1253::Encode("ΠΡΟΣΦΟΡΑ ΤΗΣ ΗΜΕΡΑΣ")};
  console_.Press(ConsoleKey::kItem);
  EXPECT_EQ(Sent().back(), "3/S/ΣΟΚΟΛΑΤΑ ΥΓΕΙΑΣ/ΠΡΟΣΦΟΡΑ ΤΗΣ/1,000/123,45/:/24,00/");
  EXPECT_EQ(LastLine(console_), "1,000     X    123,45  ΣΟΚΟΛΑΤΑ ΥΓΕΙΑΣ    ");
}

TEST_F(SalesConsoleTest, KeysThatWouldReadOutsideATableAreRefused) {
  struct Case {
    std::string name;
    std::function<void(SalesConsoleTest&)> setup;
    ConsoleKey key;
    int department;
  };
  const Case cases[] = {
      {"item 0", [](SalesConsoleTest& t) { t.Type("0"); }, ConsoleKey::kItem, 0},
      {"item 16001", [](SalesConsoleTest& t) { t.Type("16001"); }, ConsoleKey::kItem, 0},
      {"empty item", [](SalesConsoleTest& t) { t.Type("900"); }, ConsoleKey::kItem, 0},
      {"item's department 25",
       [](SalesConsoleTest& t) {
         t.image_.item(0).set_department(24);
         t.Type("1");
       },
       ConsoleKey::kItem, 0},
      {"department VAT index 5", [](SalesConsoleTest& t) { t.image_.department(0).set_vat(5); },
       ConsoleKey::kDepartment, 1},
      {"customer 1001", [](SalesConsoleTest& t) { t.Type("1001"); }, ConsoleKey::kCustomer, 0},
      {"empty customer", [](SalesConsoleTest& t) { t.Type("5"); }, ConsoleKey::kCustomer, 0},
      {"customer lines 2",
       [](SalesConsoleTest& t) {
         t.console_.entry.extra_lines = {"A", "B"};
       },
       ConsoleKey::kCustomer, 0},
  };
  for (const Case& c : cases) {
    ui_.messages.clear();
    c.setup(*this);
    console_.Press(c.key, c.department);
    EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgWrongCommand)}) << c.name;
    console_.ResetEntry();
  }
  EXPECT_TRUE(peer_.Commands().empty());
}

TEST_F(SalesConsoleTest, TheNinetySeventhLineIsRefusedAndNoSlotPastTheLastIsWritten) {
  link_.store.index = 96;
  console_.Press(ConsoleKey::kDepartment, 1);
  console_.Press(ConsoleKey::kItem);
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{std::string(kMsgAmountOverflow), std::string(kMsgAmountOverflow)}));
  EXPECT_TRUE(peer_.Commands().empty());
  // The keys that advance whatever the reply stop at the last slot.
  ui_.messages.clear();
  link_.store.index = kSlotCount;
  console_.Press(ConsoleKey::kExtraDescription);
  console_.Press(ConsoleKey::kPayment);
  EXPECT_EQ(ui_.MessageTexts(),
            (std::vector<std::string>{std::string(kMsgAmountOverflow), std::string(kMsgAmountOverflow)}));
  EXPECT_TRUE(peer_.Commands().empty());
  EXPECT_EQ(console_.command_index(), kSlotCount);
}

TEST_F(SalesConsoleTest, DiscountsAndSurchargesOnTheLineAndTheSubtotal) {
  struct Case {
    ConsoleKey key;
    std::string entry;
    std::string text;
    std::string display;
  };
  const Case cases[] = {
      {ConsoleKey::kLineDiscountPercent, "10", "4/10,00/10,00% ΕΚΠΤΩΣΗ   %//0/0/0/",
       "10,00 %                ΕΚΠΤΩΣΗ   %     "},
      {ConsoleKey::kLineSurchargePercent, "5", "4/5,00/ 5,00% ΠΡΟΣΑΥΞΗΣΗ%//1/0/0/",
       "5,00 %                 ΠΡΟΣΑΥΞΗΣΗ%     "},
      {ConsoleKey::kLineDiscount, "0,5", "4/0,50/ΠΟΣΟ ΕΚΠΤΩΣΗΣ     //0/0/1/",
       "0,50                   ΠΟΣΟ ΕΚΠΤΩΣΗΣ   "},
      {ConsoleKey::kSubtotalSurcharge, "1", "4/1,00/ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗΣ  //1/1/1/",
       "1,00                   ΠΟΣΟ ΠΡΟΣΑΥΞΗΣΗ"},
  };
  console_.Press(ConsoleKey::kDepartment, 3);
  for (const Case& c : cases) {
    Type(c.entry);
    console_.Press(c.key);
    EXPECT_EQ(Sent().back(), c.text);
    EXPECT_EQ(LastLine(console_).substr(0, c.display.size()), c.display);
  }
  EXPECT_TRUE(console_.subtotal_adjusted());
  // After a subtotal adjustment the quantity can no longer change.
  console_.Press(ConsoleKey::kQuantity);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgWrongCommand)});
  // A void mark turns a discount into its correction.
  console_.Press(ConsoleKey::kDepartment, 3);
  console_.ClickVoidMark(true);
  Type("10");
  console_.Press(ConsoleKey::kLineDiscountPercent);
  EXPECT_EQ(Sent().back(), "4/10,00/10,00% ΕΚΠΤΩΣΗ   %//4/0/0/");
}

TEST_F(SalesConsoleTest, AdjustmentOnAnEmptyReceiptSendsItWithAPaymentAndEnds) {
  SetName(image_.payment(0).first(12), "ΜΕΤΡΗΤΑ");
  Type("3");
  console_.Press(ConsoleKey::kLineDiscount);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"6/1/", "5/1/3,00/ΜΕΤΡΗΤΑ     ///"}));
  EXPECT_EQ(LastLine(console_), "3,00         - - -     ΜΕΤΡΗΤΑ            ");
  EXPECT_EQ(console_.command_index(), 0);
}

TEST_F(SalesConsoleTest, PaymentLeavesTheReceiptOpenWhileAnAmountIsDue) {
  SetName(image_.payment(1).first(12), "ΚΑΡΤΑ");
  console_.Press(ConsoleKey::kDepartment, 3);
  due_ = "0,50";
  Type("1");
  console_.entry.payment_type = 1;
  console_.Press(ConsoleKey::kPayment);
  EXPECT_EQ(Sent(),
            (std::vector<std::string>{"3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/", "5/2/1,00/ΚΑΡΤΑ       ///", "9/"}));
  EXPECT_EQ(LastLine(console_), "= ΚΑΡΤΑ" + std::string(13, ' ') + "1,00         =        ");
  EXPECT_EQ(console_.amount_due(), "0,50");
  EXPECT_EQ(console_.command_index(), 3);
  EXPECT_EQ(console_.entry.payment_type, 0);

  due_ = "0,00";
  Type("0,5");
  console_.Press(ConsoleKey::kPayment);
  EXPECT_EQ(console_.amount_due(), "0,00");
  EXPECT_EQ(console_.command_index(), 0) << "nothing due: a new receipt";
}

TEST_F(SalesConsoleTest, SubtotalReplyWithFewerThanNineSlashesMeansNothingDue) {
  console_.Press(ConsoleKey::kDepartment, 3);
  due_ = "12,00";
  console_.Press(ConsoleKey::kTotal);
  EXPECT_EQ(console_.amount_due(), "12,00");
  EXPECT_EQ(console_.command_index(), 2);
  short_subtotal_ = true;
  Type("1");
  console_.Press(ConsoleKey::kPayment);
  EXPECT_EQ(console_.amount_due(), "12,00") << "the box stays as it was";
  EXPECT_EQ(console_.command_index(), 0) << "nothing due: the payment ends the receipt";
}

TEST_F(SalesConsoleTest, TotalVoidNeedsASaleAndEndsTheReceipt) {
  console_.Press(ConsoleKey::kTotalVoid);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgNoSale)});
  EXPECT_TRUE(peer_.Commands().empty());
  console_.Press(ConsoleKey::kDepartment, 3);
  console_.Press(ConsoleKey::kTotalVoid);
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_EQ(Sent()[1], "+/");
  EXPECT_EQ(Sent()[2], "9/");
  EXPECT_EQ(console_.command_index(), 0);
}

TEST_F(SalesConsoleTest, HidingWithAnOpenReceiptVoidsItBeforeTheLinkCloses) {
  for (int i = 0; i < 3; ++i) console_.Press(ConsoleKey::kDepartment, 3);
  const test::TempDir dir;
  image_.state.modified = true;
  console_.Hide(dir / "OV_Setup.cfg");
  EXPECT_EQ(Sent().size(), 5u);
  EXPECT_EQ(Sent()[3], "+/");
  EXPECT_FALSE(link_.is_open());
  EXPECT_FALSE(image_.state.modified);
  EXPECT_EQ(test::Slurp(dir / "OV_Setup.cfg").size(), 8u);
}

TEST_F(SalesConsoleTest, TheWindowsConsoleLeavesTheUnsavedFlagAlone) {
  console_.clear_unsaved_flag = false;
  image_.state.modified = true;
  console_.Press(ConsoleKey::kDepartment, 3);
  console_.Press(ConsoleKey::kTotalVoid);
  console_.Hide({});
  EXPECT_EQ(Sent().size(), 3u);
  EXPECT_TRUE(image_.state.modified) << "unsaved database changes are still known as such";
}

TEST_F(SalesConsoleTest, ExtraDescriptionAfterASubtotalIsCapitalJ) {
  console_.entry.extra_lines = {cp1253::Encode("ΓΡΑΜΜΗ ΠΡΩΤΗ ΜΑΚΡΙΑ"), "", "3"};
  console_.Press(ConsoleKey::kExtraDescription);
  console_.Press(ConsoleKey::kDepartment, 3);
  console_.Press(ConsoleKey::kTotal);
  console_.entry.extra_lines = {"A"};
  console_.Press(ConsoleKey::kExtraDescription);
  const auto sent = Sent();
  EXPECT_EQ(sent[0], "j/ΓΡΑΜΜΗ ΠΡΩΤΗ//3/");
  EXPECT_EQ(sent.back(), "J/A///");
}

TEST_F(SalesConsoleTest, CustomerFromTheTableOrFromTheExtraText) {
  Customer c = image_.customer(4);
  SetName(c.company(), "ΑΦΟΙ ΠΑΠΑΔΟΠΟΥΛΟΙ");
  SetName(c.profession(), "ΕΜΠΟΡΙΟ");
  SetName(c.address(), "ΟΔΟΣ 1");
  SetName(c.phone(), "2101234567");
  SetName(c.tax_office(), "Α ΑΘΗΝΩΝ");
  c.set_tax_number(12345678);
  Type("5");
  console_.Press(ConsoleKey::kCustomer);
  console_.entry.extra_lines = {"A", "B", "C", "D", "E", "F", "G"};
  console_.Press(ConsoleKey::kCustomer);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"2/ΑΦΟΙ ΠΑΠΑΔΟΠΟΥΛΟΙ/ΕΜΠΟΡΙΟ/012345678/ΟΔΟΣ 1/2101234567/Α ΑΘΗΝΩΝ/",
                                              "2/A/B/C/D/E/F/"}));
  EXPECT_TRUE(LastLine(console_).starts_with("Ππελατης"));
}

TEST_F(SalesConsoleTest, UtilityKeys) {
  console_.Press(ConsoleKey::kPaper);
  console_.Press(ConsoleKey::kDrawer);
  EXPECT_EQ(console_.command_index(), 0);
  Type("12");
  console_.Press(ConsoleKey::kTickets);
  EXPECT_EQ(console_.command_index(), 1);
  EXPECT_TRUE(console_.subtotal_adjusted());
  console_.Press(ConsoleKey::kTransferIn);
  EXPECT_EQ(console_.command_index(), 0);
  console_.Press(ConsoleKey::kTickets);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgEnterPrice)});
  EXPECT_EQ(Sent(), (std::vector<std::string>{"w/1/6/", "q/", "m/12,00/ΕΙΣΙΤΗΡΙΑ/", "x/10/"}));
}

TEST_F(SalesConsoleTest, StatusSynchronisationFollowsTheRegistersReceipt) {
  // The register has a receipt open that the console does not know of: void it.
  status_ = "05";
  console_.Press(ConsoleKey::kSync);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"?/", "+/", "9/"}));
  EXPECT_EQ(console_.command_index(), 0);
  // The console thinks a receipt is open, the register has none: start over.
  console_.Press(ConsoleKey::kDepartment, 3);
  status_ = "01";
  console_.Press(ConsoleKey::kSync);
  EXPECT_EQ(Sent().back(), "9/");
  EXPECT_EQ(Sent()[Sent().size() - 2], "?/");
  EXPECT_EQ(console_.command_index(), 1) << "index 0 again, then the query's line";
  EXPECT_TRUE(link_.is_open()) << "the link was closed and opened again";
}

// After a damaged reply the console asks the register ("?/") and acts on
// what it says; it never takes the damage for a refusal or for success.
TEST_F(SalesConsoleTest, DamagedReplyIsSettledByTheRegistersStatus) {
  struct Case {
    std::string name;
    std::vector<PeerFault> faults;  // per command frame after the opening
    std::function<void(SalesConsoleTest&)> keys;
    std::string status;  // what "?/" says then
    std::vector<std::string> sent;
    KeyOutcome outcome;
    std::string message;  // "" for none
    int index;
  };
  const auto sale = [](SalesConsoleTest& t) { t.console_.Press(ConsoleKey::kDepartment, 3); };
  const auto sale_and_pay = [](SalesConsoleTest& t) {
    t.console_.Press(ConsoleKey::kDepartment, 3);
    t.Type("2");
    t.console_.Press(ConsoleKey::kPayment);
  };
  const std::string kSale = "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/";
  const std::string kPay = "5/1/2,00/" + Utf8(PaymentName(image_, 0)) + "///";
  const Case cases[] = {
      {"first sale taken, receipt open",
       {PeerFault::kBadChecksum},
       sale,
       "05",
       {kSale, "?/", "+/", "9/"},
       KeyOutcome::kVoided,
       std::string(kMsgUnconfirmedVoided),
       0},
      {"first sale not taken",
       {PeerFault::kBadChecksum},
       sale,
       "01",
       {kSale, "?/"},
       KeyOutcome::kRefusal,
       std::string(kMsgNotCarriedOut),
       0},
      {"payment closed the receipt",
       {PeerFault::kNone, PeerFault::kBadChecksum},
       sale_and_pay,
       "01",
       {kSale, kPay, "?/"},
       KeyOutcome::kPrinted,
       std::string(kMsgPaymentPrinted),
       0},
      {"payment left an amount due",
       {PeerFault::kNone, PeerFault::kBadChecksum},
       sale_and_pay,
       "05",
       {kSale, kPay, "?/", "9/"},
       KeyOutcome::kDone,
       std::string(kMsgPaymentOpen) + "0,50",
       3},
      {"subtotal after the payment damaged",
       {PeerFault::kNone, PeerFault::kNone, PeerFault::kBadChecksum},
       sale_and_pay,
       "01",
       {kSale, kPay, "9/", "?/"},
       KeyOutcome::kPrinted,
       std::string(kMsgPaymentPrinted),
       0},
      {"daily Z",
       {PeerFault::kBadChecksum},
       [](SalesConsoleTest& t) { t.console_.Press(ConsoleKey::kDailyZ); },
       "01",
       {"x/7/1/1/", "?/"},
       KeyOutcome::kUnknown,
       std::string(kMsgZUnknown),
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    console_.NewReceipt();
    peer_.ForgetCommands();
    ui_.messages.clear();
    status_ = c.status;
    due_ = "0,50";
    for (PeerFault f : c.faults) peer_.AddFaults({f});
    c.keys(*this);
    EXPECT_EQ(Sent(), c.sent);
    EXPECT_EQ(console_.outcome(), c.outcome);
    EXPECT_EQ(console_.outcome_text(), c.message);
    if (!c.message.empty()) {
      EXPECT_NE(std::find(ui_.MessageTexts().begin(), ui_.MessageTexts().end(), c.message), ui_.MessageTexts().end())
          << "the user is told";
    }
    EXPECT_EQ(console_.command_index(), c.index);
    EXPECT_FALSE(console_.state_unknown()) << "the register's answer settled it";
    EXPECT_EQ(console_.effect_unknown(), c.outcome == KeyOutcome::kUnknown);
  }
}

// A refused subtotal is not "nothing due": the receipt stays until the
// register says it is closed.
TEST_F(SalesConsoleTest, RefusedSubtotalAfterAPaymentLeavesItToTheStatus) {
  console_.Press(ConsoleKey::kDepartment, 3);
  refuse_ = std::string("9/");
  status_ = "05";
  Type("1");
  console_.Press(ConsoleKey::kPayment);
  const std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(sent.begin() + 2, sent.end()), (std::vector<std::string>{"9/", "?/", "9/"}))
      << "open on the register: the amount due is asked again";
  EXPECT_TRUE(console_.receipt_open()) << "the console keeps the receipt";
  EXPECT_TRUE(console_.state_unknown()) << "the amount due is still to be asked";
}

// The register cannot be reached after an unknown payment: the console says
// so, keeps the receipt, and asks again before the next key, which it does
// not carry out when the answer changes the picture.
TEST_F(SalesConsoleTest, UnreachableRegisterKeepsTheStateUnknownUntilItAnswers) {
  console_.Press(ConsoleKey::kDepartment, 3);
  peer_.AddFaults({PeerFault::kBadChecksum});
  deaf_after_ = std::string("5/");  // the "?/" after the payment finds nobody
  Type("2");
  console_.Press(ConsoleKey::kPayment);
  EXPECT_EQ(console_.outcome(), KeyOutcome::kUnknown);
  EXPECT_EQ(console_.outcome_text(), std::string(kMsgStateUnknown) + "\nΟ ΦΗΜ δεν απάντησε (COM7)")
      << "which link did not answer";
  EXPECT_TRUE(console_.state_unknown());
  EXPECT_TRUE(console_.effect_unknown());
  EXPECT_TRUE(console_.receipt_open());

  status_ = "01";  // the payment had closed it
  deaf_after_ = std::nullopt;
  console_.Press(ConsoleKey::kDepartment, 3);
  EXPECT_EQ(Sent().back(), "?/") << "asked first; the sale is not rung up";
  EXPECT_EQ(console_.outcome(), KeyOutcome::kPrinted);
  EXPECT_FALSE(console_.state_unknown());
  EXPECT_EQ(console_.command_index(), 0);
}

// A serial reply that arrives while no command waits: before the next key
// the register is asked, and the key goes on when all agrees.
TEST_F(SalesConsoleTest, ReplyForNobodyMakesTheNextKeyAskFirst) {
  console_.Press(ConsoleKey::kDepartment, 3);
  peer_.WriteLateReply("00/0001/05/");
  status_ = "05";
  for (int w = 0; w < 200 && !link_.OutOfStep(); ++w) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  console_.Press(ConsoleKey::kDepartment, 3);
  const std::string sale = "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/";
  EXPECT_EQ(Sent(), (std::vector<std::string>{sale, "?/", sale}));
  EXPECT_EQ(console_.command_index(), 2);
  EXPECT_EQ(console_.outcome(), KeyOutcome::kDone);
}

TEST_F(SalesConsoleTest, OpeningVoidsAReceiptLeftOpenOnTheRegister) {
  status_ = "05";
  console_.Show();
  EXPECT_EQ(Sent(), (std::vector<std::string>{"?/", "+/", "9/"}));
  EXPECT_EQ(ui_.MessageTexts().back(), std::string(kMsgLeftOpenVoided));
  EXPECT_EQ(console_.outcome(), KeyOutcome::kVoided);
  EXPECT_EQ(console_.command_index(), 0);
}

TEST_F(SalesConsoleTest, ReportKeysSendTheirTextOnlyBetweenReceipts) {
  struct Case {
    ConsoleKey key;
    std::function<void(SalesConsole&)> boxes;
    std::string text;
  };
  const Case cases[] = {
      {ConsoleKey::kDailyZ, {}, "x/7/1/1/"},
      {ConsoleKey::kCopyLastZ, {}, "x/7/0/0/"},
      {ConsoleKey::kReportX, {}, "x/1///"},
      {ConsoleKey::kReportItems, {}, "x/3///"},
      {ConsoleKey::kReportOperators, {}, "x/6/1/25/"},
      {ConsoleKey::kReportElectronicFiles, {}, "x/9///"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.reports.from_z = 12;
         c.reports.to_z = 15;
         c.ClickReportBox(kDetailedCaption, true);
       },
       "x/0/5/0012/0015/"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.PickDates({2024, 3, 3}, {2024, 3, 5});
         c.ClickReportBox(kByDateCaption, true);
       },
       "x/0/1/030324/000000/050324/235959/"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.ClickReportBox(kByDateCaption, true);
         c.ClickReportBox(kLast3ZCaption, true);
       },
       "x/0/7/"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.PickDates({2024, 3, 3}, {2024, 3, 5});
         c.ClickReportBox(kByDateCaption, true);
         c.ClickReportBox(kPaehpsCaption, true);
       },
       "x/0/3/030324/000000/050324/235959/"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.PickDates({1999, 12, 31}, {2000, 1, 2});
         c.ClickReportBox(kByDateCaption, true);
       },
       "x/0/1/311200/000000/020100/235959/"},
      {ConsoleKey::kFiscalMemoryReports,
       [](SalesConsole& c) {
         c.reports.from_z = 1;
         c.reports.to_z = 9999;
         c.ClickReportBox(kPaehpsCaption, true);
       },
       "x/0/6/0001/9999/"},
  };
  for (const Case& c : cases) {
    if (c.boxes) c.boxes(console_);
    console_.Press(c.key);
    EXPECT_EQ(Sent().back(), c.text);
    EXPECT_EQ(console_.command_index(), 0);
    EXPECT_FALSE(console_.reports.by_date) << "the boxes are cleared after a report";
  }
  EXPECT_TRUE(ui_.messages.empty());
  console_.Press(ConsoleKey::kDepartment, 3);
  console_.Press(ConsoleKey::kDailyZ);
  EXPECT_EQ(ui_.MessageTexts(), std::vector<std::string>{std::string(kMsgReceiptOpen)});
  EXPECT_EQ(Sent().back(), "3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/");
}

TEST_F(SalesConsoleTest, ReportBoxRules) {
  console_.ClickReportBox(kByDateCaption, true);
  console_.ClickReportBox(kLast3ZCaption, true);
  EXPECT_FALSE(console_.reports.by_date);
  EXPECT_TRUE(console_.reports.detailed);
  console_.ResetEntry();
  console_.ClickReportBox(kPaehpsCaption, true);
  EXPECT_TRUE(console_.reports.detailed);
}

TEST_F(SalesConsoleTest, ExchangeLogShowsTheLastLinesThatFitAndRefusalsInRed) {
  refuse_ = std::optional<std::string>("3/");
  console_.Press(ConsoleKey::kDepartment, 3);  // refused by the register
  EXPECT_EQ(console_.command_index(), 0);
  EXPECT_TRUE(console_.receipt_list().empty());
  ASSERT_EQ(console_.exchange_log().size(), 1u);
  EXPECT_TRUE(console_.exchange_log()[0].failed);
  EXPECT_TRUE(Utf8(console_.exchange_log()[0].command).starts_with("  1: 3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//"));
  EXPECT_EQ(console_.exchange_log()[0].reply, "11/0/0");
  refuse_ = std::nullopt;
  for (int i = 0; i < 5; ++i) console_.Press(ConsoleKey::kDepartment, 3);
  // Drawn as the fifth line went out: slots 0 to 4, the last three fit.
  const auto shown = console_.ShownLog(3);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown.front().slot, 2);
  EXPECT_EQ(shown.back().slot, 4);
  EXPECT_FALSE(shown.front().failed);
}

TEST(ConsoleNumbers, TextsOfAmountsQuantitiesPricesAndRates) {
  EXPECT_EQ(AmountText(1250), "12,50");
  EXPECT_EQ(AmountText(123400), "1234,00");
  EXPECT_EQ(AmountText(0), "0,00");
  EXPECT_EQ(AmountText(-150), "-1,50");
  EXPECT_EQ(AmountText(99999999), "999999,99");
  EXPECT_EQ(QuantityText(1000), "1,000");
  EXPECT_EQ(QuantityText(2500), "2,500");
  EXPECT_EQ(PriceText(50, 2), "0,50");
  EXPECT_EQ(PriceText(50, 5), "  0,50");
  EXPECT_EQ(RateText(2400), "24,00");
  EXPECT_EQ(RateText(600), " 6,00");
  EXPECT_EQ(ParseEntry("2,50"), 2500);
  EXPECT_EQ(ParseEntry("2"), 2000);
  EXPECT_EQ(ParseEntry("12345,678"), 12345678);
  EXPECT_EQ(ParseEntry("123456"), std::nullopt);
  EXPECT_EQ(ParseEntry("1,2345"), std::nullopt);
  EXPECT_EQ(ParseEntry("1a"), std::nullopt);
}

TEST(ConsoleKeys, CaptionsFindTheirKeysAndTheOldCustomerSpelling) {
  EXPECT_EQ(FindConsoleKey("ΤΜ 14")->department, 14);
  EXPECT_EQ(FindConsoleKey("ΠΕΛATHΣ")->key, ConsoleKey::kCustomer);
  EXPECT_EQ(FindConsoleKey("ΠΕΛΑΤΗΣ")->key, ConsoleKey::kCustomer);
  EXPECT_EQ(FindConsoleKey("ΑΝΑΦΟΡΑ  Χ")->key, ConsoleKey::kReportX);
  EXPECT_FALSE(FindConsoleKey("ΑΝΑΦΟΡΑ Χ"));
}

}  // namespace
}  // namespace zel
