#include "programmer/programmer_link.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "programmer/commands.h"

namespace {

// A failure between opening and the version check: the interface may not even be
// claimed, so the handle is only closed.
LinkStatus FailOpen(ProgrammerLink& link, LinkStatus status) {
  link.api.usb_close(link.handle);
  link.handle = nullptr;
  return status;
}

}  // namespace

std::string TransferFaultText(const TransferFault& fault) {
  char request[24];
  std::snprintf(request, sizeof request, "request %02x, %s: ", fault.request,
                fault.answer ? "answer" : "sent");
  if (fault.result < 0)
    return request + std::to_string(fault.result) + " (" + std::strerror(-fault.result) + ")";
  return request + std::to_string(fault.result) + " of " + std::to_string(fault.size) + " bytes";
}

LinkStatus FindProgrammer(ProgrammerLink& link, const UsbBinder& bind,
                          const std::optional<DeviceChoice>& choice,
                          const std::string& usbDevices) {
  link.api = bind();
  link.handle = nullptr;
  link.found.clear();
  link.choice = choice;
  link.opened.reset();
  const std::vector<FoundProgrammer> found = FindProgrammers(link.api, usbDevices);
  for (const FoundProgrammer& programmer : found) link.found.push_back(programmer.place);
  // Without a choice a second programmer is never guessed at: the operator must say
  // which, or keep only one connected.
  if (!choice && found.size() > 1)
    return LinkStatus::SeveralFound;
  for (const FoundProgrammer& programmer : found) {
    if (choice && !choice->Matches(programmer.place))
      continue;
    link.handle = link.api.usb_open(programmer.device);
    if (link.handle == nullptr)
      return LinkStatus::NotFound;
    link.opened = programmer.place;
    return LinkStatus::Ok;
  }
  return choice ? LinkStatus::ChoiceNotFound : LinkStatus::NotFound;
}

const char* LinkStatusText(LinkStatus status) {
  switch (status) {
    case LinkStatus::Ok:
      return "";
    case LinkStatus::NotFound:
      return "Device not found";
    case LinkStatus::SetConfigurationError:
      return "Device set configuration error";
    case LinkStatus::InterfaceError:
      return "Device interface error";
    case LinkStatus::DeviceError:
      return "Device error";
    case LinkStatus::SeveralFound:
      return "Several programmers found. Keep only one connected.";
    case LinkStatus::ChoiceNotFound:
      return "Chosen programmer not found";
    case LinkStatus::SetConfigurationInUse:
      return "Device set configuration error: the programmer is in use by another program";
    case LinkStatus::InterfaceInUse:
      return "Device interface error: the programmer is in use by another program";
    case LinkStatus::Stopped:
      return "";
    case LinkStatus::VersionIncorrect:
      break;
  }
  return "Device version incorrect";
}

std::string LinkMessage(LinkStatus status, const ProgrammerLink& link) {
  std::string places;
  for (const ProgrammerPlace& place : link.found)
    places += (places.empty() ? "" : ", ") + PlaceText(place);
  if (status == LinkStatus::SeveralFound)
    return std::to_string(link.found.size()) + " programmers found: " + places +
           ". Keep only one connected.";
  if (status == LinkStatus::ChoiceNotFound && link.choice)
    return "No programmer at " + ChoiceText(*link.choice) +
           ". Found: " + (places.empty() ? "none" : places) + ".";
  return LinkStatusText(status);
}

LinkStatus OpenProgrammerLink(ProgrammerLink& link, const UsbBinder& bind,
                              const std::optional<DeviceChoice>& choice,
                              const std::string& usbDevices, const std::function<bool()>& stopped) {
  const auto stop = [&] { return stopped && stopped(); };
  const LinkStatus found = FindProgrammer(link, bind, choice, usbDevices);
  if (found != LinkStatus::Ok)
    return found;
  if (stop())
    return FailOpen(link, LinkStatus::Stopped);
  // libusb 0.1 hands the kernel's -errno on; -EBUSY is the claim of another program.
  const int configured = link.api.usb_set_configuration(link.handle, kConfiguration);
  if (configured < 0)
    return FailOpen(link, configured == -EBUSY ? LinkStatus::SetConfigurationInUse
                                               : LinkStatus::SetConfigurationError);
  const int claimed = link.api.usb_claim_interface(link.handle, kInterface);
  if (claimed < 0)
    return FailOpen(link,
                    claimed == -EBUSY ? LinkStatus::InterfaceInUse : LinkStatus::InterfaceError);
  if (stop()) {
    link.api.usb_release_interface(link.handle, kInterface);
    return FailOpen(link, LinkStatus::Stopped);
  }
  std::array<uint8_t, 2> version{};
  if (GetVersion(link, version) != kCommandOk)
    return FailOpen(link, LinkStatus::DeviceError);
  if (version[0] != 2 || version[1] != 1)
    return FailOpen(link, LinkStatus::VersionIncorrect);
  return LinkStatus::Ok;
}

void CloseProgrammer(ProgrammerLink& link) {
  // The handle is forgotten once closed so that nothing can reach the library with it.
  if (link.handle == nullptr)
    return;
  link.api.usb_release_interface(link.handle, kInterface);
  link.api.usb_close(link.handle);
  link.handle = nullptr;
}
