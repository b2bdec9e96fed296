#include "tests/usbfs/usbfs_programmer.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace usbfs {

namespace {

// Resolves a pointer inside `data` to a local copy of the client's memory; a reference
// the caller owns, or null.
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
  GError* error = nullptr;
  UMockdevIoctlData* resolved = umockdev_ioctl_data_resolve(data, offset, length, &error);
  if (error != nullptr)
    g_error_free(error);
  return resolved;
}

// The int an ioctl's pointer argument points to (interface or configuration number).
bool ReadInt(UMockdevIoctlData* arg, int& value) {
  UMockdevIoctlData* data = Resolve(arg, 0, sizeof(int));
  if (data == nullptr)
    return false;
  std::memcpy(&value, data->data, sizeof value);
  g_object_unref(data);
  return true;
}

std::string RequestName(unsigned long request) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", request);
  return text;
}

bool IsIn(const usbdevfs_urb& urb) {
  return (urb.endpoint & 0x80) != 0;
}

}  // namespace

UsbfsProgrammer::UsbfsProgrammer(const NodeAddress& address, const sim::ModelConfig& model,
                                 UsbfsFaults faults)
    : address_(address), faults_(std::move(faults)), model_(model) {
  handler_ = umockdev_ioctl_base_new();
  g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(OnIoctl), this);
}

UsbfsProgrammer::~UsbfsProgrammer() {
  std::lock_guard lock(mutex_);
  for (auto* queue : {&inFlight_, &completed_})
    for (Urb& urb : *queue) g_object_unref(urb.data);
  g_signal_handlers_disconnect_by_data(handler_, this);
  g_object_unref(handler_);
}

gboolean UsbfsProgrammer::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  auto* programmer = static_cast<UsbfsProgrammer*>(self);
  Reply reply;
  {
    std::lock_guard lock(programmer->mutex_);
    reply = programmer->Handle(umockdev_ioctl_client_get_request(client),
                               umockdev_ioctl_client_get_arg(client));
    programmer->lastAnswer_ = std::chrono::system_clock::now();
  }
  umockdev_ioctl_client_complete(client, reply.result, reply.error);
  return TRUE;
}

UsbfsProgrammer::Reply UsbfsProgrammer::Log(std::string name, int argument, int error) {
  ioctls_.push_back({std::move(name), argument, error});
  return error == 0 ? Reply{0, 0} : Reply{-1, error};
}

UsbfsProgrammer::Reply UsbfsProgrammer::Handle(unsigned long request, UMockdevIoctlData* arg) {
  switch (request) {
    case USBDEVFS_CONNECTINFO: {
      UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_connectinfo));
      if (data == nullptr)
        return Log("CONNECTINFO", 0, EFAULT);
      usbdevfs_connectinfo info{};
      info.devnum = static_cast<unsigned>(address_.device);
      std::memcpy(data->data, &info, sizeof info);
      g_object_unref(data);
      return Log("CONNECTINFO", address_.device, vanished_ ? ENODEV : 0);
    }
    case USBDEVFS_SETCONFIGURATION: {
      const Reply reply = IntegerRequest("SETCONFIGURATION", arg, faults_.setConfigurationErrno);
      // SET_CONFIGURATION reaches the device itself: a firmware restarts its transport.
      if (reply.error == 0)
        pipes_.Reset();
      return reply;
    }
    case USBDEVFS_CLAIMINTERFACE:
      return IntegerRequest("CLAIMINTERFACE", arg, faults_.claimErrno);
    case USBDEVFS_RELEASEINTERFACE:
      return IntegerRequest("RELEASEINTERFACE", arg, 0);
    case USBDEVFS_SUBMITURB:
      return Submit(arg);
    case USBDEVFS_REAPURBNDELAY:
      return Reap(arg, false);
    case USBDEVFS_REAPURB:
      return Reap(arg, true);
    case USBDEVFS_DISCARDURB:
      return Discard(arg);
    case USBDEVFS_IOCTL:
      // Asking interface 0's kernel driver (a hub's child count): there is none.
      return Log("IOCTL", 0, vanished_ ? ENODEV : ENODATA);
    default:
      return Log(RequestName(request), 0, vanished_ ? ENODEV : ENOTTY);
  }
}

UsbfsProgrammer::Reply UsbfsProgrammer::IntegerRequest(const char* name, UMockdevIoctlData* arg,
                                                       int failWith) {
  int value = 0;
  if (!ReadInt(arg, value))
    return Log(name, 0, EFAULT);
  return Log(name, value, vanished_ ? ENODEV : failWith);
}

UrbView UsbfsProgrammer::View(const usbdevfs_urb& urb) const {
  return UrbView{static_cast<int>(urbs_.size()),
                 IsIn(urb),
                 urb.buffer_length,
                 model_.ReadBlocks(),
                 pipes_.PendingIn(),
                 model_.WriteBlocks()};
}

UsbfsProgrammer::Reply UsbfsProgrammer::Submit(UMockdevIoctlData* arg) {
  UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_urb));
  if (data == nullptr)
    return Log("SUBMITURB", 0, EFAULT);
  auto& urb = *reinterpret_cast<usbdevfs_urb*>(data->data);
  const UrbView view = View(urb);

  UrbRecord record;
  record.index = view.index;
  record.endpoint = urb.endpoint;
  record.length = urb.buffer_length;
  record.dataPhase = !view.in && pipes_.InDataPhase();
  if (!vanished_ && faults_.vanishWhen && faults_.vanishWhen(view))
    vanished_ = true;
  int refused = 0;
  if (vanished_)
    refused = ENODEV;
  else if (urb.type != USBDEVFS_URB_TYPE_BULK || (urb.endpoint != 0x04 && urb.endpoint != 0x85))
    refused = ENOENT;  // no such endpoint on interface 0
  else if (urb.buffer_length < 0)
    refused = EINVAL;
  if (refused != 0) {
    record.refusedErrno = refused;
    urbs_.push_back(std::move(record));
    g_object_unref(data);
    return Log("SUBMITURB", view.index, refused);
  }

  UMockdevIoctlData* buffer = nullptr;
  if (urb.buffer_length > 0) {
    buffer = Resolve(data, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(urb.buffer_length));
    if (buffer == nullptr) {
      g_object_unref(data);
      return Log("SUBMITURB", view.index, EFAULT);
    }
  }
  urb.status = 0;
  urb.actual_length = 0;
  urbs_.push_back(std::move(record));
  // The library took its deadline after the answer to its previous call.
  const Urb queued{data, urbs_.size() - 1, lastAnswer_};
  if (!hung_ && faults_.hangWhen && faults_.hangWhen(view)) {
    hung_ = true;
    inFlight_.push_back(queued);
  } else {
    Serve(urbs_.back(), urb, buffer ? buffer->data : nullptr);
    if (urbs_.back().completed)
      completed_.push_back(queued);
    else
      inFlight_.push_back(queued);  // nothing to send: the device NAKs
  }
  if (buffer != nullptr)
    g_object_unref(buffer);  // `data` keeps its resolved buffer for the reap
  return Log("SUBMITURB", view.index, 0);
}

void UsbfsProgrammer::Serve(UrbRecord& record, usbdevfs_urb& urb, uint8_t* buffer) {
  const auto length = static_cast<size_t>(urb.buffer_length);
  size_t moved = 0;
  if (IsIn(urb)) {
    const auto delivered = pipes_.In(buffer, length);
    if (!delivered)
      return;
    moved = *delivered;
  } else {
    pipes_.Out(buffer, length);
    moved = length;
  }
  urb.actual_length = static_cast<int>(moved);
  record.actual = static_cast<int>(moved);
  record.completed = true;
  record.head.assign(buffer, buffer + std::min(moved, kHeadBytes));
}

UsbfsProgrammer::Reply UsbfsProgrammer::Reap(UMockdevIoctlData* arg, bool wait) {
  const char* name = wait ? "REAPURB" : "REAPURBNDELAY";
  if (completed_.empty()) {
    // A disconnected device still hands back what completed; otherwise it is gone. A
    // blocking reap with nothing completed would hang the single-threaded host for good
    // (only a discard could end it): it is answered as interrupted, so a test shows it
    // in the record instead of hanging.
    if (vanished_)
      return Log(name, 0, ENODEV);
    return Log(name, 0, wait ? EINTR : EAGAIN);
  }
  Urb urb = completed_.front();
  completed_.pop_front();
  umockdev_ioctl_data_set_ptr(arg, 0, urb.data);
  urbs_[urb.record].reaped = true;
  g_object_unref(urb.data);  // the reply's argument now holds it until it is synced back
  return Log(name, urbs_[urb.record].index, 0);
}

UsbfsProgrammer::Reply UsbfsProgrammer::Discard(UMockdevIoctlData* arg) {
  unsigned long address = 0;
  std::memcpy(&address, arg->data, std::min(sizeof address, static_cast<size_t>(arg->data_len)));
  if (vanished_)
    return Log("DISCARDURB", 0, ENODEV);
  const auto found = std::find_if(inFlight_.begin(), inFlight_.end(),
                                  [&](const Urb& u) { return u.data->client_addr == address; });
  if (found == inFlight_.end())
    return Log("DISCARDURB", 0, EINVAL);
  Urb urb = *found;
  inFlight_.erase(found);
  reinterpret_cast<usbdevfs_urb*>(urb.data->data)->status = -ENOENT;
  UrbRecord& record = urbs_[urb.record];
  record.discarded = true;
  record.status = -ENOENT;
  record.held = std::chrono::system_clock::now() - urb.transferStart;
  completed_.push_back(urb);
  return Log("DISCARDURB", record.index, 0);
}

std::vector<IoctlRecord> UsbfsProgrammer::Ioctls() const {
  std::lock_guard lock(mutex_);
  return ioctls_;
}

std::vector<std::string> UsbfsProgrammer::IoctlNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const IoctlRecord& r : ioctls_) names.push_back(r.name);
  return names;
}

std::vector<UrbRecord> UsbfsProgrammer::Urbs() const {
  std::lock_guard lock(mutex_);
  return urbs_;
}

std::vector<std::string> UsbfsProgrammer::Requests() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> requests;
  for (const UrbRecord& r : urbs_) {
    if ((r.endpoint & 0x80) != 0 || r.dataPhase || !r.completed)
      continue;
    std::string text;
    char hex[4];
    for (size_t i = 0; i < r.head.size(); ++i) {
      std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", r.head[i]);
      text += hex;
    }
    requests.push_back(text);
  }
  return requests;
}

int UsbfsProgrammer::InFlight() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(inFlight_.size());
}

bool UsbfsProgrammer::Vanished() const {
  std::lock_guard lock(mutex_);
  return vanished_;
}

void UsbfsProgrammer::ClearRecord() {
  std::lock_guard lock(mutex_);
  ioctls_.clear();
  // Records of URBs still queued stay reachable by index, so only finished ones go.
  if (inFlight_.empty() && completed_.empty())
    urbs_.clear();
}

}  // namespace usbfs
