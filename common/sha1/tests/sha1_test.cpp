#include "sha1.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "test_support.h"

namespace {

struct Vector {
  std::string input;
  size_t repeat;
  const char* digest;
};

// The published FIPS 180-1 examples plus the empty message.
const Vector kVectors[] = {
    {"abc", 1, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1, "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
    {"a", 1000000, "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    {"", 1, "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
};

std::vector<TSha1::Engine> Engines() {
  std::vector<TSha1::Engine> engines = {TSha1::Engine::kPortable};
  if (TSha1::HardwareAvailable()) engines.push_back(TSha1::Engine::kHardware);
  return engines;
}

TEST(Sha1, FipsVectorsOnEveryEngine) {
  for (auto engine : Engines()) {
    for (const auto& v : kVectors) {
      TSha1 sha(engine);
      std::string whole;
      for (size_t i = 0; i < v.repeat; ++i) whole += v.input;
      EXPECT_EQ(TSha1::ToHex(sha.HashData(whole)), v.digest) << v.input.substr(0, 10);
      // The same message fed in uneven pieces.
      sha.Init();
      for (size_t pos = 0; pos < whole.size();) {
        size_t piece = std::min<size_t>(whole.size() - pos, 1 + pos % 97);
        sha.AddData(whole.data() + pos, piece);
        pos += piece;
      }
      EXPECT_EQ(TSha1::ToHex(sha.Finalize()), v.digest);
    }
  }
}

// Lengths around the padding boundaries (55, 56, 63, 64 bytes...) compared
// with the system's sha1sum.
TEST(Sha1, MatchesSha1sumAroundBlockBoundaries) {
  testsupport::TempDir dir;
  std::mt19937 rng(7);
  for (size_t length : {1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u, 65537u}) {
    std::string data(length, '\0');
    for (auto& c : data) c = static_cast<char>(rng());
    testsupport::WriteFile(dir / "f", data);
    auto r = testsupport::RunProcess({"sha1sum", dir / "f"});
    ASSERT_EQ(r.exit_code, 0);
    std::string expected = r.out.substr(0, 40);
    for (auto& c : expected) c = static_cast<char>(toupper(c));
    for (auto engine : Engines()) {
      TSha1 sha(engine);
      EXPECT_EQ(TSha1::ToHex(sha.HashData(data)), expected) << length;
    }
  }
}

TEST(Sha1, ObjectIsReusableAfterInit) {
  TSha1 sha;
  auto first = sha.HashData("abc");
  auto second = sha.HashData("abc");
  EXPECT_EQ(first, second);
}

}  // namespace
