#include <gtest/gtest.h>

#include "settings/KVXStrings.h"

namespace qv {
namespace {

TEST(KVXStrings, AddBackslashAddsExactlyOne) {
  EXPECT_EQ(AddBackslash("C:\\Program Files\\Ultima Online"), "C:\\Program Files\\Ultima Online\\");
  EXPECT_EQ(AddBackslash("C:\\UO\\"), "C:\\UO\\");
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("UO"), "UO\\");
  // The last character decides, not the trimmed text.
  EXPECT_EQ(AddBackslash("C:\\UO "), "C:\\UO \\");
}

TEST(KVXStrings, RemoveBackslashRemovesOnlyOne) {
  EXPECT_EQ(RemoveBackslash("C:\\UO\\"), "C:\\UO");
  EXPECT_EQ(RemoveBackslash("C:\\UO\\\\"), "C:\\UO\\");
  EXPECT_EQ(RemoveBackslash("C:\\UO"), "C:\\UO");
  EXPECT_EQ(RemoveBackslash("C:\\UO\\ "), "C:\\UO\\ ");
}

TEST(KVXStrings, BlankTextStaysAsItIs) {
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(RemoveBackslash(""), "");
  EXPECT_EQ(AddBackslash("  \t"), "  \t");
  EXPECT_EQ(RemoveBackslash(" \r\n"), " \r\n");
}

#ifndef _WIN32
TEST(KVXStrings, HostPathsKeepTheirSlash) {
  EXPECT_EQ(AddBackslash("/home/me/uo"), "/home/me/uo/");
  EXPECT_EQ(AddBackslash("/home/me/uo/"), "/home/me/uo/");
  EXPECT_EQ(AddBackslash("games/uo"), "games/uo/");
  // A host name may hold a backslash; the path is still a host path.
  EXPECT_EQ(AddBackslash("/home/me/odd\\name"), "/home/me/odd\\name/");
  EXPECT_EQ(RemoveBackslash("/home/me/uo/"), "/home/me/uo");
  EXPECT_EQ(RemoveBackslash("/home/me/uo//"), "/home/me/uo/");
  // A Windows-form path never gets a '/'.
  EXPECT_EQ(AddBackslash("C:\\games/uo"), "C:\\games/uo\\");
  EXPECT_EQ(AddBackslash("C:\\games/uo/"), "C:\\games/uo/");
}
#endif

TEST(KVXStrings, PadRightNeverCuts) {
  EXPECT_EQ(PadRight("Key", 5), "Key  ");
  EXPECT_EQ(PadRight("Key", 3), "Key");
  EXPECT_EQ(PadRight("", 2), "  ");
  EXPECT_EQ(PadRight("Key", 0), "Key");
  EXPECT_EQ(PadRight("Key", -4), "Key");
  std::string sixty(60, 'x');
  EXPECT_EQ(PadRight(sixty, 50), sixty);
  EXPECT_EQ(PadRight("Alt", 50).size(), 50u);
}

} // namespace
} // namespace qv
