#include "platform/WineHive.h"
#include "text/Encoding.h"

#include <gtest/gtest.h>

#include "SampleHive.h"

namespace qv::platform {
namespace {

using test::kSampleSystemReg;
using Path = WineHive::Path;

// 2027-01-15 08:00:00 UTC as a FILETIME, and as Wine writes it.
constexpr std::uint64_t kTime = 134444736000000000ULL;
constexpr const char* kTimeSeconds = "1800000000";
constexpr const char* kTimeLine = "#time=1dda4c66b338000";

WineHive Machine(std::string text = kSampleSystemReg) {
  return WineHive(std::move(text), u"\\Registry\\Machine");
}

std::vector<std::uint8_t> Utf16(std::u16string_view s) {
  std::vector<std::uint8_t> out;
  for (char16_t c : s) {
    out.push_back(std::uint8_t(c & 0xFF));
    out.push_back(std::uint8_t(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

RegValue Value(const WineHive& hive, const Path& path, std::u16string_view name) {
  auto value = hive.Value(path, name);
  EXPECT_TRUE(value.has_value()) << std::string(name.begin(), name.end());
  return value.value_or(RegValue{});
}

// A hive text with a #link key at path pointing to target (Wine's link value, unwrapped).
std::string LinkBlock(const std::string& path, std::u16string_view target) {
  std::string hex;
  for (auto byte : Utf16(target.substr(0))) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02x", unsigned(byte));
    if (!hex.empty())
      hex += ',';
    hex += buffer;
  }
  hex.resize(hex.size() - 6); // no terminating zero in a link value
  return "\n[" + path + "] 1796762388\n#link\n\"SymbolicLinkValue\"=hex(6):" + hex + "\n";
}

const std::string kHeader64 = "WINE REGISTRY Version 2\n;; All keys relative to "
                              "REGISTRY\\\\Machine\n\n#arch=win64\n";

TEST(WineHiveRead, ValuesOfEveryKind) {
  WineHive hive = Machine();
  ASSERT_TRUE(hive.IsValid());
  EXPECT_TRUE(hive.Is64Bit());

  Path game = {u"Software", u"Wow6432Node", u"Origin Worlds Online", u"Ultima Online", u"1.0"};
  RegValue exe = Value(hive, game, u"ExePath");
  EXPECT_EQ(exe.type, kRegSz);
  EXPECT_EQ(DecodeRegString(exe.data), "C:\\Program Files (x86)\\Ultima Online\\client.exe");

  Path version = {u"Software", u"Microsoft", u"Windows", u"CurrentVersion"};
  RegValue expand = Value(hive, version, u"ProgramFilesPath");
  EXPECT_EQ(expand.type, kRegExpandSz);
  EXPECT_EQ(DecodeRegString(expand.data), "%ProgramFiles%");

  Path fonts = {u"Software", u"Wine", u"Fonts", u"Replacements"};
  EXPECT_EQ(DecodeRegString(Value(hive, fonts, u"Caf\u00e9 Mono").data), "Caf\u00e9 Sans");
  RegValue multi = Value(hive, fonts, u"Multi");
  EXPECT_EQ(multi.type, kRegMultiSz);
  EXPECT_EQ(multi.data, Utf16(std::u16string(u"a\0b\0", 4)));

  Path beta = {u"Software", u"Wine", u"Name [beta]"};
  EXPECT_EQ(DecodeRegString(Value(hive, beta, u"Control").data),
            "line1\nline2\ttab \"quoted\" back\\slash \u00e9a");
  RegValue blob = Value(hive, beta, u"Blob");
  EXPECT_EQ(blob.type, kRegBinary);
  ASSERT_EQ(blob.data.size(), 40u);
  for (std::size_t i = 0; i < 40; ++i)
    EXPECT_EQ(blob.data[i], i);
  EXPECT_EQ(Value(hive, beta, u"Num").data, RegValue::Dword(42).data);
  EXPECT_EQ(Value(hive, beta, u"Num").type, kRegDword);
  RegValue odd = Value(hive, beta, u"Odd");
  EXPECT_EQ(odd.type, 0x80000001u);
  EXPECT_EQ(odd.data, (std::vector<std::uint8_t>{1, 2}));
  EXPECT_EQ(Value(hive, beta, u"Q").type, 11u);

  Path classes = {u"Software", u"Classes", u"txtfile"};
  EXPECT_EQ(DecodeRegString(Value(hive, classes, u"").data), "Text Document");
  EXPECT_FALSE(hive.Value(classes, u"Missing"));
  EXPECT_FALSE(hive.Value({u"Software", u"Nowhere"}, u""));
}

TEST(WineHiveRead, NamesWithoutRegardToCase) {
  WineHive hive = Machine();
  Path game = {u"SOFTWARE", u"wow6432node", u"ORIGIN WORLDS ONLINE", u"ultima online", u"1.0"};
  EXPECT_TRUE(hive.Exists(game));
  EXPECT_EQ(DecodeRegString(Value(hive, game, u"EXEPATH").data),
            "C:\\Program Files (x86)\\Ultima Online\\client.exe");
  EXPECT_TRUE(hive.Value({u"software", u"wine", u"fonts", u"replacements"}, u"CAF\u00c9 MONO"));
  // The first spelling is kept.
  EXPECT_EQ(hive.SubKeys({u"SOFTWARE", u"WINE"}),
            (std::vector<std::u16string>{u"Fonts", u"Name [beta]"}));
}

TEST(WineHiveRead, ImpliedKeysAndSubKeyOrder) {
  WineHive hive = Machine();
  // Keys with only sub-keys have no block of their own.
  EXPECT_TRUE(hive.Exists({u"Software"}));
  EXPECT_TRUE(hive.Exists({u"Software", u"Wow6432Node", u"Origin Worlds Online"}));
  EXPECT_TRUE(hive.Exists({u"Software", u"Classes", u"Wow6432Node", u"Interface"}));
  EXPECT_FALSE(hive.Exists({u"Software", u"Wow6432Node", u"Origin"}));
  EXPECT_EQ(hive.SubKeys({}), (std::vector<std::u16string>{u"Software", u"System"}));
  EXPECT_EQ(hive.SubKeys({u"Software"}),
            (std::vector<std::u16string>{u"Classes", u"Microsoft", u"Wine", u"Wow6432Node"}));
  EXPECT_EQ(hive.SubKeys({u"Software", u"Classes"}),
            (std::vector<std::u16string>{u"txtfile", u"Wow6432Node"}));
  EXPECT_TRUE(hive.SubKeys({u"Software", u"Classes", u"Wow6432Node", u"Interface"}).empty());
}

TEST(WineHiveRead, RepeatedKeysAndValuesMerge) {
  WineHive hive = Machine(kHeader64 + "\n[Software\\\\A] 1\n\"Val\"=\"one\"\n\"Other\"=\"x\"\n"
                                      "\n[SOFTWARE\\\\a] 2\n\"VAL\"=\"two\"\n");
  auto values = hive.Values({u"software", u"a"});
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].first, u"Val");
  EXPECT_EQ(DecodeRegString(values[0].second.data), "two");
  EXPECT_EQ(hive.SubKeys({u"Software"}), std::vector<std::u16string>{u"A"});
  EXPECT_EQ(hive.ExplicitKeys().size(), 1u);
}

// Blocks that another tool appended out of Wine's order, and names that need decoding.
TEST(WineHiveRead, UnsortedFilesAndEscapedNames) {
  WineHive hive = Machine(kHeader64 + "\n[Software\\\\Zeta] 1\n\"z\"=\"1\"\n"
                                      "\n[Software\\\\Caf\\xe9\\\\Sub] 1\n\"c\"=\"2\"\n"
                                      "\n[Software\\\\Alpha] 1\n\"a\"=\"3\"\n"
                                      "\n[\\\\Software\\\\\\\\Beta\\\\] 1\n\"b\"=\"4\"\n");
  EXPECT_EQ(hive.SubKeys({u"software"}),
            (std::vector<std::u16string>{u"Alpha", u"Beta", u"Caf\u00e9", u"Zeta"}));
  EXPECT_EQ(DecodeRegString(Value(hive, {u"SOFTWARE", u"CAF\u00c9", u"sub"}, u"C").data), "2");
  EXPECT_EQ(DecodeRegString(Value(hive, {u"Software", u"Beta"}, u"b").data), "4");
  EXPECT_EQ(DecodeRegString(Value(hive, {u"Software", u"Zeta"}, u"z").data), "1");
  // A new key goes before the first block that sorts after it.
  ASSERT_TRUE(hive.CreateKey({u"Software", u"Delta"}, kTime));
  EXPECT_LT(hive.Text().find("[Software\\\\Delta]"), hive.Text().find("[Software\\\\Zeta]"));
  EXPECT_TRUE(hive.Exists({u"Software", u"Delta"}));
}

TEST(WineHiveRead, MalformedLinesAndForeignFiles) {
  WineHive hive =
      Machine(kHeader64 + "\n[Software\\\\A] 1\n\"Bad\"=dword:\n\"Unterminated\"=\"abc\n"
                          "\"Bin\"=hex:01,02,zz\n\"NoName=\"1\"\n"
                          "\n[Broken\\\\Key\n\"Lost\"=\"x\"\n");
  EXPECT_EQ(Value(hive, {u"Software", u"A"}, u"Bad").type, kRegNone);
  EXPECT_TRUE(Value(hive, {u"Software", u"A"}, u"Unterminated").data.empty());
  EXPECT_EQ(Value(hive, {u"Software", u"A"}, u"Bin").type, kRegNone);
  EXPECT_EQ(hive.Values({u"Software", u"A"}).size(), 4u);
  EXPECT_FALSE(hive.Exists({u"Broken"}));

  WineHive foreign = Machine("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"x\"=\"y\"\n");
  EXPECT_FALSE(foreign.IsValid());
  EXPECT_FALSE(foreign.Exists({u"HKEY_LOCAL_MACHINE"}));
}

// After a backslash that ends a hex list Wine reads the next line as more bytes, whatever it
// holds; edits elsewhere keep it so.
TEST(WineHiveRead, HexContinuationTakesTheNextLine) {
  WineHive hive =
      Machine(kHeader64 + "\n[A] 1\n\"Blob\"=hex:01,02,\\ trailing\n[B] 2\n\"x\"=\"1\"\n"
                          "\n[C] 3\n\"Open\"=hex:01,\\\n");
  EXPECT_FALSE(hive.Exists({u"B"}));
  EXPECT_EQ(Value(hive, {u"A"}, u"Blob").type, kRegNone);
  // The key line is gone, so the value after it belongs to A.
  EXPECT_EQ(DecodeRegString(Value(hive, {u"A"}, u"x").data), "1");
  ASSERT_TRUE(hive.CreateKey({u"D"}, kTime));
  ASSERT_TRUE(hive.SetValue({u"A"}, u"New", RegValue::Dword(1), kTime));
  WineHive again = Machine(hive.Text());
  EXPECT_EQ(Value(again, {u"C"}, u"Open").type, kRegNone); // still cut off, not ended by a new line
  EXPECT_TRUE(Value(again, {u"C"}, u"Open").data.empty());
  EXPECT_EQ(Value(again, {u"A"}, u"Blob").type, kRegNone);
  EXPECT_EQ(Value(again, {u"A"}, u"New").type, kRegDword);
  EXPECT_TRUE(again.Exists({u"D"}));
  EXPECT_FALSE(again.Exists({u"B"}));
}

TEST(WineHiveView, Wow6432NodeAndLinks) {
  WineHive hive = Machine();
  auto game = hive.Resolve({u"SOFTWARE", u"Origin Worlds Online", u"Ultima Online", u"1.0"}, false);
  ASSERT_TRUE(game);
  EXPECT_EQ(*game,
            (Path{u"Software", u"Wow6432Node", u"Origin Worlds Online", u"Ultima Online", u"1.0"}));
  // Naming the 32-bit key itself reaches the same key.
  EXPECT_EQ(hive.Resolve({u"Software", u"Wow6432Node", u"Origin Worlds Online"}, false),
            (Path{u"Software", u"Wow6432Node", u"Origin Worlds Online"}));
  // No fall-back to the 64-bit key.
  EXPECT_FALSE(hive.Resolve({u"Software", u"Microsoft", u"Windows"}, false));
  // Software\Wow6432Node\Classes is a link to Software\Classes\Wow6432Node.
  EXPECT_EQ(hive.Resolve({u"Software", u"Classes", u"CLSID"}, false),
            (Path{u"Software", u"Classes", u"Wow6432Node", u"CLSID"}));
  EXPECT_EQ(
      hive.Resolve({u"System", u"CurrentControlSet", u"Hardware Profiles", u"Current"}, false),
      (Path{u"System", u"ControlSet001", u"Hardware Profiles", u"Current"}));
  // New keys land where a 32-bit program would put them.
  EXPECT_EQ(hive.Resolve({u"SOFTWARE", u"Quorvel", u"UOXConfigs"}, true),
            (Path{u"Software", u"Wow6432Node", u"Quorvel", u"UOXConfigs"}));
  EXPECT_FALSE(hive.Resolve({u"SOFTWARE", u"Quorvel"}, false));
}

TEST(WineHiveView, ThirtyTwoBitPrefixHasNoRedirection) {
  std::string text = kSampleSystemReg;
  text.replace(text.find("win64"), 5, "win32");
  WineHive hive = Machine(text);
  EXPECT_FALSE(hive.Is64Bit());
  EXPECT_FALSE(hive.Resolve({u"Software", u"Origin Worlds Online"}, false));
  EXPECT_EQ(hive.Resolve({u"Software", u"Microsoft"}, false), (Path{u"Software", u"Microsoft"}));
}

TEST(WineHiveView, BrokenLinksLeadNowhere) {
  WineHive hive =
      Machine(kHeader64 + LinkBlock("Software\\\\Loop", u"\\Registry\\Machine\\Software\\Loop") +
              LinkBlock("Software\\\\Dangling", u"\\Registry\\Machine\\Software\\Gone") +
              LinkBlock("Software\\\\User", u"\\Registry\\User\\S-1-5-21-0-0-0-1000\\X"));
  EXPECT_FALSE(hive.Resolve({u"Software", u"Loop"}, false));
  EXPECT_FALSE(hive.Resolve({u"Software", u"Dangling"}, false));
  EXPECT_FALSE(hive.Resolve({u"Software", u"Dangling", u"Sub"}, true));
  EXPECT_FALSE(hive.Resolve({u"Software", u"User"}, false));
  EXPECT_TRUE(hive.IsLink({u"SOFTWARE", u"loop"}));
}

// The text before and after the block of the key written is the same, byte for byte.
TEST(WineHiveWrite, OneValueChangesOnlyItsLine) {
  WineHive hive = Machine();
  Path game = {u"Software", u"Wow6432Node", u"Origin Worlds Online", u"Ultima Online", u"1.0"};
  ASSERT_TRUE(hive.SetValue(game, u"UPGRADED", RegValue::Text("No"), kTime));

  std::string expected = kSampleSystemReg;
  std::size_t block = expected.find("[Software\\\\Wow6432Node\\\\Origin");
  expected.replace(expected.find("] 1796762388", block), 12, std::string("] ") + kTimeSeconds);
  expected.replace(expected.find("#time=1dd87544417fbd4", block), 21, kTimeLine);
  expected.replace(expected.find("\"Upgraded\"=\"Yes\"", block), 16, "\"Upgraded\"=\"No\"");
  EXPECT_EQ(hive.Text(), expected);

  // The same value again changes nothing, not even the time stamp.
  EXPECT_FALSE(hive.SetValue(game, u"upgraded", RegValue::Text("No"), kTime + 99999999));
  EXPECT_EQ(hive.Text(), expected);
}

TEST(WineHiveWrite, NewValueInSortedPlaceWithWineEscapes) {
  const std::string kEscapes = "C:\\Caf\u00e9"
                               "a\u00e9"
                               "\x01"
                               "1\a\x7f\U0001F600";
  WineHive hive = Machine();
  Path beta = {u"Software", u"Wine", u"Name [beta]"};
  ASSERT_TRUE(hive.SetValue(beta, u"Path \"x\"", RegValue::Text(kEscapes), kTime));
  EXPECT_NE(
      hive.Text().find("\"Odd\"=hex(80000001):01,02\n"
                       "\"Path \\\"x\\\"\"=\"C:\\\\Caf\\x00e9a\\xe9\\0011\\a\x7f\\xd83d\\xde00\"\n"
                       "\"Q\"=hex(b):"),
      std::string::npos)
      << hive.Text();
  EXPECT_EQ(DecodeRegString(Value(hive, beta, u"path \"X\"").data), kEscapes);
  // The #class line stays; #time is renewed.
  EXPECT_NE(hive.Text().find("[Software\\\\Wine\\\\Name \\[beta\\]] 1800000000\n" +
                             std::string(kTimeLine) + "\n#class=\"WineClass\"\n"),
            std::string::npos);
}

// A value added just before the #time line, which is renewed in the same edit.
TEST(WineHiveWrite, NewValueBeforeALateTimeLine) {
  WineHive hive = Machine(kHeader64 + "\n[A] 1\n\"a\"=\"1\"\n#time=1\n\n[B] 2\n");
  ASSERT_TRUE(hive.SetValue({u"A"}, u"b", RegValue::Text("2"), kTime));
  EXPECT_EQ(hive.Text(), kHeader64 + "\n[A] " + kTimeSeconds + "\n\"a\"=\"1\"\n\"b\"=\"2\"\n" +
                             kTimeLine + "\n\n[B] 2\n");
}

TEST(WineHiveWrite, ValueFormsAsWineWritesThem) {
  WineHive hive = Machine(kHeader64);
  Path key = {u"Software", u"T"};
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 40; ++i)
    bytes.push_back(std::uint8_t(i));
  hive.SetValue(key, u"Blob", RegValue{kRegBinary, bytes}, kTime);
  hive.SetValue(key, u"Num", RegValue::Dword(0xdeadbeef), kTime);
  hive.SetValue(key, u"Exp", RegValue::Text("%WINDIR%\\x", kRegExpandSz), kTime);
  hive.SetValue(key, u"", RegValue::Text("default"), kTime);
  hive.SetValue(key, u"Raw", RegValue{kRegSz, {'a', 0}}, kTime); // no terminator
  hive.SetValue(key, u"None", RegValue{kRegNone, {}}, kTime);
  hive.SetValue(key, u"Short", RegValue{kRegDword, {1, 2}}, kTime);
  EXPECT_EQ(
      hive.Text(),
      kHeader64 + "\n[Software\\\\T] 1800000000\n" + kTimeLine +
          "\n@=\"default\""
          "\n\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\"
          "\n  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27"
          "\n\"Exp\"=str(2):\"%WINDIR%\\\\x\""
          "\n\"None\"=hex(0):"
          "\n\"Num\"=dword:deadbeef"
          "\n\"Raw\"=hex(1):61,00"
          "\n\"Short\"=hex(4):01,02\n");

  // Every value reads back as it was written.
  WineHive again = Machine(hive.Text());
  EXPECT_EQ(Value(again, key, u"Blob").data, bytes);
  EXPECT_EQ(Value(again, key, u"Raw").data, (std::vector<std::uint8_t>{'a', 0}));
  EXPECT_EQ(Value(again, key, u"Raw").type, kRegSz);
  EXPECT_EQ(Value(again, key, u"Short").type, kRegDword);
  EXPECT_EQ(Value(again, key, u"Exp").type, kRegExpandSz);
}

TEST(WineHiveWrite, NewKeysInSortedPlace) {
  WineHive hive = Machine();
  Path quorvel = {u"Software", u"Wow6432Node", u"Quorvel", u"UOXConfigs"};
  ASSERT_TRUE(hive.SetValue(quorvel, u"NextExt", RegValue::Dword(2), kTime));
  std::string block = std::string("\n[Software\\\\Wow6432Node\\\\Quorvel\\\\UOXConfigs] ") +
                      kTimeSeconds + "\n" + kTimeLine + "\n\"NextExt\"=dword:00000002\n";
  std::string expected = kSampleSystemReg;
  expected.insert(expected.find("\n[System\\\\ControlSet001"), block);
  EXPECT_EQ(hive.Text(), expected);

  // An existing parent keeps its spelling; a key sorting last is appended.
  ASSERT_TRUE(hive.CreateKey({u"SYSTEM", u"Zeta"}, kTime));
  EXPECT_EQ(hive.Text(), expected + "\n[System\\\\Zeta] " + kTimeSeconds + "\n" + kTimeLine + "\n");
  EXPECT_FALSE(hive.CreateKey({u"system", u"zeta"}, kTime));
  EXPECT_FALSE(hive.CreateKey({u"Software", u"Wine"}, kTime));
}

TEST(WineHiveWrite, DeleteKeepsTheRestAndAnEmptyParent) {
  WineHive hive = Machine();
  Path fonts = {u"System",  u"ControlSet001", u"Hardware Profiles",
                u"Current", u"Software",      u"Fonts"};
  EXPECT_FALSE(hive.DeleteKey({u"Software", u"Wine"}, kTime)); // has sub-keys
  EXPECT_FALSE(hive.DeleteKey({u"Software", u"Gone"}, kTime));
  EXPECT_FALSE(hive.DeleteKey({}, kTime));
  ASSERT_TRUE(hive.DeleteKey(fonts, kTime));
  std::string expected = kSampleSystemReg;
  std::size_t from = expected.find("\n[System\\\\ControlSet001");
  std::size_t to = expected.find("\n[System\\\\CurrentControlSet");
  expected.replace(from, to - from,
                   std::string("\n[System\\\\ControlSet001\\\\Hardware Profiles\\\\Current\\\\"
                               "Software] ") +
                       kTimeSeconds + "\n" + kTimeLine + "\n");
  EXPECT_EQ(hive.Text(), expected);
  EXPECT_TRUE(
      hive.Exists({u"System", u"ControlSet001", u"Hardware Profiles", u"Current", u"Software"}));

  // The last block goes with the blank line before it.
  WineHive last = Machine(kHeader64 + "\n[A] 1\n\"x\"=\"1\"\n\n[B] 2\n");
  ASSERT_TRUE(last.DeleteKey({u"b"}, kTime));
  EXPECT_EQ(last.Text(), kHeader64 + "\n[A] 1\n\"x\"=\"1\"\n");
}

// Every key and value of a hive survives a write of another value.
TEST(WineHiveWrite, WrittenHiveParsesBackToTheSameKeysAndValues) {
  WineHive original = Machine();
  WineHive edited = Machine();
  edited.SetValue({u"Software", u"Wow6432Node", u"Quorvel"}, u"UOXSupport", RegValue::Dword(1),
                  kTime);
  WineHive reread = Machine(edited.Text());
  auto keys = original.ExplicitKeys();
  auto newKeys = reread.ExplicitKeys();
  ASSERT_EQ(newKeys.size(), keys.size() + 1);
  for (const auto& key : keys) {
    auto before = original.Values(key);
    auto after = reread.Values(key);
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(before[i].first, after[i].first);
      EXPECT_EQ(before[i].second.type, after[i].second.type);
      EXPECT_EQ(before[i].second.data, after[i].second.data);
    }
    EXPECT_EQ(original.IsLink(key), reread.IsLink(key));
  }
  EXPECT_EQ(Value(reread, {u"software", u"wow6432node", u"quorvel"}, u"uoxsupport").data,
            RegValue::Dword(1).data);
}

TEST(WineHiveWrite, CrLfHivesKeepTheirLineEnds) {
  std::string text = kHeader64 + "\n[Software\\\\A] 1\n#time=1\n\"x\"=\"1\"\n";
  std::string crlf;
  for (char c : text)
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  WineHive hive = Machine(crlf);
  ASSERT_TRUE(hive.IsValid());
  EXPECT_EQ(DecodeRegString(Value(hive, {u"Software", u"A"}, u"x").data), "1");
  hive.SetValue({u"Software", u"A"}, u"x", RegValue::Text("2"), kTime);
  hive.SetValue({u"Software", u"B"}, u"y", RegValue::Text("3"), kTime);
  EXPECT_EQ(hive.Text().find('\n'), hive.Text().find("\r\n") + 1);
  for (std::size_t i = 0; i < hive.Text().size(); ++i) {
    if (hive.Text()[i] == '\n') {
      ASSERT_EQ(hive.Text()[i - 1], '\r') << i;
    }
  }
  EXPECT_EQ(DecodeRegString(Value(Machine(hive.Text()), {u"Software", u"A"}, u"x").data), "2");
}

TEST(WineHiveWrite, NewHiveHasWinesHeader) {
  std::string text = WineHive::EmptyHiveText(u"\\Registry\\User\\.Default");
  EXPECT_EQ(text, "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n"
                  "\n#arch=win64\n");
  WineHive hive(text, u"");
  EXPECT_TRUE(hive.IsValid());
  EXPECT_TRUE(hive.Is64Bit());
  EXPECT_EQ(hive.RootName(), (Path{u"REGISTRY", u"User", u".Default"}));
}

TEST(RegStrings, Utf8AndUtf16) {
  std::string text = "Caf\u00e9 \u20ac \U0001F600";
  std::vector<std::uint8_t> data = EncodeRegString(text);
  EXPECT_EQ(data, Utf16(u"Caf\u00e9 \u20ac \U0001F600"));
  EXPECT_EQ(DecodeRegString(data), text);
  EXPECT_EQ(DecodeRegString({'a', 0, 0, 0, 'b', 0}), "a"); // the text ends at the first zero
  EXPECT_EQ(DecodeRegString({'a', 0, 'b'}), "a");          // an odd byte is no unit
  EXPECT_EQ(EncodeRegString(""), (std::vector<std::uint8_t>{0, 0}));
  EXPECT_EQ(Utf8ToUtf16("a\xff"), u"a\ufffd");
  EXPECT_EQ(Utf16ToUtf8(u"\xd800x"), "\xef\xbf\xbdx");
}

} // namespace
} // namespace qv::platform
