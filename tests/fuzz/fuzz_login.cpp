// The login server file LOGIN.CFG: read the set copy, write it, read it again.
//
// Properties: the entries are the file's "=" lines (server up to the first comma after the '=',
// port after it, cut at 99 characters); entries after the fourth come back byte for byte; what was
// read is what was written; a second read-write cycle writes the same bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/MainProc.h"
#include "platform/FileSystem.h"

namespace {

using qv::MainState;

MainState FreshState() {
  MainState state;
  state.gameDir = qv::fuzz::ScratchGameDir();
  state.currentSetExt = "001";
  return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MainState state = FreshState();
  const std::string copy = qv::SetFilePath(state, "LOGIN.", state.currentSetExt);
  qv::fuzz::PutFile(copy, text);

  qv::ReadLoginServers(state);
  std::vector<std::string> entries;
  for (const std::string& line : qv::platform::SplitLines(text))
    if (line.find('=') != std::string::npos)
      entries.push_back(line);
  for (std::size_t k = 0; k < 4; ++k) {
    if (k >= entries.size()) {
      FUZZ_CHECK(state.servers[k].empty() && state.ports[k].empty());
      continue;
    }
    const std::string& line = entries[k];
    const std::string value = line.substr(line.find('=') + 1);
    const std::size_t comma = value.find(',');
    FUZZ_CHECK(state.servers[k] == value.substr(0, comma));
    FUZZ_CHECK(state.ports[k] ==
               (comma == std::string::npos ? std::string() : value.substr(comma + 1, 99)));
  }
  const std::vector<std::string> extra(entries.begin() + std::min<std::size_t>(4, entries.size()),
                                       entries.end());
  FUZZ_CHECK(state.extraLoginLines == extra);

  qv::WriteLoginServers(state);
  std::string written;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, written));
  FUZZ_CHECK(written.ends_with(qv::platform::JoinLines(extra)));

  MainState again = FreshState();
  qv::ReadLoginServers(again);
  FUZZ_CHECK(again.servers == state.servers);
  FUZZ_CHECK(again.ports == state.ports);
  FUZZ_CHECK(again.extraLoginLines == state.extraLoginLines);
  qv::WriteLoginServers(again);
  std::string rewritten;
  FUZZ_CHECK(qv::fuzz::GetFile(copy, rewritten));
  FUZZ_CHECK(rewritten == written);
  return 0;
}
