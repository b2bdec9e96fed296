// Seeded random faults between the host and a simulated programmer, for soak runs. The
// layer sits in front of the in-process libusb table of a SimBus and spoils chosen
// transfers on their way: bit flips in block data, short answers, failed OUT transfers, a
// non-zero WriteBlock status with an error answer, or the device vanishing. The same seed
// always gives the same faults at the same transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "programmer/usb_api.h"
#include "sim/seeded_draws.h"
#include "sim/sim_bus.h"

namespace sim {

enum class RandomFaultKind {
  BitFlip,      // one bit of a ReadBlock data phase flipped; the transfer still looks whole
  ShortRead,    // an IN transfer delivers fewer bytes than asked
  FailedWrite,  // an OUT transfer fails (the device may or may not have taken the bytes)
  WriteStatus,  // the WriteBlock status byte is not 0 and an error answer follows
  Vanish,       // from this transfer on every transfer fails with -ENODEV
};

const char* RandomFaultName(RandomFaultKind kind);

// A fault waiting in the plan: it fires at the first transfer from `fromTransfer` on that
// it fits (a bit flip only on block data, a write status only on a WriteBlock status).
struct PlannedFault {
  RandomFaultKind kind = RandomFaultKind::Vanish;
  long fromTransfer = 0;
};

// A fault that fired.
struct InjectedFault {
  RandomFaultKind kind = RandomFaultKind::Vanish;
  long transfer = 0;    // index among all transfers through the layer, from 0
  long readBlock = -1;  // BitFlip: index among the ReadBlock data phases seen, from 0
  size_t offset = 0;    // BitFlip: byte within the block
  uint8_t mask = 0;     // BitFlip: the bit flipped
};

class RandomFaults {
 public:
  // The plan is drawn from `seed`: up to three faults spread over the first `span`
  // transfers; many seeds get none or one.
  RandomFaults(SimBus& bus, uint64_t seed, long span);
  // An explicit plan (tests of the layer itself); `seed` still drives the details.
  RandomFaults(SimBus& bus, uint64_t seed, std::vector<PlannedFault> plan);
  ~RandomFaults();
  RandomFaults(const RandomFaults&) = delete;
  RandomFaults& operator=(const RandomFaults&) = delete;

  // The table to hand the tool: it reaches `bus` through this layer. Makes this layer
  // (and its bus) the current one.
  UsbApi Api();
  UsbBinder Binder();

  const std::vector<PlannedFault>& Plan() const { return plan_; }
  const std::vector<InjectedFault>& Injected() const { return injected_; }
  long TransferCount() const { return transfers_; }
  long ReadBlocksSeen() const { return readBlocks_; }
  // Transfers attempted on a handle after its usb_close (also those the layer failed
  // itself, which the bus never sees).
  int TransfersAfterClose() const { return afterClose_; }
  // "seed 17: BitFlip@120 ShortRead@2044", for failure messages.
  std::string Describe() const;

  // The libusb calls, as the table forwards them.
  int BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size, int timeout);
  int BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size, int timeout);
  int Close(usb_dev_handle* handle);
  usb_dev_handle* Open(struct usb_device* device);

  static RandomFaults* Current();

 private:
  // What the host is in the middle of, followed from the requests it sends.
  enum class Expect { Request, WriteData, WriteStatus, ErrorAnswer };

  uint64_t Next() { return draws_.Next(); }
  // The first pending planned fault of one of `kinds` due at this transfer; null if none.
  PlannedFault* Due(long index, std::initializer_list<RandomFaultKind> kinds);
  void Fired(PlannedFault* fault, long index, InjectedFault record);
  // Counts the transfer and lets a due Vanish fire; returns the transfer's index.
  long BeginTransfer(usb_dev_handle* handle);
  bool IsClosed(usb_dev_handle* handle) const;

  SimBus& bus_;
  SeededDraws draws_;
  uint64_t seed_;
  std::vector<PlannedFault> plan_;
  std::vector<bool> done_;
  std::vector<InjectedFault> injected_;
  long transfers_ = 0;
  long readBlocks_ = 0;
  bool vanished_ = false;
  int afterClose_ = 0;
  bool readBlockPending_ = false;
  Expect expect_ = Expect::Request;
  std::vector<uint8_t> errorAnswer_;
  std::vector<usb_dev_handle*> closed_;
};

}  // namespace sim
