#include "tests/usbfs/usbfs_testbed.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace usbfs {

UsbfsTestbed::UsbfsTestbed() : testbed_(umockdev_testbed_new()) {
  gchar* root = umockdev_testbed_get_root_dir(testbed_);
  root_ = root;
  g_free(root);
  // A machine with USB always has the bus directory, even with nothing plugged in. The
  // library keeps its old bus and device lists when it cannot list this directory.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(root_) / "dev/bus/usb", ignored);
}

UsbfsTestbed::~UsbfsTestbed() {
  for (const auto& programmer : programmers_)
    umockdev_testbed_detach_ioctl(testbed_, programmer->Node().c_str(), nullptr);
  g_object_unref(testbed_);
  programmers_.clear();
}

UsbfsProgrammer& UsbfsTestbed::AddProgrammer(const NodeAddress& address,
                                             const sim::ModelConfig& model, UsbfsFaults faults,
                                             uint16_t vendorId, uint16_t productId) {
  auto programmer = std::make_unique<UsbfsProgrammer>(address, model, std::move(faults));
  GError* error = nullptr;
  // The handler goes first: the node is created as a client of it.
  if (!umockdev_testbed_attach_ioctl(testbed_, programmer->Node().c_str(), programmer->Handler(),
                                     &error) ||
      !umockdev_testbed_add_from_string(
          testbed_, DeviceDescription(address, ProgrammerDescriptors(vendorId, productId)).c_str(),
          &error)) {
    ADD_FAILURE() << "umockdev refused " << programmer->Node() << ": "
                  << (error ? error->message : "no reason given");
    if (error)
      g_error_free(error);
  }
  programmers_.push_back(std::move(programmer));
  return *programmers_.back();
}

void UsbfsTestbed::Unplug(const UsbfsProgrammer& programmer) {
  umockdev_testbed_remove_device(testbed_, SysPath(programmer.Address()).c_str());
  // umockdev leaves the node file behind; the kernel would not.
  std::error_code ignored;
  std::filesystem::remove(NodeFile(programmer), ignored);
}

std::filesystem::path UsbfsTestbed::NodeFile(const UsbfsProgrammer& programmer) const {
  return std::filesystem::path(root_) / programmer.Node().substr(1);
}

int UsbfsTestbed::OpenDescriptors(const UsbfsProgrammer& programmer) const {
  const std::filesystem::path node = NodeFile(programmer);
  int count = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
    const auto target = std::filesystem::read_symlink(entry.path(), ignored);
    if (!ignored && target == node)
      ++count;
  }
  return count;
}

}  // namespace usbfs
