#include "sim/random_faults.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>

#include "sim/in_process_usb.h"

namespace sim {

namespace {

RandomFaults* currentFaults = nullptr;  // the simulation's own state, not the tool's
UsbApi inner = UnboundUsbApi();         // the in-process table the layer forwards to

constexpr int kReadBlockOpcode = 0x12;
constexpr int kWriteErrorAnswerSize = 11;

bool IsWriteOpcode(uint8_t opcode) {
  return opcode == 0x11 || opcode == 0xA0;
}

int LayerBulkWrite(usb_dev_handle* h, int ep, const char* bytes, int size, int timeout) {
  RandomFaults* f = RandomFaults::Current();
  return f ? f->BulkWrite(h, ep, bytes, size, timeout) : -2;
}
int LayerBulkRead(usb_dev_handle* h, int ep, char* bytes, int size, int timeout) {
  RandomFaults* f = RandomFaults::Current();
  return f ? f->BulkRead(h, ep, bytes, size, timeout) : -2;
}
int LayerClose(usb_dev_handle* h) {
  RandomFaults* f = RandomFaults::Current();
  return f ? f->Close(h) : -2;
}
usb_dev_handle* LayerOpen(struct usb_device* device) {
  RandomFaults* f = RandomFaults::Current();
  return f ? f->Open(device) : nullptr;
}

}  // namespace

const char* RandomFaultName(RandomFaultKind kind) {
  switch (kind) {
    case RandomFaultKind::BitFlip:
      return "BitFlip";
    case RandomFaultKind::ShortRead:
      return "ShortRead";
    case RandomFaultKind::FailedWrite:
      return "FailedWrite";
    case RandomFaultKind::WriteStatus:
      return "WriteStatus";
    case RandomFaultKind::Vanish:
      return "Vanish";
  }
  return "?";
}

RandomFaults::RandomFaults(SimBus& bus, uint64_t seed, std::vector<PlannedFault> plan)
    : bus_(bus), draws_(seed), seed_(seed), plan_(std::move(plan)) {
  done_.assign(plan_.size(), false);
}

RandomFaults::RandomFaults(SimBus& bus, uint64_t seed, long span)
    : RandomFaults(bus, seed, std::vector<PlannedFault>{}) {
  // A quarter of the seeds run clean, half get one fault, the rest two or three.
  const uint64_t draw = Next() % 8;
  const int count = draw < 2 ? 0 : draw < 6 ? 1 : draw < 7 ? 2 : 3;
  constexpr RandomFaultKind kKinds[] = {RandomFaultKind::BitFlip, RandomFaultKind::ShortRead,
                                        RandomFaultKind::FailedWrite, RandomFaultKind::WriteStatus,
                                        RandomFaultKind::Vanish};
  for (int i = 0; i < count; ++i) {
    const auto kind = kKinds[Next() % std::size(kKinds)];
    plan_.push_back({kind, static_cast<long>(Next() % static_cast<uint64_t>(std::max(span, 1L)))});
  }
  std::sort(plan_.begin(), plan_.end(), [](const PlannedFault& a, const PlannedFault& b) {
    return a.fromTransfer < b.fromTransfer;
  });
  done_.assign(plan_.size(), false);
}

RandomFaults::~RandomFaults() {
  if (currentFaults == this)
    currentFaults = nullptr;
}

RandomFaults* RandomFaults::Current() {
  return currentFaults;
}

UsbApi RandomFaults::Api() {
  inner = InProcessUsbApi(bus_);
  currentFaults = this;
  UsbApi api = inner;
  api.usb_open = LayerOpen;
  api.usb_close = LayerClose;
  api.usb_bulk_write = LayerBulkWrite;
  api.usb_bulk_read = LayerBulkRead;
  return api;
}

UsbBinder RandomFaults::Binder() {
  return [this] { return Api(); };
}

PlannedFault* RandomFaults::Due(long index, std::initializer_list<RandomFaultKind> kinds) {
  for (size_t i = 0; i < plan_.size(); ++i) {
    if (done_[i] || plan_[i].fromTransfer > index)
      continue;
    if (std::find(kinds.begin(), kinds.end(), plan_[i].kind) != kinds.end())
      return &plan_[i];
  }
  return nullptr;
}

void RandomFaults::Fired(PlannedFault* fault, long index, InjectedFault record) {
  done_[static_cast<size_t>(fault - plan_.data())] = true;
  record.kind = fault->kind;
  record.transfer = index;
  injected_.push_back(record);
}

bool RandomFaults::IsClosed(usb_dev_handle* handle) const {
  return std::find(closed_.begin(), closed_.end(), handle) != closed_.end();
}

long RandomFaults::BeginTransfer(usb_dev_handle* handle) {
  if (IsClosed(handle))
    ++afterClose_;
  const long index = transfers_++;
  if (PlannedFault* vanish = Due(index, {RandomFaultKind::Vanish})) {
    Fired(vanish, index, {});
    vanished_ = true;
  }
  return index;
}

usb_dev_handle* RandomFaults::Open(struct usb_device* device) {
  // A fresh open starts the protocol over, as the device forgets what it was doing.
  expect_ = Expect::Request;
  readBlockPending_ = false;
  return inner.usb_open(device);
}

int RandomFaults::Close(usb_dev_handle* handle) {
  const int result = inner.usb_close(handle);
  if (result == 0)
    closed_.push_back(handle);
  return result;
}

int RandomFaults::BulkWrite(usb_dev_handle* handle, int endpoint, const char* bytes, int size,
                            int timeout) {
  const long index = BeginTransfer(handle);
  const bool dataPhase = expect_ == Expect::WriteData;
  expect_ = Expect::Request;
  readBlockPending_ = false;
  if (vanished_)
    return -ENODEV;

  int result = 0;
  if (PlannedFault* failing = Due(index, {RandomFaultKind::FailedWrite})) {
    // Half the time the device took the bytes and only the host's side went wrong.
    if (Next() % 2 == 0)
      inner.usb_bulk_write(handle, endpoint, bytes, size, timeout);
    Fired(failing, index, {});
    return -EIO;
  }
  result = inner.usb_bulk_write(handle, endpoint, bytes, size, timeout);
  if (result != size || size < 1)
    return result;
  const auto opcode = static_cast<uint8_t>(bytes[0]);
  if (dataPhase)
    expect_ = Expect::WriteStatus;
  else if (size == 1 && IsWriteOpcode(opcode))
    expect_ = Expect::WriteData;
  else
    readBlockPending_ = size == 1 && opcode == kReadBlockOpcode;
  return result;
}

int RandomFaults::BulkRead(usb_dev_handle* handle, int endpoint, char* bytes, int size,
                           int timeout) {
  const long index = BeginTransfer(handle);
  const bool blockData = readBlockPending_;
  const Expect expect = expect_;
  readBlockPending_ = false;
  expect_ = Expect::Request;
  if (vanished_)
    return -ENODEV;
  auto* out = reinterpret_cast<uint8_t*>(bytes);

  // The error answer after an injected write status comes from this layer: the device
  // itself reported success and has nothing more to say.
  if (expect == Expect::ErrorAnswer) {
    const int n = std::min(size, static_cast<int>(errorAnswer_.size()));
    std::copy_n(errorAnswer_.begin(), std::max(n, 0), out);
    return n;
  }

  int result = inner.usb_bulk_read(handle, endpoint, bytes, size, timeout);
  if (blockData)
    ++readBlocks_;
  if (result != size || size < 1)
    return result;
  if (PlannedFault* flip = blockData ? Due(index, {RandomFaultKind::BitFlip}) : nullptr) {
    InjectedFault record;
    record.readBlock = readBlocks_ - 1;
    record.offset = static_cast<size_t>(Next() % static_cast<uint64_t>(size));
    record.mask = static_cast<uint8_t>(1u << (Next() % 8));
    out[record.offset] ^= record.mask;
    Fired(flip, index, record);
  } else if (PlannedFault* status = expect == Expect::WriteStatus && size == 1
                                        ? Due(index, {RandomFaultKind::WriteStatus})
                                        : nullptr) {
    out[0] = static_cast<uint8_t>(1 + Next() % 255);
    // Mostly a whole answer; now and then a short one.
    const size_t answerSize =
        Next() % 4 == 0 ? Next() % kWriteErrorAnswerSize : kWriteErrorAnswerSize;
    errorAnswer_.resize(answerSize);
    for (uint8_t& b : errorAnswer_) b = static_cast<uint8_t>(Next());
    expect_ = Expect::ErrorAnswer;
    Fired(status, index, {});
  } else if (PlannedFault* shortRead = Due(index, {RandomFaultKind::ShortRead})) {
    result = static_cast<int>(Next() % static_cast<uint64_t>(size));
    Fired(shortRead, index, {});
  }
  return result;
}

std::string RandomFaults::Describe() const {
  std::string text = "seed " + std::to_string(seed_) + ":";
  for (const PlannedFault& f : plan_)
    text += std::string(" ") + RandomFaultName(f.kind) + "@" + std::to_string(f.fromTransfer);
  text += " fired:";
  for (const InjectedFault& f : injected_)
    text += std::string(" ") + RandomFaultName(f.kind) + "@" + std::to_string(f.transfer);
  return text;
}

}  // namespace sim
