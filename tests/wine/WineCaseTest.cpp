// Which key names Debian's Wine takes for one key, asked of Wine itself: a hive holding pairs of
// names in every cased script, and one key for every unit of the Basic Multilingual Plane, loaded
// and written back by the real wineserver. Two names that Wine merges must be one configuration
// set for Quorvel too, and two it keeps apart must stay two.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <gtest/gtest.h>
#include <locale.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "WineSupport.h"
#include "platform/RegistryNames.h"
#include "platform/WineHive.h"
#include "support/TempDir.h"
#include "text/Encoding.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

struct NamePair {
  std::u16string a;
  std::u16string b;
};

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// Every relation of letter case within the BMP, by the C library's Unicode tables rather than by
// anything of Quorvel's or Wine's: a unit with its lower case, its upper case and their cases in
// turn (so K, k and the Kelvin sign, ǅ with ǆ and Ǆ, ı with I and i, ſ with S and s). Names of
// more than one unit come after them.
std::vector<NamePair> CasePairs() {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
  if (!utf8)
    return {};
  std::set<std::pair<char16_t, char16_t>> pairs;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (IsSurrogate(c) || c == U'\\')
      continue;
    const wint_t unit = wint_t(c);
    const wint_t lower = towlower_l(unit, utf8);
    const wint_t upper = towupper_l(unit, utf8);
    for (wint_t other :
         {lower, upper, towlower_l(upper, utf8), towupper_l(lower, utf8), towupper_l(upper, utf8)})
      if (other != unit && other < 0x10000 && !IsSurrogate(char32_t(other)))
        pairs.emplace(char16_t(std::min(unit, other)), char16_t(std::max(unit, other)));
  }
  freelocale(utf8);
  std::vector<NamePair> list;
  for (const auto& [a, b] : pairs)
    list.push_back({std::u16string(1, a), std::u16string(1, b)});
  const std::vector<NamePair> names = {
      {u"Ward ά", u"Ward Ά"},
      {u"Ward έ", u"Ward Έ"},
      {u"Ward ώ", u"Ward Ώ"},
      {u"Original Configuration", u"ORIGINAL CONFIGURATION"},
      {u"Späße", u"SPÄẞE"},
      {u"Späße", u"späße"},
      {u"Σοφία", u"ΣΟΦΊΑ"},
      {u"σοφίας", u"ΣΟΦΊΑΣ"},
      {u"Ǆemal", u"ǅemal"},
      {u"Ǆemal", u"ǆemal"},
      {u"Ἀθῆναι", u"ἈΘΗ͂ΝΑΙ"},
      {u"Ереван Արարատ", u"ЕРЕВАН ԱՐԱՐԱՏ"},
      {u"თბილისი", u"ᲗᲑᲘᲚᲘᲡᲘ"},
      {u"ᏣᎳᎩ", u"ꮳꮃꭹ"},
      {u"Istanbul", u"İSTANBUL"},
      {u"ıstanbul", u"ISTANBUL"},
      {u"Ｑｕｏｒｖｅｌ", u"ＱＵＯＲＶＥＬ"},
      {u"10 \u212A", u"10 k"},
      {u"\u212B 12", u"\u00C5 12"},
  };
  list.insert(list.end(), names.begin(), names.end());
  return list;
}

// A name as Wine writes it between the brackets of a key line: printable ASCII as it is, every
// other unit as \x with four digits (Wine reads at most four, so a hex digit may follow).
std::string HiveName(std::u16string_view name) {
  std::string out;
  for (char16_t c : name) {
    if (c >= 0x20 && c < 0x7F && c != u'\\' && c != u'[' && c != u']' && c != u'"') {
      out += char(c);
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%04x", unsigned(c));
      out += buffer;
    }
  }
  return out;
}

std::string Units(std::u16string_view name) {
  std::string out;
  for (char16_t c : name) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%sU+%04X", out.empty() ? "" : " ", unsigned(c));
    out += buffer;
  }
  return out;
}

// Built piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + std::string.
std::string Describe(const NamePair& pair) {
  std::string text = "\"";
  text += Utf16ToUtf8(pair.a);
  text += "\" / \"";
  text += Utf16ToUtf8(pair.b);
  text += "\" (";
  text += Units(pair.a);
  text += " / ";
  text += Units(pair.b);
  text += ")";
  return text;
}

bool RunShell(const std::string& command) {
  // To a file, not a pipe: the wineserver that Wine starts keeps its output open.
  TempDir dir;
  return std::system((command + " >'" + dir.file("output") + "' 2>&1").c_str()) == 0;
}

void StopWine() {
  RunShell("wineserver -k; wineserver -w");
}

class WineCase : public ::testing::Test {
protected:
  void SetUp() override {
    prefix = SuiteWinePrefix();
    if (prefix.empty())
      GTEST_SKIP() << kNoWinePrefix;
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    StopWine();
  }

  void TearDown() override {
    if (prefix.empty())
      return;
    StopWine();
    fs::copy_file(prefix / "pristine" / "system.reg", prefix / "system.reg",
                  fs::copy_options::overwrite_existing);
    unsetenv("WINEPREFIX");
  }

  fs::path prefix;
};

// Wine takes two names for one key when, loading a hive, it puts both sections into one key: it
// then writes that key back once, with the values of both. So the hive holds, under P<i>, the
// two names of pair i, and under Units one key for every unit (but NUL and the separator) with a
// value named after the unit; a value written through Wine makes it save the hive when it ends.
TEST_F(WineCase, WineAndQuorvelTakeTheSameNamesForOneKey) {
  const std::vector<NamePair> pairs = CasePairs();
  ASSERT_GE(pairs.size(), 1000u) << "glibc's C.UTF-8 locale is missing or has no case tables";

  std::string hive = ReadBytes(prefix / "pristine" / "system.reg");
  ASSERT_FALSE(hive.empty());
  const std::string root = "[Software\\\\QuorvelCase\\\\";
  std::ostringstream ours;
  for (std::size_t i = 0; i < pairs.size(); ++i)
    for (const auto* name : {&pairs[i].a, &pairs[i].b})
      ours << root << 'P' << i << "\\\\" << HiveName(*name) << "] 1700000000\n\n";
  std::vector<char16_t> units;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (c == U'\\')
      continue;
    units.push_back(char16_t(c));
    char value[16];
    std::snprintf(value, sizeof value, "\"%04x\"=\"\"", unsigned(c));
    ours << root << "Units\\\\" << HiveName(std::u16string(1, char16_t(c))) << "] 1700000000\n"
         << value << "\n\n";
  }
  hive += '\n';
  hive += ours.str();
  WriteBytes(prefix / "system.reg", hive);

  // One start of Wine for everything.
  ASSERT_TRUE(RunShell("wine reg add 'HKLM\\Software\\QuorvelCase' /v Loaded /d 1 /f /reg:64"));
  StopWine();
  const std::string saved = ReadBytes(prefix / "system.reg");
  ASSERT_NE(saved.find("\"Loaded\"=\"1\""), std::string::npos) << "Wine did not write the hive";

  // How many keys Wine kept under each P<i>, and which units share a key under Units.
  std::vector<int> keys(pairs.size(), 0);
  std::vector<std::vector<char16_t>> wineKeys;
  std::istringstream lines(saved);
  std::string line;
  std::vector<char16_t>* current = nullptr;
  while (std::getline(lines, line)) {
    if (line.rfind('[', 0) == 0) {
      current = nullptr;
      if (line.rfind(root + "Units\\\\", 0) == 0) {
        current = &wineKeys.emplace_back();
      } else if (line.rfind(root + "P", 0) == 0) {
        std::size_t digits = 0;
        const std::size_t i = std::stoul(line.substr(root.size() + 1), &digits);
        // A key under P<i>, not P<i> itself.
        if (line.compare(root.size() + 1 + digits, 2, "\\\\") == 0)
          ++keys.at(i);
      }
    } else if (current && line.rfind('"', 0) == 0) {
      current->push_back(char16_t(std::stoul(line.substr(1, 4), nullptr, 16)));
    }
  }

  // The pairs: Wine against SameRegistryName, and against the keys Quorvel's hive reader lists.
  const platform::WineHive reader(hive, u"\\Registry\\Machine");
  std::vector<std::string> disagreements;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    ASSERT_TRUE(keys[i] == 1 || keys[i] == 2) << Describe(pairs[i]) << ": " << keys[i] << " keys";
    const bool wineOne = keys[i] == 1;
    const bool quorvelOne = platform::SameRegistryName(pairs[i].a, pairs[i].b);
    const std::size_t listed =
        reader
            .SubKeys({u"Software", u"QuorvelCase",
                      Utf8ToUtf16(std::string(1, 'P').append(std::to_string(i)))})
            .size();
    if (wineOne != quorvelOne || listed != std::size_t(keys[i]))
      disagreements.push_back(Describe(pairs[i]) + ": Wine " + (wineOne ? "one key" : "two keys") +
                              ", Quorvel " + (quorvelOne ? "one name" : "two names") +
                              ", its hive reader " + std::to_string(listed) + " keys");
  }

  // Every unit: a key of Wine's holds exactly the units that Quorvel folds alike.
  std::map<char16_t, std::size_t> foldedAlike;
  for (char16_t c : units)
    ++foldedAlike[platform::FoldRegistryUnit(c)];
  std::size_t seen = 0;
  for (const auto& key : wineKeys) {
    ASSERT_FALSE(key.empty());
    seen += key.size();
    const char16_t folded = platform::FoldRegistryUnit(key.front());
    bool agree = foldedAlike[folded] == key.size();
    std::u16string members;
    std::u16string folds;
    for (char16_t c : key) {
      agree = agree && platform::FoldRegistryUnit(c) == folded;
      members += c;
      folds += platform::FoldRegistryUnit(c);
    }
    if (!agree)
      disagreements.push_back("Wine one key for " + Units(members) + "; Quorvel folds them to " +
                              Units(folds) + ", and " + std::to_string(foldedAlike[folded]) +
                              " unit(s) in all to " + Units(folds.substr(0, 1)));
  }
  EXPECT_EQ(seen, units.size()) << "Wine lost keys of units";

  std::string list;
  for (const auto& disagreement : disagreements)
    list += disagreement + "\n";
  EXPECT_TRUE(disagreements.empty()) << disagreements.size() << " disagreements with Wine over "
                                     << pairs.size() << " pairs and " << units.size() << " units:\n"
                                     << list;
}

} // namespace
} // namespace qv::test
