// Settings of one simulated USB device: its identity, the programmer firmware behind it
// and the faults it should show. Plain values, so tests and the config file fill them.
#pragma once

#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

inline constexpr uint16_t kProgrammerVendor = 0xFFFF;
inline constexpr uint16_t kProgrammerProduct = 0x0201;

// What an untouched flash module holds.
enum class InitialContents {
  Erased,   // 0xFF everywhere
  Zero,     // 0x00 everywhere
  Pattern,  // PatternByte of the dump offset
};

// A ReadBlock answer with some of its bits turned over on the way, as a flaky read gives
// it. Only that answer changes; the flash keeps its data.
struct ReadFlip {
  int atReadBlock = -1;  // the Nth ReadBlock data phase, counted from 0 since usb_open
  uint32_t offset = 0;   // the byte within that answer (none when the answer is shorter)
  uint8_t mask = 0;      // the bits XOR-ed into it
};

// One data line of the module stuck at a level: a bit of the bytes on one lane of the
// 16-bit bus (even or odd flash addresses) reads as `level` in every ReadBlock answer,
// whatever the flash holds. The flash keeps the true data.
enum class ByteLane { None, Even, Odd };
struct StuckBit {
  ByteLane lane = ByteLane::None;  // None: every line works
  int bit = 0;                     // 0 to 7
  bool level = false;              // true: reads 1; false: reads 0
};

// Bytes per second of the data phases and the length of an erase; 0 means instant.
// Off by default so that tests never wait.
struct Timing {
  double readBytesPerSecond = 0;
  double writeBytesPerSecond = 0;
  int eraseMilliseconds = 0;

  // Looks like a USB 2.0 programmer: 64 MiB read in about 3 s, written in about 8 s,
  // erased in 3 s.
  static Timing Usb2() { return Timing{20e6, 8e6, 3000}; }
};

// The programmer firmware and the module it carries.
struct ModelConfig {
  std::vector<uint8_t> version{2, 1};  // GetVersion answer; one byte gives a short answer
  uint8_t moduleType = 0x03;
  // GetChipId answer: the manufacturer, then the low byte of each device ID word (here a
  // Macronix MX29GL128E, 16 MiB).
  std::array<uint8_t, 4> chipId{0xC2, 0x7E, 0x21, 0x01};
  int sizeMiB = 16;       // whole module: 16, 32 or 64
  bool dualBank = false;  // two banks of sizeMiB / 2 each
  InitialContents contents = InitialContents::Pattern;

  // Answers to ErasePoll and EraseCheck of one bank after EraseStart, taken in order by
  // either command; the last one repeats. The bank's flash becomes 0xFF when it first
  // answers 0. Index 0 is the first bank (bank byte 1), index 1 the second (bank byte 0).
  std::array<std::vector<uint8_t>, 2> eraseScript{std::vector<uint8_t>{1, 1, 1, 0},
                                                  std::vector<uint8_t>{1, 1, 1, 0}};

  // WriteBlock status: writeStatus on block writeStatusAtBlock (counted from 0 since the
  // device was opened), or on every block when that is -1. A non-zero status leaves the
  // block unprogrammed and is followed by writeErrorAnswer (fewer than 11 bytes: short).
  uint8_t writeStatus = 0;
  int writeStatusAtBlock = -1;
  std::vector<uint8_t> writeErrorAnswer{0x01, 0x02, 0x03, 0x04, 0x05, 0x11,
                                        0x12, 0x13, 0x14, 0x15, 0xFF};

  // Raw bus cycles: what BusRead gives after the lock-register unlock sequence, and how
  // many times bit 6 of the status changes between consecutive reads after a buffer
  // program before it stays steady.
  std::array<uint8_t, 4> lockRegister{0x01, 0x00, 0x01, 0x00};
  int statusToggles = 0;
  // -1: every byte of a status read holds the status. A byte value: only byte 1 of each
  // four does, the others hold this value (so a host reading the wrong byte is seen).
  int statusOtherBytes = -1;

  ReadFlip readFlip{};
  StuckBit stuckBit{};

  Timing timing{};
};

enum class FaultKind {
  Error,    // a negative result (-EIO)
  Short,    // one byte less than asked
  Timeout,  // -ETIMEDOUT, returned at once
};

// How a lost transfer looks to the host. The device has done its part all the same.
enum class LossKind {
  Timeout,  // -ETIMEDOUT
  Stall,    // -EPIPE
  Short,    // half the bytes: an IN transfer delivers the first half of the answer
};

// The transfers that the loss and drop faults count, each over the programmer's whole
// life (from the bus's creation, not restarting at usb_open). A transfer counts when it
// is made on a handle of the programmer as it is now, whatever becomes of it.
enum class DropAt {
  Never,
  Transfer,    // any bulk transfer, either direction
  ReadBlock,   // an IN transfer that takes a ReadBlock answer
  WriteBlock,  // the data phase (second OUT transfer) of a WriteBlock
  ErasePoll,   // an IN transfer that takes the answer of an ErasePoll or EraseCheck
};

// The programmer dropping off the bus, once: the chosen transfer and every later one on
// the handles opened before fail with -ENODEV (usb_close still works), it is missing from
// the bus list for a while, then it is back with the next free device number on its bus,
// reset as after power-on: address 0, bank byte 1, 8-bit bus, no answers waiting, and
// an erase the host has not yet seen finish abandoned half done (the first half of its
// bank blank, the rest as before the erase; a poll of it answers 0).
struct DropOff {
  DropAt at = DropAt::Never;
  int index = 0;  // the Nth transfer of kind `at`, from 0
  // It is missing from this many usb_find_devices after the drop, and from any before
  // goneMilliseconds have passed; the first one after both lists it again.
  int goneScans = 1;
  int goneMilliseconds = 0;
  // What it answers after its return, as with another module plugged in (the flash keeps
  // its size and contents): -1 and none keep the module's own.
  int moduleType = -1;
  std::optional<std::array<uint8_t, 4>> chipId{};
};

// Faults of the USB layer. Indices count from 0 and restart at every usb_open (those of
// the lost transfers and the drop excepted, see DropAt); -1: never.
struct UsbFaults {
  bool openFails = false;
  bool setConfigurationFails = false;
  bool claimFails = false;
  // The errno those two fail with: EBUSY, another program has the programmer claimed;
  // EPERM, say, for a node opened read-only (no write permission).
  int refusalErrno = EBUSY;
  FaultKind kind = FaultKind::Error;
  int atTransfer = -1;    // the Nth transfer in either direction
  int atReadBlock = -1;   // the data phase of the Nth ReadBlock
  int atWriteBlock = -1;  // the data phase of the Nth WriteBlock
  int vanishAfter = -1;   // from this transfer on everything fails with -ENODEV
  // The Nth transfer in either direction, and the Nth IN transfer, are held back for
  // holdMilliseconds before they go on as usual. A hold longer than the transfer's
  // timeout ends at the timeout with -ETIMEDOUT instead, and the transfer does not
  // happen. A signal does not cut a hold short.
  int holdTransfer = -1;
  int holdInTransfer = -1;
  int holdMilliseconds = 0;
  // Lost transfers: the device does its part and the host is told `lossKind`. A lost
  // ReadBlock or poll answer is taken off the device (its address moves on past the
  // block, its erase script past the answer); a lost WriteBlock data phase programs only
  // the first half of the block, moves the address on by that half and answers no
  // status. The chosen Nth of each kind, over the programmer's life (see DropAt).
  LossKind lossKind = LossKind::Timeout;
  int loseReadBlock = -1;
  int loseWriteBlock = -1;
  int loseErasePoll = -1;
  // Also each of those data transfers with a chance of one in lossRate (0: never), drawn
  // from a sequence that lossSeed fixes: the same seed loses the same transfers.
  int lossRate = 0;
  uint64_t lossSeed = 0;
  DropOff drop{};
};

struct DeviceConfig {
  uint16_t vendorId = kProgrammerVendor;
  uint16_t productId = kProgrammerProduct;
  ModelConfig model{};
  UsbFaults faults{};
};

}  // namespace sim
