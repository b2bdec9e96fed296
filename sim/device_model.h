// The firmware of the simulated programmer: decodes each request the host sends, keeps
// the bank and address registers, runs the erase scripts and queues the answers the host
// reads back. It knows nothing of USB handles or faults (SimBus adds those).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/bus_cycles.h"
#include "sim/device_config.h"
#include "sim/flash_memory.h"

namespace sim {

class DeviceModel {
 public:
  explicit DeviceModel(const ModelConfig& config);

  // One OUT transfer: a whole request, or the data phase that follows a WriteBlock
  // opcode. An unknown opcode or a request of the wrong length is ignored.
  void Receive(const uint8_t* data, size_t size);
  // One IN transfer of at most `size` bytes: the next queued answer (a longer answer is
  // cut, and its rest dropped). Returns the byte count, or -ETIMEDOUT when nothing is
  // queued, as a device that has nothing to say lets the host time out.
  int Send(uint8_t* out, size_t size);
  // A new usb_open: answers, a half-finished WriteBlock and the block counts of the
  // session are forgotten; registers and flash stay.
  void ResetTransport();

  bool ExpectingWriteData() const { return expectWriteData_; }
  bool ReadBlockPending() const {
    return !answers_.empty() && answers_.front().kind == AnswerKind::ReadBlock;
  }
  // The next answer is that of an ErasePoll or EraseCheck.
  bool PollAnswerPending() const {
    return !answers_.empty() && answers_.front().kind == AnswerKind::Poll;
  }
  // Drops the answers waiting (the status of a block whose data phase was cut short).
  void ForgetAnswers() { answers_.clear(); }
  // The programmer lost its power: registers back at their power-on values (address 0,
  // bank byte 1, 8-bit bus, array reads), answers and a half-received block forgotten,
  // and an erase the host has not yet seen finish abandoned half done: the first half of
  // its bank blank, the rest as before the erase, and the bank idle.
  void PowerLoss();
  // Another module plugged in: the answers of GetModuleType and GetChipId.
  void ReplaceModule(uint8_t moduleType, const std::array<uint8_t, 4>& chipId) {
    config_.moduleType = moduleType;
    config_.chipId = chipId;
  }

  // The flash as it is now: an erase that was started has finished by itself once its
  // time is up, whether or not the host polled.
  FlashMemory& Flash() {
    SettleErases();
    return flash_;
  }
  BusCycles& Bus() { return bus_; }
  const BusCycles& Bus() const { return bus_; }
  const ModelConfig& Config() const { return config_; }

  // Registers, for tests.
  uint8_t BankByte() const { return bankByte_; }
  uint32_t Address() const { return address_; }
  int BusWidth() const { return busWidth_; }
  int WriteBlocks() const { return writeBlocks_; }  // data phases since usb_open
  int ReadBlocks() const { return readBlocks_; }
  int IgnoredRequests() const { return ignoredRequests_; }

 private:
  enum class AnswerKind { Bytes, Poll, ReadBlock, BusRead };
  struct Answer {
    AnswerKind kind = AnswerKind::Bytes;
    std::vector<uint8_t> bytes;
  };
  struct EraseState {
    bool initialised = false;
    bool running = false;
    bool finishes = false;     // its script ends with 0: the chips become blank
    bool clearsFlash = false;  // started, and the chips will be blank when its time is up
    size_t next = 0;           // position in the bank's script
    std::chrono::steady_clock::time_point started{};
  };

  void Request(const uint8_t* data, size_t size);
  void WriteData(const uint8_t* data, size_t size);
  uint8_t NextEraseAnswer(int bank);
  void StartErase(int bank);
  // Blanks every bank whose erase has run its time: the chips erase by themselves once
  // started, so this does not depend on the host polling or cancelling.
  void SettleErases();
  // Bank byte 1 is the first bank (index 0); 0 the second (index 1) on a dual-bank
  // module. -1: no such bank.
  int BankIndex(uint8_t bankByte) const;
  void Queue(std::vector<uint8_t> bytes) {
    answers_.push_back({AnswerKind::Bytes, std::move(bytes)});
  }
  static void Throttle(size_t bytes, double bytesPerSecond);
  // What the stuck data line and the flaky read make of the ReadBlock answer that was
  // read from address_.
  void SpoilRead(uint8_t* out, size_t size) const;

  ModelConfig config_;
  FlashMemory flash_;
  BusCycles bus_;
  std::deque<Answer> answers_;
  bool expectWriteData_ = false;
  uint8_t bankByte_ = 1;
  uint32_t address_ = 0;
  int busWidth_ = 8;
  int writeBlocks_ = 0;
  int readBlocks_ = 0;
  int ignoredRequests_ = 0;
  EraseState erase_[2];
};

}  // namespace sim
