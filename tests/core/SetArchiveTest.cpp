#include "core/SetArchive.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "support/TempDir.h"

namespace qv {
namespace {

constexpr std::string_view kLineEndsChanged =
    "The configuration set file's line ends were changed (to CR LF, as mail or a Windows editor "
    "does): its sizes no longer match its contents.";

// What mail and Windows editors do to a text: every LF without a CR before it gets one.
std::string Mailed(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      out += '\r';
    out += text[i];
  }
  return out;
}

// The game's own files: CR LF throughout.
SetArchive GameSet() {
  SetArchive set;
  set.name = "Trinsic PvP";
  set.files = {test::Crlf({"CacheSize=16", "JournalSaveFile=C:\\UO\\Journal.Log"}),
               test::Crlf({"F1 0 0 0", "Say Hail", "########"}),
               test::Crlf({"LoginServer=login.example.net,7775"})};
  return set;
}

std::string Refusal(std::string_view bytes) {
  try {
    DecodeSetArchive(bytes);
  } catch (const Error& error) {
    return error.what();
  }
  return "(read)";
}

TEST(SetArchiveTest, AMailedSetOfCrLfFilesIsReadWhole) {
  const SetArchive set = GameSet();
  const std::string mailed = Mailed(EncodeSetArchive(set));
  ASSERT_NE(mailed, EncodeSetArchive(set));
  EXPECT_EQ(DecodeSetArchive(mailed), set);
}

TEST(SetArchiveTest, AMailedSetWhoseSizesNoLongerHoldSaysTheLineEndsChanged) {
  // A copy with LF line ends grows in the mail.
  SetArchive set = GameSet();
  set.files[1] = "F1 0 0 0\nSay Hail\n########\n";
  const std::string grown = Mailed(EncodeSetArchive(set));
  EXPECT_EQ(Refusal(grown), kLineEndsChanged);
  // A converter that puts CR before every LF, CR LF or not.
  std::string doubled;
  for (char c : EncodeSetArchive(GameSet()))
    doubled += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(Refusal(doubled), kLineEndsChanged);
  // Cut short anywhere after its header, a mailed set is never taken for a whole one.
  const std::string mailed = Mailed(EncodeSetArchive(GameSet()));
  for (std::size_t size = kSetArchiveHeader.size() + 2; size < mailed.size(); ++size)
    EXPECT_EQ(Refusal(mailed.substr(0, size)), kLineEndsChanged) << size;
}

TEST(SetArchiveTest, OtherRefusalsKeepTheirReasons) {
  EXPECT_EQ(Refusal("Quorvel configuration set 2\r\nName x\r\n"),
            "The configuration set file was written by a later version of Quorvel.");
  EXPECT_EQ(Refusal("UO.CFG 12\r\n"), "The file is not a configuration set file of Quorvel.");
  const std::string plain = EncodeSetArchive(GameSet());
  EXPECT_EQ(Refusal(plain.substr(0, plain.size() - 1)),
            "The configuration set file is damaged: the end line is missing.");
}

} // namespace
} // namespace qv
