#include "flash/failure.h"

#include <cerrno>

const char* FailureWord(FailureReason reason) {
  switch (reason) {
    case FailureReason::FileOpen:
      return "file_open";
    case FailureReason::FileRead:
      return "file_read";
    case FailureReason::FileWrite:
      return "file_write";
    case FailureReason::FileSync:
      return "file_sync";
    case FailureReason::FileTooShort:
      return "file_too_short";
    case FailureReason::FileTooLong:
      return "file_too_long";
    case FailureReason::Transfer:
      return "transfer";
    case FailureReason::WriteRefused:
      return "write_refused";
    case FailureReason::EraseFailed:
      return "erase_failed";
    case FailureReason::Cancelled:
      return "cancelled";
    case FailureReason::Verification:
      return "verification";
    case FailureReason::Mismatch:
      return "mismatch";
    case FailureReason::FlashChanged:
      return "flash_changed";
    case FailureReason::ModuleChanged:
      break;
  }
  return "module_changed";
}

std::optional<std::string> LinkLossCause(const JobFailure& failure) {
  if (failure.reason != FailureReason::Transfer || !failure.fault)
    return std::nullopt;
  const int result = failure.fault->result;
  if (result >= 0)
    return "short transfer";
  switch (-result) {
    case ETIMEDOUT:
      return "timeout";
    case EPIPE:
      return "stall";
    case ENODEV:
    case ESHUTDOWN:
      return "device gone";
    default:
      return std::nullopt;
  }
}

JobFailure TransferFailure(const ProgrammerLink& link) {
  JobFailure failure{FailureReason::Transfer, 0, "", link.fault};
  if (link.fault) {
    failure.detail = TransferFaultText(*link.fault);
    failure.error = link.fault->result < 0 ? -link.fault->result : 0;
  }
  return failure;
}

const char* ConnectWord(ConnectReason reason) {
  switch (reason) {
    case ConnectReason::NotFound:
      return "not_found";
    case ConnectReason::Several:
      return "several";
    case ConnectReason::NotPresent:
      return "not_present";
    case ConnectReason::InUse:
      return "in_use";
    case ConnectReason::Configuration:
      return "configuration";
    case ConnectReason::Interface:
      return "interface";
    case ConnectReason::Version:
      return "version";
    case ConnectReason::Device:
      return "device";
    case ConnectReason::Declined:
      return "declined";
    case ConnectReason::Cancelled:
      break;
  }
  return "cancelled";
}

ConnectReason ConnectReasonOf(LinkStatus status) {
  switch (status) {
    case LinkStatus::SeveralFound:
      return ConnectReason::Several;
    case LinkStatus::ChoiceNotFound:
      return ConnectReason::NotPresent;
    case LinkStatus::SetConfigurationInUse:
    case LinkStatus::InterfaceInUse:
      return ConnectReason::InUse;
    case LinkStatus::SetConfigurationError:
      return ConnectReason::Configuration;
    case LinkStatus::InterfaceError:
      return ConnectReason::Interface;
    case LinkStatus::DeviceError:
      return ConnectReason::Device;
    case LinkStatus::VersionIncorrect:
      return ConnectReason::Version;
    case LinkStatus::Stopped:
      return ConnectReason::Cancelled;
    case LinkStatus::Ok:
    case LinkStatus::NotFound:
      break;
  }
  return ConnectReason::NotFound;
}
