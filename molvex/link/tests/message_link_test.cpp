// Whole messages between the link and a scripted PIN pad on a real pty.
#include <thread>

#include "link_test_env.h"
#include "molvex/link/frame_receiver.h"
#include "molvex/link/legacy_protocol.h"

using namespace linktest;
using namespace pplink;

namespace {

class MessageLinkTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    OpenPort9(pty_);
  }
  // A request of the given number of data bytes (a pattern).
  LongMessageDynamic& Request(uint8_t command, uint32_t length, uint32_t id = 0x1234) {
    request_.allocate(static_cast<int32_t>(length), 0);
    T_Message* m = request_.msg();
    m->command = command;
    m->id = id;
    m->length = static_cast<uint16_t>(length);
    for (uint32_t i = 0; i < length; ++i) m->data()[i] = static_cast<uint8_t>(i * 7);
    return request_;
  }
  std::vector<uint8_t> ImageOf(LongMessage& m) {
    const uint8_t* image = m.msg()->image();
    std::vector<uint8_t> out(image, image + 7 + m.msg()->length);
    // The wire copies are filled when sending.
    out[1] = static_cast<uint8_t>(m.msg()->length);
    out[2] = static_cast<uint8_t>(m.msg()->length >> 8);
    for (int i = 0; i < 4; ++i) out[3 + i] = static_cast<uint8_t>(m.msg()->id >> (8 * i));
    return out;
  }

  // Waits up to 5 s for a message from the scripted PIN pad, which starts
  // writing on its own thread.
  static uint16_t Await(LongMessage* reply) { return tspMakeAMessageEx(9, 5, nullptr, reply, 0); }

  Pty pty_;
  LongMessageDynamic request_;
};

TEST_F(MessageLinkTest, FrameNumberingOfShortAndLongMessages) {
  struct Case {
    uint32_t image;
    std::vector<int> sequences;
  } cases[] = {
      {255, {0x00}},
      {256, {0x80, 0x01}},
      {128 * 255 + 1, {}},  // 129 frames: 0x80 ... 0xFF, then 0x01
  };
  for (int i = 0; i < 128; ++i) cases[2].sequences.push_back(0x80 + i);
  cases[2].sequences.push_back(0x01);
  for (const auto& c : cases) {
    LongMessageDynamic& m = Request(0x41, c.image - 7);
    std::vector<uint8_t> expected = ImageOf(m);
    std::vector<int> seen;
    std::vector<uint8_t> received;
    std::thread peer([&] { received = Peer(pty_.master()).ReceiveMessage(&seen); });
    EXPECT_EQ(tspSendNewMessage(9, m.msg()), 0);
    peer.join();
    EXPECT_EQ(seen, c.sequences) << c.image;
    EXPECT_EQ(received, expected) << c.image;
  }
}

TEST_F(MessageLinkTest, SenderFollowsTheControlBytes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> answers;  // one per frame received
    uint16_t result;
    std::vector<int> sequences;
  } cases[] = {
      {"ACK where BEL was expected repeats the frame", {ACK, ACK, BEL, EOT}, 0, {0x80, 0x81, 0x81, 0x02}},
      {"ACK on the last frame repeats it", {ACK, BEL, ACK, EOT}, 0, {0x80, 0x81, 0x02, 0x02}},
      {"SYN starts again from the first frame", {ACK, SYN, ACK, BEL, EOT}, 0, {0x80, 0x81, 0x80, 0x81, 0x02}},
      {"three NAKs refuse the frame", {ACK, NAK, NAK, NAK}, 238, {0x80, 0x81, 0x81, 0x81}},
      {"EOT too early repeats the frame", {EOT, ACK, BEL, EOT}, 0, {0x80, 0x80, 0x81, 0x02}},
  };
  for (const auto& c : cases) {
    LongMessageDynamic& m = Request(0x41, 600);
    std::vector<int> seen;
    std::thread peer([&] {
      Peer p(pty_.master());
      Peer::Frame f;
      for (uint8_t answer : c.answers) {
        if (!p.ReadFrame(f)) return;
        seen.push_back(f.sequence);
        p.Write(answer);
      }
    });
    EXPECT_EQ(tspSendNewMessage(9, m.msg()), c.result) << c.name;
    peer.join();
    EXPECT_EQ(seen, c.sequences) << c.name;
  }
}

TEST_F(MessageLinkTest, ReceiverAcknowledgesRepeatsOnceAndTakesLongMessages) {
  // 130 frames from the PIN pad: the numbering passes through 0xFF.
  std::vector<uint8_t> data(129 * 255 - 7 + 10);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> image = Peer::Image(0x30, 77, data);
  std::thread peer([&] { EXPECT_TRUE(Peer(pty_.master()).SendMessage(image)); });
  LongMessageDynamic reply;
  EXPECT_EQ(Await(&reply), 0);
  peer.join();
  EXPECT_EQ(reply.msg()->command, 0x30);
  EXPECT_EQ(reply.msg()->id, 77u);
  ASSERT_EQ(reply.msg()->length, data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.msg()->data()));

  // A repeat of the frame accepted last gets the same control byte again.
  std::vector<uint8_t> small = Peer::Image(0x31, 5, std::vector<uint8_t>(400, 0x22));
  std::vector<uint8_t> answers;
  std::thread repeater([&] {
    Peer p(pty_.master());
    auto piece = [&](size_t from, size_t n) { return std::vector<uint8_t>(small.begin() + from, small.begin() + from + n); };
    p.Write(Peer::DataFrame(0x80, piece(0, 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x80, piece(0, 255)));  // frame 0 again: a new start
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x01, piece(255, small.size() - 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
  });
  EXPECT_EQ(Await(&reply), 0);
  repeater.join();
  EXPECT_EQ(answers, (std::vector<uint8_t>{ACK, ACK, EOT}));
  EXPECT_EQ(reply.msg()->length, 400);

  std::vector<uint8_t> three = Peer::Image(0x32, 6, std::vector<uint8_t>(600, 0x44));
  answers.clear();
  std::thread duplicate([&] {
    Peer p(pty_.master());
    auto piece = [&](size_t from, size_t n) { return std::vector<uint8_t>(three.begin() + from, three.begin() + from + n); };
    p.Write(Peer::DataFrame(0x80, piece(0, 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x81, piece(255, 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x81, piece(255, 255)));  // its ACK/BEL was lost
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x02, piece(510, three.size() - 510)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
  });
  EXPECT_EQ(Await(&reply), 0);
  duplicate.join();
  EXPECT_EQ(answers, (std::vector<uint8_t>{ACK, BEL, BEL, EOT}));
  EXPECT_EQ(reply.msg()->length, 600) << "the repeat is counted once";
}

TEST_F(MessageLinkTest, ReceiverRepairsDamageAndOrder) {
  std::vector<uint8_t> image = Peer::Image(0x33, 8, std::vector<uint8_t>(300, 0x55));
  auto piece = [&](size_t from, size_t n) { return std::vector<uint8_t>(image.begin() + from, image.begin() + from + n); };
  std::vector<uint8_t> answers;
  std::thread peer([&] {
    Peer p(pty_.master());
    std::vector<uint8_t> bad = Peer::DataFrame(0x80, piece(0, 255));
    bad[10] = bad[10] == 'A' ? 'B' : 'A';
    p.Write(bad);
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));  // NAK
    p.Write(Peer::DataFrame(0x80, piece(0, 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));  // ACK
    p.Write(Peer::DataFrame(0x02, piece(255, image.size() - 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));  // SYN: frame 2 instead of 1
    p.Write(Peer::DataFrame(0x80, piece(0, 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
    p.Write(Peer::DataFrame(0x01, piece(255, image.size() - 255)));
    answers.push_back(static_cast<uint8_t>(p.ReadByte()));
  });
  LongMessageDynamic reply;
  EXPECT_EQ(Await(&reply), 0);
  peer.join();
  EXPECT_EQ(answers, (std::vector<uint8_t>{NAK, ACK, SYN, ACK, EOT}));
}

TEST_F(MessageLinkTest, InfoAndFastMessages) {
  for (uint32_t length : {248u, 249u}) {
    LongMessageDynamic& m = Request(0x50, length);
    std::vector<uint8_t> expected = ImageOf(m);
    Peer::Frame f;
    EXPECT_EQ(tspSendInfoMessage(9, &m), length == 248 ? 0 : 99);
    if (length == 248) {
      ASSERT_TRUE(Peer(pty_.master()).ReadFrame(f));
      EXPECT_EQ(f.type, kInfoFrame);
      EXPECT_EQ(f.sequence, 0);
      EXPECT_EQ(f.payload, expected);
    }
  }
  LongMessageDynamic& big = Request(0x51, 10000);
  std::vector<uint8_t> expected = ImageOf(big);
  std::vector<uint8_t> got;
  std::thread reader([&] {
    Peer::Frame f;
    if (Peer(pty_.master()).ReadFrame(f, 5000)) got = f.payload;
  });
  EXPECT_EQ(tspSendFastMessage(9, &big), 0);
  reader.join();
  EXPECT_EQ(got, expected);

  // Both kinds arriving: an info frame and a fast frame are whole messages.
  LongMessageDynamic reply;
  bUseNewProtocol = 0;
  Peer(pty_.master()).Write(Peer::DataFrame(0, Peer::Image(0x60, 9, {1, 2, 3}), kInfoFrame));
  EXPECT_EQ(Await(&reply), 0);
  EXPECT_EQ(reply.msg()->length, 3);
  EXPECT_EQ(bUseNewProtocol, 1u) << "a current frame switches back from legacy";
  std::vector<uint8_t> fast;
  std::vector<uint8_t> image = Peer::Image(0x61, 10, std::vector<uint8_t>(5000, 9));
  MakeFastFrame(image.data(), image.size(), fast);
  std::thread writer([&] { Peer(pty_.master()).Write(fast); });
  EXPECT_EQ(Await(&reply), 0);
  writer.join();
  EXPECT_EQ(reply.msg()->length, 5000);
  EXPECT_EQ(reply.msg()->id, 10u);
  // An info frame that claims more than it carries is damaged.
  Peer(pty_.master()).Write(Peer::DataFrame(0, {0x60, 50, 0, 1, 0, 0, 0, 1, 2}, kInfoFrame));
  EXPECT_EQ(tspRecvNewMessage(9, &reply), 99);
}

TEST_F(MessageLinkTest, IdentifiersWrapAndStaleRepliesAreDropped) {
  bUseNewProtocol = 999999;
  T_MessageBuf<0> m;
  tspFixLongMessageID(m.msg());
  EXPECT_EQ(m.msg()->id, 999999u);
  tspFixLongMessageID(m.msg());
  EXPECT_EQ(m.msg()->id, 1u);
  bUseNewProtocol = 0;
  tspFixLongMessageID(m.msg());
  EXPECT_EQ(m.msg()->id, 0xFFFFFFFFu);

  bUseNewProtocol = 500;
  LongMessageDynamic& request = Request(0x50, 6);
  std::thread peer([&] {
    Peer p(pty_.master());
    std::vector<uint8_t> got = p.ReceiveMessage();
    ASSERT_GE(got.size(), 7u);
    uint32_t id = got[3] | got[4] << 8 | got[5] << 16 | static_cast<uint32_t>(got[6]) << 24;
    EXPECT_EQ(id, 500u);
    p.SendMessage(Peer::Image(0x01, id, {0xA1}));                // top bit missing
    p.SendMessage(Peer::Image(0x02, (id - 1) | 0x80000000u, {0xA2}));  // an older request's
    p.SendMessage(Peer::Image(0x00, id | 0x80000000u, {0xA3}));
  });
  LongMessageDynamic reply;
  EXPECT_EQ(tspMakeAMessageEx(9, 5, request.msg(), &reply, 0), 0);
  peer.join();
  EXPECT_EQ(reply.msg()->data()[0], 0xA3);
  EXPECT_EQ(bUseNewProtocol, 501u);
}

TEST_F(MessageLinkTest, ExchangeResults) {
  struct Case {
    const char* name;
    std::vector<uint8_t> reply_data;
    uint8_t reply_command;
    uint16_t result;
  } cases[] = {
      {"command byte", {}, 0x05, 5},
      {"error code of reply 14", {0x55, 0x10}, 14, 0x1055},
      {"reply 14 too short", {0x55}, 14, 14},
  };
  for (const auto& c : cases) {
    LongMessageDynamic& request = Request(0x20, 2);
    std::thread peer([&] {
      Peer p(pty_.master());
      std::vector<uint8_t> got = p.ReceiveMessage();
      uint32_t id = got[3] | got[4] << 8 | got[5] << 16 | static_cast<uint32_t>(got[6]) << 24;
      p.SendMessage(Peer::Image(c.reply_command, id | 0x80000000u, c.reply_data));
    });
    LongMessageDynamic reply;
    EXPECT_EQ(DoExchangeWithPP(9, request.msg(), &reply, 3, 0), c.result) << c.name;
    peer.join();
  }
  // A request the PIN pad refuses: an error reply carrying the result.
  LongMessageDynamic& request = Request(0x20, 2);
  std::thread refuser([&] {
    Peer p(pty_.master());
    Peer::Frame f;
    for (int i = 0; i < 3 && p.ReadFrame(f); ++i) p.Write(NAK);
  });
  LongMessageDynamic reply;
  EXPECT_EQ(tspMakeAMessageEx(9, 3, request.msg(), &reply, 0), 238);
  refuser.join();
  EXPECT_EQ(reply.msg()->command, 238);
  EXPECT_EQ(reply.msg()->length, 3);
  EXPECT_EQ(DoExchangeWithPP(9, nullptr, nullptr, 0, 0), 0);
}

TEST_F(MessageLinkTest, LegacyPiecesBothWays) {
  bUseNewProtocol = 0;
  LongMessageDynamic& m = Request(0x50, 250, 0xFFFFFFFF);
  std::vector<size_t> sizes;
  std::thread peer([&] {
    Peer p(pty_.master());
    Peer::Frame f;
    while (p.ReadFrame(f)) {
      sizes.push_back(f.payload.size());
      if (sizes.size() == 3) break;
      p.Write(Peer::LegacyFrame({0x26, 0, 0}));
    }
  });
  EXPECT_EQ(tspSendNewMessage(9, m.msg()), 0);
  peer.join();
  EXPECT_EQ(sizes, (std::vector<size_t>{120, 120, 13}));

  // A legacy message of two pieces from the PIN pad.
  std::vector<uint8_t> legacy = {0x00, 200, 0};
  for (int i = 0; i < 200; ++i) legacy.push_back(static_cast<uint8_t>(i));
  std::vector<uint8_t> codes;
  bUseNewProtocol = 7;
  std::thread sender([&] {
    Peer p(pty_.master());
    p.Write(Peer::LegacyFrame(std::vector<uint8_t>(legacy.begin(), legacy.begin() + 120)));
    Peer::Frame f;
    if (p.ReadFrame(f)) codes.push_back(f.payload.empty() ? 0 : f.payload[0]);
    p.Write(Peer::LegacyFrame(std::vector<uint8_t>(legacy.begin() + 120, legacy.end())));
  });
  LongMessageDynamic reply;
  EXPECT_EQ(Await(&reply), 0);
  sender.join();
  EXPECT_EQ(codes, (std::vector<uint8_t>{0x26}));
  EXPECT_EQ(bUseNewProtocol, 0u);
  EXPECT_EQ(reply.msg()->id, 0xFFFFFFFFu);
  ASSERT_EQ(reply.msg()->length, 200);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(reply.msg()->data()[i], i);
}

TEST_F(MessageLinkTest, PinpadThatStopsOrDisappears) {
  LongMessageDynamic reply;
  EXPECT_EQ(tspGetCommandFromController(&reply), 99) << "nothing waiting: at once";
  std::vector<uint8_t> image = Peer::Image(0x33, 8, std::vector<uint8_t>(300, 0x55));
  Peer p(pty_.master());
  p.Write(Peer::DataFrame(0x80, std::vector<uint8_t>(image.begin(), image.begin() + 255)));
  EXPECT_EQ(tspRecvNewMessage(9, &reply), 251) << "the next frame never came";
  EXPECT_EQ(p.ReadByte(), ACK);
  p.Write(Peer::DataFrame(0x80, std::vector<uint8_t>(image.begin(), image.begin() + 255)));
  usleep(20000);
  pty_.Close();
  EXPECT_EQ(tspRecvNewMessage(9, &reply), 253);
}

}  // namespace
