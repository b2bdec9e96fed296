#include "sim/device_model.h"

#include <algorithm>
#include <cerrno>
#include <thread>

namespace sim {

namespace {

size_t ModuleBytes(int sizeMiB) {
  return static_cast<size_t>(std::max(sizeMiB, 1)) << 20;
}

}  // namespace

DeviceModel::DeviceModel(const ModelConfig& config)
    : config_(config),
      flash_(ModuleBytes(config.sizeMiB), config.dualBank ? 2 : 1, config.contents),
      bus_(config.lockRegister, config.statusToggles, config.statusOtherBytes) {}

void DeviceModel::ResetTransport() {
  answers_.clear();
  expectWriteData_ = false;
  writeBlocks_ = 0;
  readBlocks_ = 0;
}

int DeviceModel::BankIndex(uint8_t bankByte) const {
  if (bankByte == 1)
    return 0;
  if (bankByte == 0 && flash_.BankCount() == 2)
    return 1;
  return -1;
}

void DeviceModel::Throttle(size_t bytes, double bytesPerSecond) {
  if (bytesPerSecond > 0)
    std::this_thread::sleep_for(std::chrono::duration<double>(bytes / bytesPerSecond));
}

void DeviceModel::Receive(const uint8_t* data, size_t size) {
  SettleErases();
  if (expectWriteData_) {
    expectWriteData_ = false;
    WriteData(data, size);
    return;
  }
  // A new request: whatever the host left unread is gone.
  answers_.clear();
  Request(data, size);
}

void DeviceModel::WriteData(const uint8_t* data, size_t size) {
  Throttle(size, config_.timing.writeBytesPerSecond);
  const int block = writeBlocks_++;
  const bool failing = config_.writeStatus != 0 &&
                       (config_.writeStatusAtBlock < 0 || config_.writeStatusAtBlock == block);
  if (failing) {
    Queue({config_.writeStatus});
    Queue(config_.writeErrorAnswer);
    return;
  }
  flash_.Program(BankIndex(bankByte_), address_, data, size);
  address_ += static_cast<uint32_t>(size);
  Queue({0});
}

void DeviceModel::Request(const uint8_t* data, size_t size) {
  if (size == 0) {
    ++ignoredRequests_;
    return;
  }
  const uint8_t opcode = data[0];
  auto sized = [&](size_t expected) {
    if (size == expected)
      return true;
    ++ignoredRequests_;
    return false;
  };
  switch (opcode) {
    case 0x01:  // FlashReset
      if (sized(1))
        bus_.Reset();
      return;
    case 0x10:  // SetAddress, most significant byte first
      if (sized(5))
        address_ =
            uint32_t{data[1]} << 24 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 8 | data[4];
      return;
    case 0x11:  // WriteBlock, write modes 0 and 2
    case 0xA0:  // WriteBlock, write mode 1
      if (sized(1))
        expectWriteData_ = true;
      return;
    case 0x12:  // ReadBlock: streams as much as the host asks for
      if (sized(1))
        answers_.push_back({AnswerKind::ReadBlock, {}});
      return;
    case 0x13:  // GetVersion
      if (sized(1))
        Queue(config_.version);
      return;
    case 0x14:  // EraseInit
      if (sized(2) && BankIndex(data[1]) >= 0)
        erase_[BankIndex(data[1])].initialised = true;
      return;
    case 0x16:  // GetModuleType
      if (sized(1))
        Queue({config_.moduleType});
      return;
    case 0x17:  // SetBus8
    case 0x18:  // SetBus16
      if (sized(1))
        busWidth_ = opcode == 0x17 ? 8 : 16;
      return;
    case 0x23:  // ChipSelect
      if (sized(2))
        bankByte_ = data[1];
      return;
    case 0x36:  // GetChipId
      if (sized(1))
        Queue({config_.chipId.begin(), config_.chipId.end()});
      return;
    case 0x50:  // EraseStart: only a bank prepared by EraseInit starts
      if (sized(2)) {
        const int bank = BankIndex(data[1]);
        if (bank >= 0 && erase_[bank].initialised)
          StartErase(bank);
      }
      return;
    case 0x51:  // ErasePoll
    case 0x52:  // EraseCheck
      if (sized(2))
        answers_.push_back({AnswerKind::Poll, {NextEraseAnswer(BankIndex(data[1]))}});
      return;
    case 0x60:  // BusWrite: 60 ah al ax ay dl dh
      if (sized(7))
        bus_.Write(
            uint32_t{data[4]} << 24 | uint32_t{data[3]} << 16 | uint32_t{data[1]} << 8 | data[2],
            static_cast<uint16_t>(data[6] << 8 | data[5]));
      return;
    case 0x61:  // BusRead: as many bytes as the host asks for
      if (sized(1))
        answers_.push_back({AnswerKind::BusRead, {}});
      return;
    default:
      ++ignoredRequests_;
      return;
  }
}

void DeviceModel::StartErase(int bank) {
  // A script that never answers 0 is a bank that never finishes (broken or stuck): its
  // chips keep what they hold.
  const std::vector<uint8_t>& script = config_.eraseScript[bank];
  const bool finishes =
      script.empty() || std::find(script.begin(), script.end(), 0) != script.end();
  erase_[bank] = EraseState{false, true, finishes, finishes, 0, std::chrono::steady_clock::now()};
  SettleErases();
}

void DeviceModel::SettleErases() {
  const auto busyFor = std::chrono::milliseconds(config_.timing.eraseMilliseconds);
  for (int bank = 0; bank < 2; ++bank) {
    EraseState& state = erase_[bank];
    if (state.clearsFlash && std::chrono::steady_clock::now() - state.started >= busyFor) {
      state.clearsFlash = false;
      flash_.EraseBank(bank);
    }
  }
}

uint8_t DeviceModel::NextEraseAnswer(int bank) {
  if (bank < 0)
    return 0xFF;  // no chips answer on a bank the module does not have
  EraseState& state = erase_[bank];
  if (!state.running)
    return 0;
  const auto busyFor = std::chrono::milliseconds(config_.timing.eraseMilliseconds);
  if (std::chrono::steady_clock::now() - state.started < busyFor)
    return 1;
  const std::vector<uint8_t>& script = config_.eraseScript[bank];
  uint8_t answer = 0;
  if (!script.empty()) {
    answer = script[std::min(state.next, script.size() - 1)];
    ++state.next;
  }
  if (answer == 0) {
    state.running = false;
    flash_.ForgetBeforeErase(bank);  // done: nothing can take it back now
  }
  return answer;
}

void DeviceModel::PowerLoss() {
  SettleErases();
  for (int bank = 0; bank < 2; ++bank) {
    EraseState& state = erase_[bank];
    if (state.running && state.finishes) {
      if (state.clearsFlash)
        flash_.EraseBank(bank);  // the chips had not got far: as if they had
      flash_.RestoreBeforeErase(bank, flash_.BankSize() / 2);
    }
    state = EraseState{};
  }
  ResetTransport();
  bus_.Reset();
  bankByte_ = 1;
  address_ = 0;
  busWidth_ = 8;
}

void DeviceModel::SpoilRead(uint8_t* out, size_t size) const {
  const StuckBit& stuck = config_.stuckBit;
  if (stuck.lane != ByteLane::None) {
    const auto bit = static_cast<uint8_t>(1u << stuck.bit);
    const bool oddFirst = (address_ & 1) != 0;
    for (size_t i = oddFirst == (stuck.lane == ByteLane::Odd) ? 0 : 1; i < size; i += 2)
      out[i] = static_cast<uint8_t>(stuck.level ? out[i] | bit : out[i] & ~bit);
  }
  const ReadFlip& flip = config_.readFlip;
  if (flip.atReadBlock == readBlocks_ && flip.offset < size)
    out[flip.offset] ^= flip.mask;
}

int DeviceModel::Send(uint8_t* out, size_t size) {
  SettleErases();
  if (answers_.empty())
    return -ETIMEDOUT;
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  switch (answer.kind) {
    case AnswerKind::Bytes:
    case AnswerKind::Poll: {
      const size_t n = std::min(size, answer.bytes.size());
      std::copy_n(answer.bytes.begin(), n, out);
      return static_cast<int>(n);
    }
    case AnswerKind::ReadBlock:
      Throttle(size, config_.timing.readBytesPerSecond);
      flash_.Read(BankIndex(bankByte_), address_, out, size);
      SpoilRead(out, size);
      address_ += static_cast<uint32_t>(size);
      ++readBlocks_;
      return static_cast<int>(size);
    case AnswerKind::BusRead:
      bus_.Read(out, size,
                [&](uint8_t* o, size_t n) { flash_.Read(BankIndex(bankByte_), address_, o, n); });
      return static_cast<int>(size);
  }
  return -ETIMEDOUT;
}

}  // namespace sim
