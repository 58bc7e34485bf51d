// The frame receiver over a real pty: every result, the frame buffer's
// bounds and frames that arrive in pieces.
#include <thread>

#include "link_test_env.h"
#include "molvex/link/frame_receiver.h"

using namespace linktest;
using namespace pplink;

namespace {

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class FrameReceiverTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    OpenPort9(pty_);
  }
  int Receive(uint32_t room = 300) {
    out_.assign(room + 8, 0xEE);
    length_ = 0;
    type_ = 0;
    buffer_ = std::make_unique<MsbFrameBuffer>();
    return tspNewRecvNewFrame(9, out_.data(), room, &length_, &type_, buffer_.get());
  }
  Pty pty_;
  std::vector<uint8_t> out_;
  uint32_t length_ = 0;
  uint8_t type_ = 0;
  std::unique_ptr<MsbFrameBuffer> buffer_;
};

TEST_F(FrameReceiverTest, OneReadGivesTheResultOfItsShape) {
  const std::vector<uint8_t> abc = Text("abc");
  std::vector<uint8_t> bad_crc = Peer::DataFrame(1, abc);
  bad_crc[bad_crc.size() - 3] ^= 0x01;
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int result;
    uint8_t type;
    std::string payload;
  } cases[] = {
      {"nothing", {}, kFrameNothing, 0, ""},
      {"bytes without STX or ETX", Text("noise"), kFrameNothing, 0, ""},
      {"ETX without STX", Text("no\x03start"), kFrameDamaged, 0, ""},
      {"bytes before STX are ignored", Cat({Text("zz\x01"), Peer::DataFrame(5, abc)}), 5, '#', "abc"},
      {"two frames in one read: the later one counts",
       Cat({Peer::DataFrame(1, Text("one")), Peer::DataFrame(2, Text("two"))}), 2, '#', "two"},
      {"damaged CRC", bad_crc, kFrameDamaged, '#', ""},
      {"info frame", Peer::DataFrame(0, abc, kInfoFrame), 0, '!', "abc"},
      {"frame 127 with the more-bit is delivered", Peer::DataFrame(0xFF, abc), 0xFF, '#', "abc"},
      {"empty payload", Peer::DataFrame(0x03, {}), 3, '#', ""},
      {"legacy frame", Peer::LegacyFrame({0x26, 0, 0}), kFrameLegacyOk, 0, std::string("\x26\0\0", 3)},
      {"legacy frame with a wrong LRC", Text("\x02" "26000025\x03\x03"), kFrameLegacyBad, 0, ""},
      {"fast frame", Text("\x02?AAAAAAAAAA==\x03"), kFrameFast, '?', ""},
  };
  for (const auto& c : cases) {
    tcflush(pty_.master(), TCIOFLUSH);
    if (!c.bytes.empty()) {
      ASSERT_EQ(write(pty_.master(), c.bytes.data(), c.bytes.size()), (ssize_t)c.bytes.size());
    }
    usleep(20000);
    EXPECT_EQ(Receive(), c.result) << c.name;
    EXPECT_EQ(type_, c.type) << c.name;
    if (!c.payload.empty()) {
      EXPECT_EQ(std::string(out_.begin(), out_.begin() + length_), c.payload) << c.name;
    }
  }
  EXPECT_EQ(buffer_->frameTextLength(), 12u);  // the fast frame stays for the caller
}

TEST_F(FrameReceiverTest, NeverWritesPastTheRoomOffered) {
  std::vector<uint8_t> payload(200, 0x41);
  Peer peer(pty_.master());
  peer.Write(Peer::DataFrame(0, payload));
  usleep(20000);
  EXPECT_EQ(Receive(199), kFrameDamaged);
  for (size_t i = 0; i < out_.size(); ++i) ASSERT_EQ(out_[i], 0xEE) << "byte " << i;

  std::vector<uint8_t> legacy(50, 0x11);
  peer.Write(Peer::LegacyFrame(legacy));
  usleep(20000);
  EXPECT_EQ(Receive(49), kFrameLegacyBad);
  for (size_t i = 49; i < out_.size(); ++i) ASSERT_EQ(out_[i], 0xEE) << "byte " << i;
}

TEST_F(FrameReceiverTest, FrameInPiecesAndAFrameThatNeverEnds) {
  std::vector<uint8_t> frame = Peer::DataFrame(0x81, std::vector<uint8_t>(255, 0x33));
  std::thread writer([&] {
    for (size_t i = 0; i < frame.size(); i += 50) {
      size_t n = std::min<size_t>(50, frame.size() - i);
      if (write(pty_.master(), frame.data() + i, n) != (ssize_t)n) return;
      usleep(10000);
    }
  });
  EXPECT_EQ(Receive(), 0x81);
  EXPECT_EQ(length_, 255u);
  writer.join();

  // A fast frame longer than the fixed store moves to the heap store.
  std::string image(3000, 'A');
  std::vector<uint8_t> fast = Cat({Text("\x02?"), Text(image), Text("\x03")});
  std::thread fast_writer([&] { Peer(pty_.master()).Write(fast); });
  EXPECT_EQ(Receive(), kFrameFast);
  EXPECT_TRUE(buffer_->onHeap);
  EXPECT_EQ(buffer_->frameTextLength(), 3000u);
  fast_writer.join();

  ASSERT_EQ(write(pty_.master(), "\x02#AAAA", 6), 6);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Receive(), kFrameNothing);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(ms, 1400);
  EXPECT_LT(ms, 5000);
}

TEST_F(FrameReceiverTest, PortErrorWhenTheDeviceGoesAway) {
  pty_.Close();
  EXPECT_EQ(Receive(), kFramePortError);
}

}  // namespace
