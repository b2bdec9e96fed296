#include "programmer/commands.h"

#include <cerrno>
#include <initializer_list>
#include <string>

#include "base/log_text.h"

namespace {

// A transfer is good only when the library moved exactly the requested length. A link
// without a handle never reaches the library.
// Keeps what a failed transfer of the current request came to.
bool Moved(const ProgrammerLink& link, bool answer, int result, int size) {
  if (result == size)
    return true;
  link.fault = TransferFault{link.request, answer, result, size};
  return false;
}

bool Send(const ProgrammerLink& link, const uint8_t* bytes, int size, int timeout = kTimeoutMs) {
  if (link.handle == nullptr)
    return Moved(link, false, -ENODEV, size);
  return Moved(link, false,
               link.api.usb_bulk_write(link.handle, kEndpointOut,
                                       reinterpret_cast<const char*>(bytes), size, timeout),
               size);
}

bool Send(const ProgrammerLink& link, std::initializer_list<uint8_t> request) {
  link.request = *request.begin();
  return Send(link, request.begin(), static_cast<int>(request.size()));
}

bool Receive(const ProgrammerLink& link, uint8_t* buffer, int size) {
  if (link.handle == nullptr)
    return Moved(link, true, -ENODEV, size);
  return Moved(link, true,
               link.api.usb_bulk_read(link.handle, kEndpointIn, reinterpret_cast<char*>(buffer),
                                      size, kTimeoutMs),
               size);
}

uint8_t Result(bool good) {
  return good ? kCommandOk : kCommandFailed;
}

// A request followed by an answer of exactly `size` bytes. The answer lands in a local
// buffer and reaches the caller only when whole, so a short answer never leaves part of
// it behind.
template <size_t N>
uint8_t Exchange(const ProgrammerLink& link, std::initializer_list<uint8_t> request,
                 std::array<uint8_t, N>& answer) {
  std::array<uint8_t, N> received{};
  if (!Send(link, request) || !Receive(link, received.data(), static_cast<int>(N)))
    return kCommandFailed;
  answer = received;
  return kCommandOk;
}

// ErasePoll and EraseCheck: the bank's next erase state, handed out only when read.
uint8_t EraseStateRequest(const ProgrammerLink& link, uint8_t opcode, uint8_t bank,
                          uint8_t& state) {
  std::array<uint8_t, 1> answer{};
  const uint8_t result = Exchange(link, {opcode, bank}, answer);
  if (result == kCommandOk)
    state = answer[0];
  return result;
}

int BlockLength(uint8_t high, uint8_t low) {
  return high * 256 + low;
}

}  // namespace

uint8_t FlashReset(const ProgrammerLink& link) {
  return Result(Send(link, {0x01}));
}

uint8_t SetAddress(const ProgrammerLink& link, uint8_t a3, uint8_t a2, uint8_t a1, uint8_t a0) {
  return Result(Send(link, {0x10, a3, a2, a1, a0}));
}

uint8_t WriteBlock(const ProgrammerLink& link, const uint8_t* buffer, uint8_t lengthHigh,
                   uint8_t lengthLow, uint8_t writeMode, std::string* errorAnswer) {
  const int length = BlockLength(lengthHigh, lengthLow);
  if (length == 0 || buffer == nullptr)
    return kCommandFailed;
  const uint8_t opcode = writeMode == 1 ? 0xA0 : 0x11;
  if (!Send(link, {opcode}))
    return kCommandFailed;
  if (!Send(link, buffer, length, kWriteDataTimeoutMs))
    return kCommandFailed;
  uint8_t status = 0;
  if (!Receive(link, &status, 1))
    return kCommandFailed;
  if (status == 0)
    return kCommandOk;
  std::array<uint8_t, 11> answer{};
  const bool whole = Receive(link, answer.data(), static_cast<int>(answer.size()));
  if (errorAnswer != nullptr)
    *errorAnswer = whole ? WriteErrorAnswerText(answer) : "Can't read write error answer";
  return kCommandFailed;
}

uint8_t ReadBlock(const ProgrammerLink& link, uint8_t* buffer, uint8_t lengthHigh,
                  uint8_t lengthLow) {
  const int length = BlockLength(lengthHigh, lengthLow);
  if (length == 0 || buffer == nullptr)
    return kCommandFailed;
  return Result(Send(link, {0x12}) && Receive(link, buffer, length));
}

uint8_t GetVersion(const ProgrammerLink& link, std::array<uint8_t, 2>& version) {
  return Exchange(link, {0x13}, version);
}

uint8_t EraseInit(const ProgrammerLink& link, uint8_t bank) {
  return Result(Send(link, {0x14, bank}));
}

uint8_t GetModuleType(const ProgrammerLink& link, uint8_t& type) {
  std::array<uint8_t, 1> answer{};
  const uint8_t result = Exchange(link, {0x16}, answer);
  if (result == kCommandOk)
    type = answer[0];
  return result;
}

uint8_t SetBus8(const ProgrammerLink& link) {
  return Result(Send(link, {0x17}));
}

uint8_t SetBus16(const ProgrammerLink& link) {
  return Result(Send(link, {0x18}));
}

uint8_t ChipSelect(const ProgrammerLink& link, uint8_t bank) {
  return Result(Send(link, {0x23, bank}));
}

uint8_t GetChipId(const ProgrammerLink& link, std::array<uint8_t, 4>& id) {
  return Exchange(link, {0x36}, id);
}

uint8_t EraseStart(const ProgrammerLink& link, uint8_t bank) {
  return Result(Send(link, {0x50, bank}));
}

uint8_t ErasePoll(const ProgrammerLink& link, uint8_t bank, uint8_t& state) {
  return EraseStateRequest(link, 0x51, bank, state);
}

uint8_t EraseCheck(const ProgrammerLink& link, uint8_t bank, uint8_t& state) {
  return EraseStateRequest(link, 0x52, bank, state);
}

int BusWrite(const ProgrammerLink& link, uint32_t address, uint16_t data) {
  const uint8_t request[7] = {
      0x60,
      static_cast<uint8_t>(address >> 8),   // ah: bits 15..8
      static_cast<uint8_t>(address),        // al: bits 7..0
      static_cast<uint8_t>(address >> 16),  // ax: bits 23..16
      static_cast<uint8_t>(address >> 24),  // ay: bits 31..24
      static_cast<uint8_t>(data),           // dl
      static_cast<uint8_t>(data >> 8),      // dh
  };
  if (link.handle == nullptr)
    return -2;
  return link.api.usb_bulk_write(link.handle, kEndpointOut, reinterpret_cast<const char*>(request),
                                 sizeof request, kTimeoutMs);
}

int BusRead(const ProgrammerLink& link, uint8_t* buffer, uint8_t n) {
  if (link.handle == nullptr || buffer == nullptr || n == 0)
    return -2;
  const uint8_t request = 0x61;
  const int sent = link.api.usb_bulk_write(link.handle, kEndpointOut,
                                           reinterpret_cast<const char*>(&request), 1, kTimeoutMs);
  if (sent != 1)
    return sent;
  return link.api.usb_bulk_read(link.handle, kEndpointIn, reinterpret_cast<char*>(buffer), n,
                                kTimeoutMs);
}

std::string WriteErrorAnswerText(const std::array<uint8_t, 11>& b) {
  return LogText("(%x-%x) (%x-%x) (%x-%x) (%x-%x) %x # %x, %x",
                 {Hex(b[0]), Hex(b[5]), Hex(b[1]), Hex(b[6]), Hex(b[2]), Hex(b[7]), Hex(b[3]),
                  Hex(b[8]), Hex(b[4]), Hex(b[9]), Hex(b[10])});
}
