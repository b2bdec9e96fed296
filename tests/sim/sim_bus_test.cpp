#include "sim/sim_bus.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "programmer/programmer_list.h"
#include "sim/flash_memory.h"
#include "sim/in_process_usb.h"
#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Opens the first device of the bus list by hand, as a host would.
usb_dev_handle* OpenFirst(sim::SimBus& bus) {
  bus.Init();
  bus.FindBusses();
  bus.FindDevices();
  struct usb_bus* list = bus.GetBusses();
  return list && list->devices ? bus.Open(list->devices) : nullptr;
}

int Write(sim::SimBus& bus, usb_dev_handle* h, const Bytes& bytes, int ep = 0x04,
          int timeout = 1000) {
  return bus.BulkWrite(h, ep, reinterpret_cast<const char*>(bytes.data()), int(bytes.size()),
                       timeout);
}

int Read(sim::SimBus& bus, usb_dev_handle* h, int size, int ep = 0x85, int timeout = 1000) {
  std::vector<char> buffer(size_t(size) + 1);
  return bus.BulkRead(h, ep, buffer.data(), size, timeout);
}

// Sends a request and reads its answer: the read's result and the first byte (-1: none).
std::pair<int, int> Exchange(sim::SimBus& bus, usb_dev_handle* h, const Bytes& request) {
  Write(bus, h, request);
  uint8_t got[4] = {};
  const int result = bus.BulkRead(h, 0x85, reinterpret_cast<char*>(got), 4, 1000);
  return {result, result > 0 ? got[0] : -1};
}

// Milliseconds `call` takes.
template <typename Call>
double MillisecondsOf(Call call) {
  const auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

TEST(SimBus, BusListShowsTopologyOnlyAfterTheHostRefreshesIt) {
  sim::SimBus bus;
  const int first = bus.AddBus();
  bus.AddDevice(first, {.vendorId = 0x1234, .productId = 0x5678});
  bus.AddDevice(first);
  bus.AddProgrammer({.vendorId = 0xFFFF, .productId = 0x0201});
  EXPECT_EQ(bus.GetBusses(), nullptr);
  EXPECT_EQ(bus.FindBusses(), 2);
  EXPECT_EQ(bus.FindDevices(), 3);
  struct usb_bus* list = bus.GetBusses();
  ASSERT_NE(list, nullptr);
  ASSERT_NE(list->devices, nullptr);
  EXPECT_EQ(list->devices->descriptor.idVendor, 0x1234);
  EXPECT_EQ(list->devices->descriptor.idProduct, 0x5678);
  ASSERT_NE(list->devices->next, nullptr);
  EXPECT_EQ(list->devices->next->descriptor.idVendor, 0xFFFF);
  EXPECT_EQ(list->devices->next->descriptor.idProduct, 0x0201);
  EXPECT_EQ(list->devices->next->next, nullptr);
  EXPECT_EQ(list->devices->next->bus, list);
  ASSERT_NE(list->next, nullptr);
  EXPECT_EQ(list->next->prev, list);
  ASSERT_NE(list->next->devices, nullptr);
  EXPECT_EQ(list->next->devices->next, nullptr);
  EXPECT_EQ(list->next->next, nullptr);
}

TEST(SimBus, ConfigurationAndInterfaceRules) {
  sim::SimBus bus;
  bus.AddProgrammer();
  usb_dev_handle* h = OpenFirst(bus);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(bus.SetConfiguration(h, 2), -EINVAL);
  EXPECT_EQ(bus.SetConfiguration(h, 1), 0);
  EXPECT_EQ(bus.ClaimInterface(h, 1), -EINVAL);
  EXPECT_EQ(bus.ClaimInterface(h, 0), 0);
  EXPECT_EQ(bus.ReleaseInterface(h, 0), 0);
  EXPECT_EQ(bus.Close(h), 0);
}

TEST(SimBus, ConfiguredUsbFaults) {
  struct Case {
    std::string name;
    sim::UsbFaults faults;
    bool opens;
    int setConfiguration, claim;
  };
  for (const Case& c :
       {Case{"none", {}, true, 0, 0}, Case{"open", {.openFails = true}, false, 0, 0},
        Case{"configuration", {.setConfigurationFails = true}, true, -EBUSY, 0},
        Case{"claim", {.claimFails = true}, true, 0, -EBUSY},
        Case{"configurationEperm",
             {.setConfigurationFails = true, .refusalErrno = EPERM},
             true,
             -EPERM,
             0},
        Case{"claimEperm", {.claimFails = true, .refusalErrno = EPERM}, true, 0, -EPERM}}) {
    SCOPED_TRACE(c.name);
    sim::SimBus bus;
    bus.AddProgrammer({.faults = c.faults});
    usb_dev_handle* h = OpenFirst(bus);
    EXPECT_EQ(h != nullptr, c.opens);
    if (h) {
      EXPECT_EQ(bus.SetConfiguration(h, 1), c.setConfiguration);
      EXPECT_EQ(bus.ClaimInterface(h, 0), c.claim);
    }
  }
}

TEST(SimBus, TransferFaultOnTheNthTransferCountedFromOpen) {
  struct Case {
    sim::FaultKind kind;
    int result;
  };
  for (const Case c : {Case{sim::FaultKind::Error, -EIO}, Case{sim::FaultKind::Timeout, -ETIMEDOUT},
                       Case{sim::FaultKind::Short, 1}}) {
    sim::SimBus bus;
    bus.AddProgrammer({.faults = {.kind = c.kind, .atTransfer = 3}});
    usb_dev_handle* h = OpenFirst(bus);
    EXPECT_EQ(Write(bus, h, {0x13}), 1);
    EXPECT_EQ(Read(bus, h, 2), 2);
    EXPECT_EQ(Write(bus, h, {0x13}), 1);
    EXPECT_EQ(Read(bus, h, 2), c.result);  // transfer 3
    EXPECT_EQ(Write(bus, h, {0x13}), 1);
    EXPECT_EQ(Read(bus, h, 2), 2);
    // A new open starts counting again.
    bus.Close(h);
    h = OpenFirst(bus);
    EXPECT_EQ(Write(bus, h, {0x13}), 1);
    EXPECT_EQ(Read(bus, h, 2), 2);
    EXPECT_EQ(Write(bus, h, {0x13}), 1);
    EXPECT_EQ(Read(bus, h, 2), c.result);
  }
}

TEST(SimBus, ChosenTransferIsHeldBackOrTimesOut) {
  struct Case {
    std::string name;
    sim::UsbFaults faults;
    int timeout;
    int held;                  // the transfer that takes long
    std::vector<int> results;  // of GetVersion, its answer, GetModuleType, its answer
  };
  for (const Case& c : {
           Case{"transfer 1", {.holdTransfer = 1, .holdMilliseconds = 60}, 1000, 1, {1, 2, 1, 1}},
           Case{"IN transfer 1",
                {.holdInTransfer = 1, .holdMilliseconds = 60},
                1000,
                3,
                {1, 2, 1, 1}},
           // The request is not delivered: there is no answer to read.
           Case{"longer than the timeout",
                {.holdTransfer = 2, .holdMilliseconds = 1000},
                40,
                2,
                {1, 2, -ETIMEDOUT, -ETIMEDOUT}},
       }) {
    SCOPED_TRACE(c.name);
    sim::SimBus bus;
    bus.AddProgrammer({.faults = c.faults});
    // Each session since usb_open holds the same transfer.
    for (int session = 0; session < 2; ++session) {
      usb_dev_handle* h = OpenFirst(bus);
      std::vector<int> results;
      for (int transfer = 0; transfer < 4; ++transfer) {
        const double ms = MillisecondsOf([&] {
          results.push_back(
              transfer % 2 == 0
                  ? Write(bus, h, {transfer == 0 ? uint8_t{0x13} : uint8_t{0x16}}, 0x04, c.timeout)
                  : Read(bus, h, 2, 0x85, c.timeout));
        });
        const double wait = std::min(c.faults.holdMilliseconds, c.timeout);
        if (transfer == c.held) {
          EXPECT_GE(ms, wait);
          EXPECT_LT(ms, wait + 300);
        } else {
          EXPECT_LT(ms, wait) << transfer;
        }
      }
      EXPECT_EQ(results, c.results);
      bus.Close(h);
    }
  }
}

TEST(SimBus, HoldRunsItsFullTimeWhenASignalArrives) {
  struct sigaction quiet {
  }, old{};
  quiet.sa_handler = [](int) {};
  sigemptyset(&quiet.sa_mask);
  quiet.sa_flags = 0;  // no SA_RESTART: a sleep returns early with EINTR
  ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
  sim::SimBus bus;
  bus.AddProgrammer({.faults = {.holdTransfer = 0, .holdMilliseconds = 150}});
  usb_dev_handle* h = OpenFirst(bus);
  const pthread_t self = pthread_self();
  std::thread signaller([self] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pthread_kill(self, SIGUSR1);
  });
  int result = 0;
  const double ms = MillisecondsOf([&] { result = Write(bus, h, {0x13}); });
  signaller.join();
  sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_GE(ms, 150.0);
  EXPECT_EQ(Read(bus, h, 2), 2);
}

TEST(SimBus, ClaimLocksTheProgrammerForOneHandleAtATime) {
  TempDir dir;
  const std::string prefix = dir.File("sim-");
  sim::SimBus bus;
  bus.AddProgrammer();
  bus.AddProgrammer();
  bus.Init();
  bus.FindBusses();
  bus.FindDevices();
  struct usb_bus* list = bus.GetBusses();
  usb_dev_handle* first = bus.Open(list->devices);
  usb_dev_handle* second = bus.Open(list->devices);
  usb_dev_handle* other = bus.Open(list->next->devices);
  // Without locks (the default) any handle may claim.
  EXPECT_EQ(bus.ClaimInterface(first, 0), 0);
  EXPECT_EQ(bus.ClaimInterface(second, 0), 0);
  bus.ReleaseInterface(first, 0);
  bus.ReleaseInterface(second, 0);

  bus.SetClaimLocks(prefix);
  EXPECT_EQ(bus.ClaimInterface(first, 0), 0);
  EXPECT_EQ(bus.ClaimInterface(first, 0), 0);  // again by its holder
  EXPECT_TRUE(std::filesystem::exists(prefix + "001-001.lock"));
  EXPECT_EQ(bus.ClaimInterface(second, 0), -EBUSY);
  EXPECT_EQ(bus.ClaimInterface(other, 0), 0);  // another programmer, another lock
  EXPECT_TRUE(std::filesystem::exists(prefix + "002-001.lock"));
  EXPECT_EQ(bus.ReleaseInterface(first, 0), 0);
  EXPECT_FALSE(std::filesystem::exists(prefix + "001-001.lock"));
  EXPECT_EQ(bus.ClaimInterface(second, 0), 0);
  EXPECT_EQ(bus.ClaimInterface(first, 0), -EBUSY);
  EXPECT_EQ(bus.Close(second), 0);
  EXPECT_EQ(bus.ClaimInterface(first, 0), 0);
}

TEST(SimBus, ShortOutTransferLosesItsLastByte) {
  sim::SimBus bus;
  sim::SimDevice& device =
      bus.AddProgrammer({.faults = {.kind = sim::FaultKind::Short, .atTransfer = 0}});
  usb_dev_handle* h = OpenFirst(bus);
  EXPECT_EQ(Write(bus, h, {0x10, 0, 0, 0, 9}), 4);
  EXPECT_EQ(device.Model().Address(), 0u);  // the truncated request was ignored
  EXPECT_EQ(device.Model().IgnoredRequests(), 1);
}

TEST(SimBus, FaultOnTheNthBlockOfAReadOrAWrite) {
  sim::SimBus bus;
  sim::SimDevice& device = bus.AddProgrammer(
      {.faults = {.kind = sim::FaultKind::Error, .atReadBlock = 2, .atWriteBlock = 1}});
  // The block counts start again at every open: each session fails the same blocks.
  for (int session = 0; session < 2; ++session) {
    SCOPED_TRACE("session " + std::to_string(session));
    usb_dev_handle* h = OpenFirst(bus);
    for (int block = 0; block < 3; ++block) {
      EXPECT_EQ(Write(bus, h, {0x12}), 1);
      EXPECT_EQ(Read(bus, h, 0x8000), block == 2 ? -EIO : 0x8000) << block;
    }
    const Bytes data(64, 0);
    for (int block = 0; block < 2; ++block) {
      EXPECT_EQ(Write(bus, h, {0x11}), 1);
      EXPECT_EQ(Write(bus, h, data), block == 1 ? -EIO : 64) << block;
      if (block == 0) {
        EXPECT_EQ(Read(bus, h, 1), 1);
      }
    }
    EXPECT_EQ(device.Model().WriteBlocks(), 1);
    bus.Close(h);
  }
}

TEST(SimBus, VanishedDeviceFailsEveryLaterTransfer) {
  sim::SimBus bus;
  bus.AddProgrammer({.faults = {.vanishAfter = 2}});
  usb_dev_handle* h = OpenFirst(bus);
  EXPECT_EQ(Write(bus, h, {0x16}), 1);
  EXPECT_EQ(Read(bus, h, 1), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Write(bus, h, {0x16}), -ENODEV);
    EXPECT_EQ(Read(bus, h, 1), -ENODEV);
  }
}

// The device does its part of a lost transfer, the host does not get it; once in the
// programmer's life, so that a host that reconnects meets no loss.
TEST(SimBus, LostTransferIsDoneByTheDeviceOnly) {
  const auto p = [](int offset) { return sim::PatternByte(offset); };
  struct Case {
    sim::UsbFaults faults;
    uint8_t opcode;         // ReadBlock (4 bytes), WriteBlock (4 zero bytes), ErasePoll (bank 0)
    std::vector<int> seen;  // per exchange: data result, first byte (-1: none) or status result
  };
  using enum sim::LossKind;
  for (const Case& c : {
           Case{{.loseReadBlock = 1}, 0x12, {4, p(0), -ETIMEDOUT, -1, 4, p(8)}},
           Case{{.lossKind = Stall, .loseReadBlock = 1}, 0x12, {4, p(0), -EPIPE, -1, 4, p(8)}},
           Case{{.lossKind = Short, .loseReadBlock = 1}, 0x12, {4, p(0), 2, p(4), 4, p(8)}},
           Case{{.loseWriteBlock = 1}, 0x11, {4, 1, -ETIMEDOUT, -ETIMEDOUT, 4, 1}},
           Case{{.loseErasePoll = 1}, 0x51, {1, 1, -ETIMEDOUT, -1, 1, 1, 1, 0}},
       }) {
    sim::SimBus bus;
    sim::SimDevice& device = bus.AddProgrammer({.model = {.dualBank = true}, .faults = c.faults});
    for (int session = 0; session < 2; ++session) {
      usb_dev_handle* h = OpenFirst(bus);
      Write(bus, h, {0x14, 0x00});
      Write(bus, h, {0x50, 0x00});
      std::vector<int> seen;
      for (size_t i = 0; i < c.seen.size(); i += 2) {
        if (c.opcode == 0x11) {
          Write(bus, h, {0x11});
          seen.insert(seen.end(), {Write(bus, h, Bytes(4, 0)), Read(bus, h, 1)});
          continue;
        }
        const auto [n, first] = Exchange(bus, h, c.opcode == 0x12 ? Bytes{0x12} : Bytes{0x51, 0});
        seen.insert(seen.end(), {n, first});
      }
      Bytes flash(12);  // the lost block's first half programmed, the next block after it
      device.Model().Flash().ReadImage(0, flash.data(), flash.size());
      if (session == 0) {
        EXPECT_EQ(seen, c.seen);
        EXPECT_TRUE(c.opcode != 0x11 ||
                    flash == (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, p(10), p(11)}));
      }
      bus.Close(h);
    }
    EXPECT_EQ(std::ranges::count(bus.Transfers(), true, &sim::TransferRecord::lost), 1);
  }
}

// The same seed loses the same transfers, about one in loss_rate.
TEST(SimBus, LossRateDrawsFromTheSeed) {
  const auto lost = [](uint64_t seed) {
    sim::SimBus bus;
    bus.AddProgrammer({.faults = {.lossRate = 4, .lossSeed = seed}});
    usb_dev_handle* h = OpenFirst(bus);
    std::vector<int> lost;
    for (int i = 0; i < 100; ++i)
      if (Exchange(bus, h, i % 2 ? Bytes{0x51, 0x01} : Bytes{0x12}).first < 0)
        lost.push_back(i);
    return lost;
  };
  const std::vector<int> first = lost(7);
  EXPECT_EQ(lost(7), first);
  EXPECT_NE(lost(8), first);
  EXPECT_TRUE(first.size() > 12 && first.size() < 38) << first.size();
}

// The programmer drops off the bus at the chosen transfer and comes back under another
// device number, reset, its erase abandoned half done. The traffic: bus width, bank,
// address and an erase set, then ErasePoll 0, ReadBlock 0, WriteBlock 0 and ErasePoll 1
// ({}: an IN transfer).
TEST(SimBus, DroppedProgrammerComesBackResetUnderAnotherNumber) {
  using Case = std::pair<sim::DropOff, int>;  // the drop; the first of `traffic` failing -ENODEV
  // clang-format off
  const std::vector<Bytes> traffic = {{0x18}, {0x23, 0x00}, {0x10, 0, 0, 1, 0}, {0x14, 0x01},
      {0x50, 0x01}, {0x51, 0x01}, {}, {0x12}, {}, {0x11}, {0, 0, 0, 0}, {}, {0x51, 0x01}, {}};
  // clang-format on
  using enum sim::DropAt;
  for (const auto& [drop, firstGone] : {Case{{.at = ReadBlock, .index = 0, .goneScans = 0}, 8},
                                        Case{{.at = WriteBlock, .index = 0, .goneScans = 3}, 10},
                                        Case{{.at = ErasePoll, .index = 1, .moduleType = 6}, 13}}) {
    SCOPED_TRACE(firstGone);
    sim::SimBus bus;
    sim::SimDevice& device = bus.AddProgrammer({.faults = {.drop = drop}});
    TempDir dir;
    bus.SetUsbDevicesFolder(dir.Path().string());
    usb_dev_handle* old = OpenFirst(bus);
    std::vector<int> results;
    for (const Bytes& t : traffic)
      results.push_back(t.empty() ? Read(bus, old, 4) : Write(bus, old, t));
    EXPECT_EQ(std::ranges::find(results, -ENODEV) - results.begin(), firstGone);

    usb_dev_handle* h = nullptr;
    int misses = 0;
    for (; misses < 5 && (h = OpenFirst(bus)) == nullptr; ++misses) {
    }
    EXPECT_EQ(misses, drop.goneScans);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ListProgrammers(sim::InProcessUsbApi(bus), dir.Path().string()),
              (std::vector<ProgrammerPlace>{{1, 2, "1-1"}}));
    EXPECT_EQ(Write(bus, old, {0x16}), -ENODEV);
    const sim::DeviceModel& m = device.Model();
    EXPECT_EQ(std::tuple(m.Address(), m.BankByte(), m.BusWidth()), std::tuple(0u, uint8_t{1}, 8));
    EXPECT_EQ(Exchange(bus, h, {0x51, 0x01}), std::pair(1, 0));
    EXPECT_EQ(Exchange(bus, h, {0x16}), std::pair(1, drop.moduleType < 0 ? 3 : 6));
    Bytes flash(2);  // the first half of the bank's blocks erased, the rest as before
    device.Model().Flash().ReadImage((8 << 20) - 1, flash.data(), flash.size());
    EXPECT_EQ(flash, (Bytes{0xFF, sim::PatternByte(8 << 20)}));
  }
}

TEST(SimBus, WrongEndpointsAndBadHandlesFail) {
  sim::SimBus bus;
  bus.AddProgrammer();
  usb_dev_handle* h = OpenFirst(bus);
  EXPECT_EQ(Write(bus, h, {0x16}, 0x05), -EINVAL);
  EXPECT_EQ(Read(bus, h, 1, 0x81), -EINVAL);
  EXPECT_EQ(Write(bus, nullptr, {0x16}), -EINVAL);
  EXPECT_EQ(Read(bus, nullptr, 1), -EINVAL);
  EXPECT_EQ(bus.SetConfiguration(nullptr, 1), -EBADF);
  EXPECT_EQ(bus.Close(nullptr), -EBADF);
}

TEST(SimBus, RecordsEveryCallAndMarksUseAfterClose) {
  sim::SimBus bus;
  sim::SimDevice& device = bus.AddProgrammer();
  usb_dev_handle* h = OpenFirst(bus);
  EXPECT_TRUE(device.IsOpen());
  Write(bus, h, {0x13});
  Read(bus, h, 2);
  bus.ReleaseInterface(h, 0);
  bus.Close(h);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(Write(bus, h, {0x01}), -EBADF);
  EXPECT_EQ(Read(bus, h, 1), -EBADF);
  EXPECT_EQ(bus.Close(h), -EBADF);

  EXPECT_EQ(bus.CallNames(),
            (std::vector<std::string>{"usb_init", "usb_find_busses", "usb_find_devices",
                                      "usb_get_busses", "usb_open", "usb_bulk_write",
                                      "usb_bulk_read", "usb_release_interface", "usb_close",
                                      "usb_bulk_write", "usb_bulk_read", "usb_close"}));
  EXPECT_EQ(bus.CallCount("usb_close"), 2);
  EXPECT_TRUE(bus.Calls().back().afterClose);
  EXPECT_EQ(bus.TransfersAfterClose(), 2);
  const auto& t = bus.Transfers();
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].device, device.Id());
  EXPECT_TRUE(t[0].out);
  EXPECT_EQ(t[0].endpoint, 0x04);
  EXPECT_EQ(t[0].timeout, 1000);
  EXPECT_EQ(t[0].result, 1);
  EXPECT_FALSE(t[1].out);
  EXPECT_EQ(t[1].requested, 2);
  EXPECT_EQ(t[1].bytes, (Bytes{2, 1}));
  EXPECT_TRUE(t[2].afterClose);
  EXPECT_EQ(bus.OutRequests(), (std::vector<Bytes>{{0x13}, {0x01}}));

  bus.ClearRecord();
  EXPECT_TRUE(bus.Calls().empty());
  EXPECT_TRUE(bus.Transfers().empty());
}

TEST(SimBus, RecordLimitCutsLongTransfers) {
  sim::SimBus bus;
  bus.AddProgrammer();
  usb_dev_handle* h = OpenFirst(bus);
  Bytes block(300);
  for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i);
  Write(bus, h, {0x11});
  Write(bus, h, block);
  bus.SetRecordLimit(1000);
  Write(bus, h, {0x11});
  Write(bus, h, block);
  const auto requests = bus.OutRequests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[1], Bytes(block.begin(), block.begin() + 64));
  EXPECT_EQ(requests[3], block);
  EXPECT_EQ(bus.Transfers()[1].requested, 300);
}

TEST(InProcessUsbApi, DrivesTheCurrentBusAndFailsOnceItIsGone) {
  UsbApi api = UnboundUsbApi();
  {
    sim::SimBus bus;
    bus.AddProgrammer();
    api = sim::InProcessUsbApi(bus);
    EXPECT_EQ(sim::SimBus::Current(), &bus);
    api.usb_init();
    EXPECT_EQ(api.usb_find_busses(), 1);
    EXPECT_EQ(api.usb_find_devices(), 1);
    struct usb_bus* list = api.usb_get_busses();
    ASSERT_NE(list, nullptr);
    usb_dev_handle* h = api.usb_open(list->devices);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(api.usb_set_configuration(h, 1), 0);
    EXPECT_EQ(api.usb_claim_interface(h, 0), 0);
    char answer[2] = {};
    EXPECT_EQ(api.usb_bulk_write(h, 0x04, "\x13", 1, 1000), 1);
    EXPECT_EQ(api.usb_bulk_read(h, 0x85, answer, 2, 1000), 2);
    EXPECT_EQ(answer[0], 2);
    EXPECT_EQ(answer[1], 1);
    EXPECT_EQ(api.usb_release_interface(h, 0), 0);
    EXPECT_EQ(api.usb_close(h), 0);
    EXPECT_EQ(bus.CallCount("usb_init"), 1);
  }
  EXPECT_EQ(sim::SimBus::Current(), nullptr);
  api.usb_init();
  EXPECT_EQ(api.usb_find_busses(), -2);
  EXPECT_EQ(api.usb_get_busses(), nullptr);
  EXPECT_EQ(api.usb_open(nullptr), nullptr);
  EXPECT_EQ(api.usb_bulk_write(nullptr, 0x04, "\x13", 1, 1000), -2);
}

TEST(InProcessBinder, EachBindMakesItsBusCurrent) {
  sim::SimBus first, second;
  const UsbBinder bindFirst = sim::InProcessBinder(first);
  const UsbBinder bindSecond = sim::InProcessBinder(second);
  bindSecond();
  EXPECT_EQ(sim::SimBus::Current(), &second);
  bindFirst().usb_init();
  EXPECT_EQ(sim::SimBus::Current(), &first);
  EXPECT_EQ(first.CallCount("usb_init"), 1);
  EXPECT_EQ(second.CallCount("usb_init"), 0);
}

}  // namespace
