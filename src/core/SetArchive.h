#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

// One configuration set in one file, to keep or to pass on: its name and its three copies, byte
// for byte. Plain text with the copies' sizes, so that the player can read it, mail it, and keep
// it under version control, and no archive library is needed; the sizes tell a file cut short
// from a whole one. Only the three fixed file names occur, so nothing in it can name a file of
// its own choosing:
//
//   Quorvel configuration set 1          (the format and its version)
//   Name <the set's name, UTF-8>
//   UO.CFG <size>                        then <size> bytes and a line end
//   MACROS.TXT <size>                    the same
//   LOGIN.CFG <size>                     the same
//   End
//
// Every line ends with LF alone; nothing may follow "End". A file whose own lines all end with
// CR LF instead (mail, a Windows editor) is read too, as long as every size still holds.
namespace qv {

struct SetArchive {
  std::string name;
  // UO.CFG, MACROS.TXT, LOGIN.CFG: in SetPart order.
  std::array<std::string, 3> files;

  bool operator==(const SetArchive&) const = default;
};

inline constexpr std::string_view kSetArchiveHeader = "Quorvel configuration set 1";
// No archive of three settings files is larger.
inline constexpr std::uint64_t kMaxSetArchiveSize = 3 * platform::kMaxSettingsFileSize + 4096;

std::string EncodeSetArchive(const SetArchive& archive);
// The set a whole archive holds. Throws qv::Error with the reason for anything else: not a set
// file, a later version, line ends changed so that the sizes no longer hold, cut short, a size
// above kMaxSettingsFileSize, a line out of place, bytes after the end. The name is taken as it
// stands; the caller applies the name rules.
SetArchive DecodeSetArchive(std::string_view bytes);

} // namespace qv
