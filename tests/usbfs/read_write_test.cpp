// Whole 16 MiB jobs through Debian's libusb-0.1: every 32 KiB block crosses usbfs as
// two 16 KiB URBs, in either direction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "digest/agi_crc.h"
#include "flash/identify.h"
#include "flash/jobs.h"
#include "programmer/commands.h"
#include "tests/support/system_digest.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kUrbSize = 16384;

std::vector<std::string> Repeated(std::vector<std::string> head, const std::string& request,
                                  int count) {
  head.insert(head.end(), static_cast<size_t>(count), request);
  return head;
}

Bytes Slice(const Bytes& bytes, size_t offset, size_t n) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

std::string CrcText(const Bytes& bytes) {
  AgiCrcState crc{};
  AgiCrcInit(crc);
  AgiCrcUpdate(crc, bytes.data(), bytes.size());
  return AgiCrcText(crc);
}

TEST_F(UsbfsTest, Reads16MModuleIntoADumpEqualToTheFlash) {
  usbfs::UsbfsProgrammer& programmer =
      AddProgrammer(Module(kModule16M).Contents(sim::InitialContents::Pattern).Model());
  const Bytes flash = programmer.WithModel([](sim::DeviceModel& m) { return m.Flash().Image(); });
  ASSERT_EQ(flash.size(), 16u << 20);

  // The database knows this dump by the digests the system's own tools give for it.
  const std::string reference = dir.File("reference.bin");
  WriteFileBytes(reference, flash);
  const std::string md5 = SystemDigest("md5sum", reference);
  const std::string sha1 = SystemDigest("sha1sum", reference);
  ASSERT_EQ(md5.size(), 32u);
  ASSERT_EQ(sha1.size(), 40u);
  ctx.database.dumpHashes = {{"Pattern module", md5, sha1, CrcText(flash)}};
  ctx.database.dumpHashCount = 1;

  ASSERT_TRUE(ConnectAndIdentify(ctx).Ok());
  const std::string dump = dir.File("dump.bin");
  UseReadFile(dump);
  programmer.ClearRecord();
  EXPECT_EQ(ReadCheckJob(ctx).Code(), kCommandOk);
  CloseProgrammer(ctx.session.handle);

  const Bytes dumped = ReadFileBytes(dump);
  EXPECT_EQ(dumped.size(), flash.size());
  EXPECT_TRUE(dumped == flash) << "the dump differs from the flash";
  EXPECT_EQ(window.Text(Control::MD5_result), SystemDigest("md5sum", dump));
  EXPECT_EQ(window.Text(Control::SHA1_result), SystemDigest("sha1sum", dump));
  EXPECT_EQ(window.Text(Control::CRC_result), CrcText(dumped));

  EXPECT_EQ(Rows(Entries()), (std::vector<Row>{
                                 {"Macronix, MX29LV640", LogColour::Purple},
                                 {"Flash module: 16M", LogColour::Purple},
                                 {"[09:05:07] Start read to " + dump, LogColour::Green},
                                 {"[09:05:07] Read done, 0:00:00", LogColour::Green},
                                 {"Defailt hash (MD5) match: Pattern module", LogColour::Purple},
                                 {"SHA1 check OK", LogColour::Purple},
                             }));

  // On the wire: reset, the first bank at address 0, then one ReadBlock per block.
  EXPECT_EQ(programmer.Requests(), Repeated({"01", "10 00 00 00 00", "23 01"}, "12", kBlocks16M));
  EXPECT_EQ(programmer.WithModel([](sim::DeviceModel& m) { return m.ReadBlocks(); }), kBlocks16M);
  int inUrbs = 0;
  for (const auto& urb : programmer.Urbs()) {
    EXPECT_TRUE(urb.completed && urb.reaped && !urb.discarded);
    if (urb.endpoint != 0x85)
      continue;
    // Block b arrives as URBs 2b and 2b+1, each a full 16 KiB.
    ASSERT_EQ(urb.length, kUrbSize);
    ASSERT_EQ(urb.actual, kUrbSize);
    EXPECT_EQ(urb.head, Slice(flash, static_cast<size_t>(inUrbs) * kUrbSize, urb.head.size()))
        << "IN URB " << inUrbs;
    ++inUrbs;
  }
  EXPECT_EQ(inUrbs, 2 * kBlocks16M);
  EXPECT_EQ(programmer.InFlight(), 0);
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
}

TEST_F(UsbfsTest, Writes16MModuleFromAFile) {
  usbfs::UsbfsProgrammer& programmer =
      AddProgrammer(Module(kModule16M).Contents(sim::InitialContents::Erased).Model());
  Bytes image(16u << 20);
  uint32_t x = 0x2545F491;  // xorshift: every block different, no byte pattern repeating
  for (uint8_t& b : image) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 11);
  }
  const std::string source = dir.File("source.bin");
  WriteFileBytes(source, image);

  ASSERT_TRUE(ConnectAndIdentify(ctx).Ok());
  UseWriteFile(source);
  programmer.ClearRecord();
  EXPECT_EQ(WriteJob(ctx).Code(), kCommandOk);
  CloseProgrammer(ctx.session.handle);

  const Bytes flash = programmer.WithModel([](sim::DeviceModel& m) { return m.Flash().Image(); });
  EXPECT_TRUE(flash == image) << "the flash differs from the file";
  EXPECT_EQ(programmer.WithModel([](sim::DeviceModel& m) { return m.WriteBlocks(); }), kBlocks16M);
  EXPECT_EQ(Rows(Entries()), (std::vector<Row>{
                                 {"Macronix, MX29LV640", LogColour::Purple},
                                 {"Flash module: 16M", LogColour::Purple},
                                 {"[09:05:07] Start write from " + source, LogColour::Green},
                                 {"[09:05:07] Write done, 0:00:00", LogColour::Green},
                             }));

  // Write mode 1 sends A0; the block follows as a data phase that is no request.
  EXPECT_EQ(programmer.Requests(), Repeated({"10 00 00 00 00", "23 01"}, "A0", kBlocks16M));
  // Per block: A0, the two halves of the block, and one status byte 00 back.
  const auto urbs = programmer.Urbs();
  ASSERT_EQ(urbs.size(), 2 + 4u * kBlocks16M);
  for (int block = 0; block < kBlocks16M; ++block) {
    SCOPED_TRACE("block " + std::to_string(block));
    const auto* u = &urbs[2 + 4 * static_cast<size_t>(block)];
    EXPECT_EQ(u[0].head, Bytes{0xA0});
    for (int half = 0; half < 2; ++half) {
      const auto& data = u[1 + half];
      EXPECT_EQ(data.endpoint, 0x04);
      EXPECT_TRUE(data.dataPhase);
      EXPECT_EQ(data.length, kUrbSize);
      EXPECT_EQ(data.actual, kUrbSize);
      const size_t offset = (static_cast<size_t>(block) * 2 + half) * kUrbSize;
      EXPECT_EQ(data.head, Slice(image, offset, data.head.size()));
    }
    EXPECT_EQ(u[3].endpoint, 0x85);
    EXPECT_EQ(u[3].length, 1);
    EXPECT_EQ(u[3].head, Bytes{0x00});
    if (::testing::Test::HasFailure())
      break;  // one broken block tells the story
  }
  EXPECT_EQ(programmer.InFlight(), 0);
  EXPECT_EQ(bed->OpenDescriptors(programmer), 0);
}

}  // namespace
