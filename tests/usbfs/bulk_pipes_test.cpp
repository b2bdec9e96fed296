// The glue between URBs and the firmware model, without the library or the testbed.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "sim/device_model.h"
#include "tests/usbfs/bulk_pipes.h"
#include "tests/usbfs/usbfs_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kUrb = 16384;  // libusb-0.1's largest URB

struct PipesTest : ::testing::Test {
  sim::DeviceModel model{Module(kModule16M).Model()};
  usbfs::BulkPipes pipes{model};

  void Request(Bytes bytes) { pipes.Out(bytes.data(), bytes.size()); }
  // One IN URB of `size`: the bytes delivered, or nothing when the device NAKs.
  std::optional<Bytes> In(size_t size) {
    Bytes out(size, 0xEE);
    const auto n = pipes.In(out.data(), out.size());
    if (!n)
      return std::nullopt;
    out.resize(*n);
    return out;
  }
  Bytes Image(size_t offset, size_t n) {
    const Bytes image = model.Flash().Image();
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(offset),
                 image.begin() + static_cast<std::ptrdiff_t>(offset + n));
  }
};

TEST_F(PipesTest, ReadBlockCrossesTwoUrbsAndCountsOnce) {
  Request({0x23, 0x01});
  Request({0x10, 0, 0, 0, 0});
  for (int block = 0; block < 3; ++block) {
    Request({0x12});
    const auto first = In(kUrb);
    const auto second = In(kUrb);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(*first, Image(block * kBlock, kUrb)) << "block " << block;
    EXPECT_EQ(*second, Image(block * kBlock + kUrb, kUrb)) << "block " << block;
    EXPECT_EQ(model.ReadBlocks(), block + 1);
    EXPECT_EQ(pipes.PendingIn(), 0u);
  }
  EXPECT_EQ(model.Address(), 3 * kBlock);
  // The block is over: the device has nothing more to say.
  EXPECT_FALSE(In(kUrb));
}

TEST_F(PipesTest, UrbsOfOtherSizesTakeTheBlockInPieces) {
  Request({0x12});
  const std::vector<size_t> sizes = {512, 1000, 30000, 4096};  // the last gets the rest
  Bytes got;
  for (size_t size : sizes) {
    const auto part = In(size);
    ASSERT_TRUE(part);
    got.insert(got.end(), part->begin(), part->end());
  }
  EXPECT_EQ(got, Image(0, kBlock));
  EXPECT_EQ(model.ReadBlocks(), 1);
}

TEST_F(PipesTest, ANewRequestDropsTheUnfetchedRestOfABlock) {
  Request({0x12});
  ASSERT_TRUE(In(kUrb));
  EXPECT_EQ(pipes.PendingIn(), kUrb);
  Request({0x13});
  EXPECT_EQ(pipes.PendingIn(), 0u);
  EXPECT_EQ(In(2), (Bytes{2, 1}));
}

TEST_F(PipesTest, ShortAnswersFitTheUrbTheHostAsksFor) {
  struct Case {
    Bytes request;
    size_t urb;
    Bytes answer;
  };
  const Case cases[] = {
      {{0x13}, 2, {2, 1}},
      {{0x16}, 1, {0x03}},
      {{0x36}, 4, {0xC2, 0x7E, 0x21, 0x01}},
      {{0x36}, 2, {0xC2, 0x7E}},  // a shorter URB cuts the answer
  };
  for (const Case& c : cases) {
    Request(c.request);
    EXPECT_EQ(In(c.urb), c.answer) << HexBytes(c.request);
  }
  // Requests without an answer leave the host waiting for nothing.
  Request({0x17});
  EXPECT_FALSE(In(1));
}

TEST_F(PipesTest, DataPhaseIsPutTogetherBeforeTheModelSeesIt) {
  sim::DeviceModel erased{Module(kModule16M).Contents(sim::InitialContents::Erased).Model()};
  usbfs::BulkPipes p{erased};
  Bytes block(kBlock);
  std::iota(block.begin(), block.end(), uint8_t{7});
  const uint8_t opcode = 0xA0;
  p.Out(&opcode, 1);
  p.Out(block.data(), kUrb);
  EXPECT_TRUE(p.InDataPhase());
  EXPECT_EQ(erased.WriteBlocks(), 0);
  uint8_t status = 0xEE;
  EXPECT_FALSE(p.In(&status, 1)) << "no status before the whole block arrived";
  p.Out(block.data() + kUrb, kUrb);
  EXPECT_FALSE(p.InDataPhase());
  EXPECT_EQ(erased.WriteBlocks(), 1);
  EXPECT_EQ(p.In(&status, 1), 1u);
  EXPECT_EQ(status, 0);
  const Bytes image = erased.Flash().Image();
  EXPECT_TRUE(std::equal(block.begin(), block.end(), image.begin()));
}

TEST_F(PipesTest, AShortPacketEndsADataPhaseEarly) {
  sim::DeviceModel erased{Module(kModule16M).Contents(sim::InitialContents::Erased).Model()};
  usbfs::BulkPipes p{erased};
  const Bytes data(1000, 0x5A);  // not a whole number of 512-byte packets
  const uint8_t opcode = 0x11;
  p.Out(&opcode, 1);
  p.Out(data.data(), data.size());
  EXPECT_FALSE(p.InDataPhase());
  EXPECT_EQ(erased.WriteBlocks(), 1);
  const Bytes image = erased.Flash().Image();
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 1001), [&] {
    Bytes expected(data);
    expected.push_back(0xFF);
    return expected;
  }());
}

TEST_F(PipesTest, ResetForgetsHalfwayTraffic) {
  Request({0x12});
  ASSERT_TRUE(In(kUrb));
  pipes.Reset();
  EXPECT_EQ(pipes.PendingIn(), 0u);
  EXPECT_EQ(model.ReadBlocks(), 0);
  EXPECT_FALSE(In(kUrb));
}

}  // namespace
