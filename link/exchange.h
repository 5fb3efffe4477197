// The framed request/reply exchange with the register, and the connect and
// disconnect steps around it.
//
// Frame (request and reply): 55 33 11, sequence number, command or reply
// code, data length n, n data bytes, 8-bit sum and xor of everything before
// them, end byte EB; n + 9 bytes, no escaping.
//
// Exchange sends LinkSession::request and judges the reply into
// LinkSession::reply: up to three attempts, each failed attempt logged in
// OV_Log.txt; the serial and LAN links differ in their rules (sequence
// numbers, what counts as a valid reply, results 13 and 0xFF). Only the final
// outcome is shown to the user, with the program's fixed texts.
//
// A reply that comes after its time-out arrives while a later attempt or a
// later request waits. Taken for that one's answer, it would give a record
// its neighbour's data and push every later answer one request back. So a
// late answer is dropped and the wait goes on: on the LAN by its sequence
// number (one of the last few requests'), on the serial link, which has no
// sequence to compare, by the record number it carries (AnswersRequest).
//
// Threading: everything here runs on one thread (the transfer's worker);
// only LinkSession::abort may be touched from another (Stop), and setting it
// ends any wait at once with result 1.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/user_interface.h"
#include "link/abort_flag.h"
#include "link/link.h"
#include "link/settings.h"
#include "link/tick_clock.h"
#include "link/transport.h"

namespace zel {

// ---- Results of one exchange ----------------------------------------------
inline constexpr std::uint8_t kAccepted = 0;
inline constexpr std::uint8_t kFailed = 1;       // failed or stopped; ends a transfer
inline constexpr std::uint8_t kRefused = 2;      // the register refused (0x7F)
inline constexpr std::uint8_t kLanFailure = 13;  // LAN: no valid answer after the attempts
inline constexpr std::uint8_t kLanConnectionLost = 0xFF;

// ---- Texts -----------------------------------------------------------------
inline constexpr std::string_view kMsgComNotOpened = "Δεν ήταν δυνατό να ανοίξει η θύρα COM!";
inline constexpr std::string_view kMsgLanNotOpened = "Η θύρα LAN δεν άνοιξε!";
inline constexpr std::string_view kMsgNotExecuted = "Η εντολή δεν εκτελέστηκε!";
inline constexpr std::string_view kMsgRefused = "Η ΦΤΜ απορρίπτει το αίτημα!";
inline constexpr std::string_view kMsgCommunication = "Πρόβλημα επικοινωνίας!";
// Second line when the serial link went away in the middle of an exchange.
inline constexpr std::string_view kMsgLinkLost = "Η σύνδεση με το ΦΗΜ χάθηκε (η θύρα έκλεισε ή αποσυνδέθηκε).";

inline constexpr std::string_view kLogFile = "OV_Log.txt";

// ---- Frames ----------------------------------------------------------------
inline constexpr std::size_t kReplyAreaSize = 191;
inline constexpr std::size_t kMaxFrameSize = 255 + 9;
inline constexpr std::uint8_t kCodeCheck = 0x79;
inline constexpr std::uint8_t kCodeRefused = 0x7F;
inline constexpr std::uint8_t kCodeReceiveError = 0x80;

// The request the caller fills before Exchange: command code, data length
// and data. The exchange adds the rest of the frame.
struct Request {
  std::uint8_t code = 0;
  std::uint8_t length = 0;
  std::array<std::uint8_t, 255> data{};

  // Sets code and length (data is left as it is for the caller to fill).
  void Start(std::uint8_t c, std::uint8_t n = 0) {
    code = c;
    length = n;
  }
  // The record number in the first two data bytes.
  std::uint16_t record() const { return static_cast<std::uint16_t>(data[0] | (data[1] << 8)); }
  void set_record(std::uint16_t r) {
    data[0] = static_cast<std::uint8_t>(r);
    data[1] = static_cast<std::uint8_t>(r >> 8);
  }
};

// Writes the frame of `request` with sequence number `sequence` into `out`;
// returns its length (n + 9).
std::size_t BuildFrame(std::uint8_t sequence, const Request& request, std::span<std::uint8_t, kMaxFrameSize> out);
// True when the bytes end with the right sum, xor and end byte.
bool FrameIsSound(std::span<const std::uint8_t> frame);
// The reply wait for `request` on the serial (lan = false) or LAN link.
Millis ReplyTimeout(const Request& request, bool lan);
// Whether a sound reply carrying the request's code answers this request
// and not an earlier one: the reply to a record read carries the record
// number in its first one or two data bytes, as the request does. Other
// replies, and one too short to carry the number, are taken as they are.
// The serial link has no other way to tell a late answer (to an attempt that
// timed out) from the answer it waits for.
bool AnswersRequest(const Request& request, std::span<const std::uint8_t> reply_frame);
// The writes that open an item or customer table write (record 16000 or more
// of 0x74, 1000 or more of 0x82, compared as signed 16-bit): a refusal of
// these counts as accepted.
bool IsTableOpening(const Request& request);

// ---- Communication log OV_Log.txt ------------------------------------------
// One line "%5ld %s\n" per failed attempt, numbered from 1 since the file was
// opened. Failures are counted even while no file is open.
class CommLog {
 public:
  CommLog() = default;
  CommLog(const CommLog&) = delete;
  CommLog& operator=(const CommLog&) = delete;
  ~CommLog() { Close(); }

  // Creates the file anew and resets the counter; false when it cannot be
  // created (the exchange then simply does not log).
  bool Open(const std::string& path = std::string(kLogFile));
  void Close();
  void Write(std::string_view text);
  long counter() const { return counter_; }
  // The errno of the first write (or the close) that failed since Open, a
  // full disk say; 0 when the log is whole. Lines are still tried after it.
  int failure() const { return failure_; }
  const std::string& path() const { return path_; }

 private:
  std::FILE* file_ = nullptr;
  long counter_ = 0;
  int failure_ = 0;
  std::string path_;
};

inline constexpr std::string_view kMsgLogIncomplete =
    "Δεν ήταν δυνατό να γραφτεί όλο το αρχείο καταγραφής: κάποιες αποτυχίες της επικοινωνίας δεν καταγράφηκαν.";
// Said once, after the log of a transfer or a check is closed, when a line
// of it could not be written: kMsgLogIncomplete with the file and the cause
// ("OV_Log.txt: δεν υπάρχει χώρος στο δίσκο").
void SayIfLogIncomplete(const CommLog& log, UserInterface& ui);

// ---- Trace of every exchange ("Καταγραφή επικοινωνίας") ---------------------
// One line per attempt of an exchange, for a technician to send to support:
//   <ms since the trace opened> <link> #<attempt> <wait ms> ms <judgement> > <request hex> < <reply hex>
// The judgements: ACCEPTED, REFUSED, REFUSED-AS-OPENING (a table opening,
// counted as accepted), NO REPLY, WRONG REPLY, WRONG CHECKSUM, REQUEST
// RECEIVE ERROR, OTHER CODE, SEND FAILED, LINK LOST, STOPPED. A session
// without a trace does no work for it.
class ExchangeTrace {
 public:
  ExchangeTrace() = default;
  ExchangeTrace(const ExchangeTrace&) = delete;
  ExchangeTrace& operator=(const ExchangeTrace&) = delete;
  ~ExchangeTrace() { Close(); }

  // Creates the file anew; times count from `start`. False when it cannot
  // be created.
  bool Open(const std::string& path, Millis start);
  void Close();
  bool is_open() const { return file_ != nullptr; }
  void Write(Millis now, std::string_view link, int attempt, Millis wait, std::string_view judgement,
             std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply);

 private:
  std::FILE* file_ = nullptr;
  Millis start_{0};
};

// ---- Session ---------------------------------------------------------------
// The programming exchange on top of the open link: everything Exchange works
// on. A program keeps one for its whole run, so the sequence byte runs on from
// one transfer to the next. The link part (clock, abort, transport) is the
// protocol-neutral Link; the fiscal printer console has a Link of its own.
struct LinkSession : Link {
  explicit LinkSession(TickClock& c = SystemClock()) : Link(c) {}

  std::uint8_t sequence = 0;  // incremented (wrapping) for each frame built
  Request request;
  std::array<std::uint8_t, kReplyAreaSize> reply{};  // the last reply frame
  CommLog log;
  ExchangeTrace* trace = nullptr;  // every exchange traced here, when set

  // The last reply's data (from offset 6) and its length byte.
  const std::uint8_t* reply_data() const { return reply.data() + 6; }
  std::uint8_t reply_length() const { return reply[5]; }
};

// Opens the link of `selection` (Link::Open) and shows why when it failed:
// "Δεν ήταν δυνατό να ανοίξει η θύρα COM!" with the cause on a second line,
// or "Η θύρα LAN δεν άνοιξε!"; a Stop during the settle time shows nothing.
// Returns 0 when open, 1 when not.
int Connect(LinkSession& session, const LinkSelection& selection, UserInterface& ui);
void Disconnect(LinkSession& session);
// Sends session.request and judges the reply: kAccepted, kFailed, kRefused,
// kLanFailure or kLanConnectionLost.
std::uint8_t Exchange(LinkSession& session, UserInterface& ui);

}  // namespace zel
