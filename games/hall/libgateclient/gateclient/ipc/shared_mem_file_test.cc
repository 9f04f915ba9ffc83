#include "gateclient/ipc/shared_mem_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

TEST(SharedMemFileTest, NormalizeNameReplacesBackslashesUpperCasesAndCuts) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"kx_52816_queue_cs201588_5_s", "KX_52816_QUEUE_CS201588_5_S"},
      {"Local\\a\\b", "LOCAL_A_B"},
      {"", ""},
      {std::string(600, 'q'), std::string(519, 'Q')},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(CSharedMemFile::NormalizeName(c.in.c_str(), &out), c.out.size()) << c.in;
    EXPECT_EQ(out, c.out);
  }
  std::string out = "left over";
  EXPECT_EQ(CSharedMemFile::NormalizeName(nullptr, &out), 0u);
  EXPECT_TRUE(out.empty());
}

TEST(SharedMemFileTest, OpenerSeesCreatorsBytesUnderEitherSpellingOfTheName) {
  std::string name = "tvx_smf_" + std::to_string(getpid()) + "\\x";
  CSharedMemFile creator;
  creator.SetName(name.c_str());
  creator.SetSize(4096);
  creator.SetReadOnly(false);
  ASSERT_TRUE(creator.CreateMapping());
  creator.view()[4095] = 0x5a;

  std::string upper;
  CSharedMemFile::NormalizeName(name.c_str(), &upper);
  CSharedMemFile opener;
  ASSERT_TRUE(opener.OpenMapping(upper.c_str(), 4096));
  EXPECT_EQ(opener.size(), 4096u);
  EXPECT_EQ(opener.view()[4095], 0x5a);
  opener.CloseMapping();
  EXPECT_FALSE(opener.OpenMapping(name.c_str(), 4097)) << "a mapping smaller than needed";
  creator.CloseMapping();
  EXPECT_FALSE(opener.OpenMapping(name.c_str(), 1)) << "gone with its creator";
}

TEST(SharedMemFileTest, TerminatorAddsTwoZeroBytesPastTheSize) {
  std::string name = "tvx_smft_" + std::to_string(getpid());
  CSharedMemFile f;
  f.SetName(name.c_str());
  f.SetSize(10);
  f.SetTerminator(true);
  ASSERT_TRUE(f.CreateMapping());
  EXPECT_EQ(f.size(), 10u);
  EXPECT_EQ(f.view()[10], 0);
  EXPECT_EQ(f.view()[11], 0);
}

}  // namespace
