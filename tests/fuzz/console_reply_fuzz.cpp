// The console's two reply checks: the first byte picks the serial or the LAN
// check (and, for the LAN, the low byte of the sequence number asked for),
// the rest is what the register sent. Whatever arrives, the reply slot keeps
// its 60 bytes, its length byte stays within them, and an accepted reply
// text starts with the status "00".
#include <array>

#include "console/command_link.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zel::fuzz::Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const std::uint16_t sequence = in.Word();
  const std::span<const std::uint8_t> received = in.Rest();
  zel::ReplySlot reply;
  reply.fill(0xA5);
  int result;
  if (mode & 1) {
    std::array<std::uint8_t, zel::kLanHeaderSize> header{};
    result = zel::CheckLanReply(received, sequence, reply, header);
    zel::fuzz::Require(result == 0 || result == 1 || result == 100, "the LAN check answers 0, 1 or 100");
  } else {
    result = zel::CheckSerialReply(received, reply);
    zel::fuzz::Require(result == 0 || result == 100, "the serial check answers 0 or 100");
  }
  zel::fuzz::Require(reply[0] % 100 <= zel::kReplySlotSize - 1, "the stored length fits the slot");
  // The serial check may accept a frame too short to carry a text (its
  // exchange then finds no "00" in the slot and fails the command); a text
  // it accepts starts with "00", and so does every accepted LAN reply.
  if (result == 0 && (reply[0] >= 2 || (mode & 1))) {
    zel::fuzz::Require(reply[0] >= 2 && reply[1] == '0' && reply[2] == '0', "an accepted reply has the status 00");
  }
  return 0;
}
