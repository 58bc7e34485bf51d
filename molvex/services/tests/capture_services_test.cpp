#include <string>
#include <vector>

#include "molvex/front/model/daviz_params.h"
#include "molvex/services/capture_services.h"
#include "services_fixture.h"

namespace {

class MerchantChequeTest : public ServicesFixture {
 protected:
  uint32_t Result(const Answer& answer) {
    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(answer.body.size(), 4u);
    return answer.body.size() == 4 ? Dword(answer.body) : 0xFFFFFFFF;
  }
  uint32_t Begin(uint32_t expected) { return Result(Slave(1, 44, Cat({Le32(0), Le32(expected)}))); }
  uint32_t Piece(const std::string& text) { return Result(Slave(3, 44, Bytes(text))); }
  uint32_t Finish() { return Result(Slave(4, 44)); }
};

TEST_F(MerchantChequeTest, PiecesAreCutToTheAnnouncedLength) {
  testsupport::WriteFile(Path("MRCH.SLP"), "old cheque");
  EXPECT_EQ(Begin(100), 0u);
  EXPECT_FALSE(testsupport::FileExists(Path("MRCH.SLP")));
  EXPECT_EQ(Piece(std::string(60, 'a')), 0u);
  EXPECT_EQ(Piece(std::string(60, 'b')), 0u);
  EXPECT_EQ(Piece("more"), 0u);  // nothing left to take
  EXPECT_EQ(Finish(), 0u);
  EXPECT_EQ(testsupport::ReadFile(Path("MRCH.SLP")), std::string(60, 'a') + std::string(40, 'b'));
}

TEST_F(MerchantChequeTest, IncompleteChequeIsReported) {
  EXPECT_EQ(Begin(100), 0u);
  EXPECT_EQ(Piece(std::string(60, 'a')), 0u);
  EXPECT_EQ(Finish(), 4384u);
}

TEST_F(MerchantChequeTest, AnnouncedLengthIsCapped) {
  EXPECT_EQ(Begin(0xFFFFFFFF), 0u);
  EXPECT_EQ(slvState().merchant.expected, kMaxMerchantCheque);
  EXPECT_EQ(slvGetMerchantChequeLength(std::string(70000, 'c').c_str()), kMaxMerchantCheque);
  EXPECT_EQ(slvGetMerchantChequeLength("short"), 5u);
  DavizParams params;
  EXPECT_EQ(slvGetMerchantChequeLength(params), 0u);
  params.AttachMerchantCheque("MERCHANT COPY", 13);
  EXPECT_EQ(slvGetMerchantChequeLength(params), 13u);
}

TEST_F(MerchantChequeTest, DropClosesAndDeletes) {
  Begin(10);
  Piece("12345");
  slvDropMerchantCheque();
  EXPECT_EQ(slvState().merchant.handle, 0);
  EXPECT_FALSE(testsupport::FileExists(Path("MRCH.SLP")));
}

struct Saved {
  std::vector<uint8_t> header;
  std::vector<uint8_t> points;
};

class SignatureTest : public ServicesFixture {
 protected:
  void SetUp() override {
    ServicesFixture::SetUp();
    slvSetSignatureSink([this](const uint8_t* header, const uint8_t* points, uint32_t count) {
      saved_.push_back({std::vector<uint8_t>(header, header + 34), std::vector<uint8_t>(points, points + count)});
      return sinkResult_;
    });
  }
  static std::vector<uint8_t> Header(uint8_t mark) { return std::vector<uint8_t>(34, mark); }

  std::vector<Saved> saved_;
  uint16_t sinkResult_ = 0;
};

TEST_F(SignatureTest, PiecesAreGatheredUntilTheFinish) {
  EXPECT_EQ(Slave(1, 40, Cat({Le32(0), Le32(6)})).status, 0);
  EXPECT_EQ(Slave(3, 40, Cat({Header(1), {10, 11, 12, 13}})).status, 0);
  EXPECT_EQ(Slave(3, 40, Cat({Header(2), {14, 15, 16, 17}})).status, 0);  // cut to the announced 6
  EXPECT_TRUE(saved_.empty());
  sinkResult_ = 77;
  EXPECT_EQ(Slave(4, 40).status, 77);
  ASSERT_EQ(saved_.size(), 1u);
  EXPECT_EQ(saved_[0].header, Header(2));
  EXPECT_EQ(saved_[0].points, (std::vector<uint8_t>{10, 11, 12, 13, 14, 15}));
  EXPECT_FALSE(slvState().signature.hasBuffer);
}

TEST_F(SignatureTest, PieceWithoutBeginIsSavedAtOnce) {
  EXPECT_EQ(Slave(3, 40, Cat({Header(9), {1, 2, 3}})).status, 0);
  ASSERT_EQ(saved_.size(), 1u);
  EXPECT_EQ(saved_[0].points, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(SignatureTest, StepsAndSizes) {
  EXPECT_EQ(Slave(2, 40).status, 101);  // reading is no step of a capture
  EXPECT_EQ(Slave(1, 40, Cat({Le32(0), Le32(kMaxSignatureSize + 1)})).status, 253);
  EXPECT_EQ(Slave(1, 40, {1, 2}).status, 0);  // no size: nothing is gathered
  EXPECT_EQ(Slave(4, 40).status, 0);
  EXPECT_TRUE(saved_.empty());
  slvResetHooksForTests();
  EXPECT_EQ(Slave(3, 40, Cat({Header(1), {1}})).status, 252);  // nobody writes pictures
}

}  // namespace
