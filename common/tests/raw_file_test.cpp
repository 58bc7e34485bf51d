#include "common/raw_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_support.h"

namespace common {
namespace {

TEST(RawFile, SaveReplacesAndLoadIsBounded) {
  testsupport::TempDir dir;
  const std::string name = dir / "SESS.D";
  testsupport::WriteFile(name, std::string(100, 'x'));  // an older, longer file

  const uint8_t record[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EXPECT_EQ(auxSaveParamsByName(name.c_str(), sizeof record, record), 12u);
  EXPECT_EQ(testsupport::ReadFile(name), std::string(reinterpret_cast<const char*>(record), 12));

  uint8_t small[4] = {};
  EXPECT_EQ(auxLoadParamsByName(name.c_str(), sizeof small, small), 4u);
  EXPECT_EQ(small[3], 4);

  uint8_t big[32];
  std::memset(big, 0xEE, sizeof big);
  EXPECT_EQ(auxLoadParamsByName(name.c_str(), sizeof big, big), 12u);
  EXPECT_EQ(big[11], 12);
  EXPECT_EQ(big[12], 0xEE);
  EXPECT_EQ(auxLoadParamsByName(name.c_str(), 0, big), 12u);  // whole file

  std::vector<uint8_t> all;
  EXPECT_TRUE(auxLoadParamsFile(name.c_str(), all));
  EXPECT_EQ(all.size(), 12u);

  // Size 0 only deletes.
  EXPECT_EQ(auxDoSaveParamsByName(name.c_str(), 0, record, O_SYNC), 0u);
  EXPECT_FALSE(testsupport::FileExists(name));
  EXPECT_EQ(auxLoadParamsByName(name.c_str(), sizeof big, big), 0u);
  EXPECT_FALSE(auxLoadParamsFile(name.c_str(), all));

  EXPECT_EQ(auxSaveParamsByName((dir / "no/such/folder").c_str(), 4, record), 0u);
}

}  // namespace
}  // namespace common
