// The fiscal printer command link: the console's command and reply slots,
// the two framings of a command (serial and LAN), the judging of a reply, and
// one exchange with its enquiries, time-outs, Retry/Cancel questions and the
// reopening of the link after a failure.
//
// A command is a short text of fields separated by "/" in code page 1253
// ("3/S/ΓΑΛΑΚΤΟΚΟΜΙΚΑ//1,000/1,50/03/13,00/"); the register answers with a
// reply text whose first two characters are a status, "00" for accepted.
//
// Serial wire:  STX text d1 d2 ETX, where d1 d2 are the tens and ones digits
//               of the 8-bit sum of the text bytes (the hundreds are not sent).
//               Each command is preceded by ENQ, which the register answers
//               with ACK; its reply may begin with an ACK for the frame.
// LAN datagram: a 12-byte header (magic 0xE18F, sequence, 0x21, 0x00, text
//               length, text checksum, header checksum; 16-bit fields
//               little-endian, checksums 0xAA55 + byte sum) and the text. The
//               reply carries magic 0x7A2D, the same sequence and kind 0x22.
//
// The console owns its own Link (port, baud, socket), separate from the
// programming exchange's: the two protocols never share a sequence number,
// a reply area or OV_Log.txt.
//
// Threading: an exchange blocks the thread that runs it (a worker of the
// window, or zelctl's main thread) and waits on the transport with
// deadlines, never in a polling loop. Only `link().abort` may be set from
// another thread: it ends any wait at once, the command counts as failed and
// no question is asked.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/user_interface.h"
#include "link/link.h"
#include "link/settings.h"

namespace zel {

// ---- Texts -----------------------------------------------------------------
inline constexpr std::string_view kMsgCheckLinkOrPaper = "Πρόβλημα επικοινωνίας!\nΕλεγξτε συνδεσης/χαρτι";
inline constexpr std::string_view kMsgPaperEnd = "Τελος Χαρτιου!";

// ---- Command store ---------------------------------------------------------
inline constexpr int kSlotCount = 120;
inline constexpr std::size_t kCommandSlotSize = 100;
inline constexpr std::size_t kReplySlotSize = 60;
// Length byte, STX, text, two checksum places, ETX.
inline constexpr std::size_t kMaxCommandText = kCommandSlotSize - 5;
inline constexpr std::size_t kReceiveSize = 400;
inline constexpr std::size_t kLanHeaderSize = 12;
inline constexpr std::size_t kMaxSendSize = kLanHeaderSize + kMaxCommandText;

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kEnq = 0x05;
inline constexpr std::uint8_t kAck = 0x06;

// What became of a command, as far as the console can know it:
// - accepted: an intact reply with status "00";
// - refused: an intact reply with another status (paper end, a wrong
//   field, not now, a damaged frame): the register did nothing;
// - unknown: the command went out but no intact reply came (none in time, a
//   damaged reply, one that was not the answer to it, Stop): the register may
//   have carried it out;
// - not sent: the link did not open, or the register never took the frame
//   (no ACK to the enquiries, a LAN send that failed): nothing was done.
enum class CommandOutcome : std::uint8_t { kOk, kRefusal, kUnknown, kNotSent };

// The outcome's word on the user's side ("ok", "refused", "unknown", "not
// sent"), as zelctl prints it.
std::string_view OutcomeWord(CommandOutcome outcome);

using CommandSlot = std::array<std::uint8_t, kCommandSlotSize>;
using ReplySlot = std::array<std::uint8_t, kReplySlotSize>;

// One receipt's worth of commands and the replies to them, indexed by the
// command index.
//
// Command slot: byte 0 the frame length L (text length + 4), byte 1 STX, the
// text, then (serial only, written when the frame is sent) the two checksum
// digits and ETX.
// Reply slot: byte 0 the stored reply length, plus 100 when the exchange
// failed (a failure may add 100 twice: 100 or more means failed, the value
// modulo 100 is the length); the reply text from byte 1, at most 59 bytes.
struct CommandStore {
  std::array<CommandSlot, kSlotCount> commands{};
  std::array<ReplySlot, kSlotCount> replies{};
  std::array<CommandOutcome, kSlotCount> outcomes{};  // of the last exchange in each slot
  std::int16_t index = 0;                             // commands of the current receipt accepted so far

  // Clears slot `slot` and writes the length byte, STX and `text` (cut to
  // kMaxCommandText bytes).
  void SetCommand(int slot, std::string_view text);
  std::string_view CommandText(int slot) const;
  std::string_view ReplyText(int slot) const;
  bool Failed(int slot) const { return replies[static_cast<std::size_t>(slot)][0] >= 100; }
  // The two status characters of the reply ("00" accepted); empty when the
  // reply is shorter.
  std::string_view Status(int slot) const { return ReplyText(slot).substr(0, 2); }
};

// ---- Framing and judging (pure) ----------------------------------------------

// Writes the checksum digits and ETX into `slot` and copies the L frame bytes
// (STX .. ETX) to `out`; returns L.
std::size_t FrameSerial(CommandSlot& slot, std::span<std::uint8_t, kMaxSendSize> out);

// The next LAN sequence number: the tick count modulo 1000 when the stored
// number is 0 or above 0xF000, else the stored number plus 1.
std::uint16_t NextLanSequence(std::uint16_t stored, Millis tick);
// Fills `header` for the text of `slot` with `sequence` and copies header and
// text to `out`; returns their length (text length + 12).
std::size_t FrameLan(const CommandSlot& slot, std::uint16_t sequence, std::array<std::uint8_t, kLanHeaderSize>& header,
                     std::span<std::uint8_t, kMaxSendSize> out);

// Judges the serial reply bytes (an ACK may stand before the STX; bytes
// after the last ETX are ignored) into `reply`: 0, or 100 when the checksum
// digits are wrong or the status is not "00". Byte 0 of `reply` is the
// stored length plus the result. `intact`, when asked, tells whether the
// reply passed its checksum and carries a status: only then does a status
// other than "00" say that the register refused.
int CheckSerialReply(std::span<const std::uint8_t> received, ReplySlot& reply, bool* intact = nullptr);
// Judges a LAN reply datagram into `reply` and `reply_header`: 1 when its
// magic, sequence number or kind is wrong or its length is 0 (the slot is
// left cleared); else 0, or 100 when a checksum is wrong or the status is not
// "00" (added to byte 0). `intact` as for the serial reply.
int CheckLanReply(std::span<const std::uint8_t> received, std::uint16_t sequence, ReplySlot& reply,
                  std::array<std::uint8_t, kLanHeaderSize>& reply_header, bool* intact = nullptr);

// ---- The link --------------------------------------------------------------

// What ExchangeCommand returned.
inline constexpr int kCommandAccepted = 0;
inline constexpr int kCommandBadReply = 1;   // wrong LAN header, receive error, no "00"
inline constexpr int kCommandNoAnswer = 2;   // no answer, cancelled, stopped or link failure
inline constexpr int kCommandRefused = 100;  // checksum or status wrong

enum class PrinterLinkState { kOpened = 0, kOpenFailed = 1, kClosed = 2 };

class PrinterLink {
 public:
  explicit PrinterLink(UserInterface& ui, TickClock& clock = SystemClock());

  // The console's own link selection: port number (0 = LAN), its baud choice
  // (0 = 115200, 1 = 9600) and the register's IP address.
  LinkSelection selection;
  CommandStore store;

  // Opens the link when it is not open: 0 when open, 1 after showing
  // "Δεν ήταν δυνατό να ανοίξει η θύρα COM!" or "Η θύρα LAN δεν άνοιξε!".
  int OpenPrinterLink();
  void ClosePrinterLink();
  // Sends the command slot at the current command index (opening the link
  // first when needed); the outcome stands in byte 0 of the reply slot at the
  // same index, its length capped at 60.
  void SendCommand();
  // One exchange of the command slot at the current command index; see the
  // kCommand* results.
  int ExchangeCommand();

  bool is_open() const { return open_; }
  // What the last SendCommand came to: a kCommand* result, kCommandNoAnswer
  // also when the link could not be opened.
  int last_result() const { return last_result_; }
  // What became of the last command sent (also in the store's outcomes).
  CommandOutcome last_outcome() const { return last_outcome_; }
  // The serial line carried a reply while no command waited for one (a
  // reply that came after its command had given up): the replies can no
  // longer be matched to their commands until the register's state has been
  // asked again. Looks at the line first; the mark stays until cleared.
  bool OutOfStep();
  void ClearOutOfStep() { out_of_step_ = false; }
  PrinterLinkState state() const { return state_; }
  Link& link() { return link_; }
  std::uint16_t sequence() const { return sequence_; }
  void set_sequence(std::uint16_t s) { sequence_ = s; }
  const std::array<std::uint8_t, kLanHeaderSize>& reply_header() const { return reply_header_; }
  // The bytes of the last frame sent.
  std::span<const std::uint8_t> sent() const { return {send_.data(), send_length_}; }

 private:
  int ExchangeSerial(ReplySlot& reply);
  int ExchangeLan(ReplySlot& reply);
  // The serial failure step: "Πρόβλημα επικοινωνίας!", close, reopen.
  int SerialFailure(ReplySlot& reply);
  // Closes and reopens the link and marks the reply failed.
  void Reopen(ReplySlot& reply);
  int Stopped(ReplySlot& reply);
  void ShowError(std::string_view text);
  // Serial: drops what the line holds before a new command, and marks the
  // link out of step when that held a reply frame.
  void DropStale();
  // Serial, after a command that went out and got no answer: whatever the
  // register still sends is read and dropped until the line has been quiet
  // for a while, so that a late reply is never taken for the next command's.
  void DrainUntilQuiet();

  UserInterface& ui_;
  Link link_;
  bool open_ = false;
  PrinterLinkState state_ = PrinterLinkState::kClosed;
  std::uint16_t sequence_ = 0;
  std::array<std::uint8_t, kLanHeaderSize> request_header_{};
  std::array<std::uint8_t, kLanHeaderSize> reply_header_{};
  std::array<std::uint8_t, kMaxSendSize> send_{};
  std::size_t send_length_ = 0;
  std::array<std::uint8_t, kReceiveSize> receive_{};
  std::size_t count_ = 0;
  int last_result_ = kCommandAccepted;
  CommandOutcome last_outcome_ = CommandOutcome::kOk;
  bool frame_sent_ = false;  // the command of the exchange under way has gone out
  bool intact_ = false;      // its reply passed its checks
  bool out_of_step_ = false;
  bool lan_stale_ = true;  // the last LAN exchange may have left a datagram behind
};

}  // namespace zel
