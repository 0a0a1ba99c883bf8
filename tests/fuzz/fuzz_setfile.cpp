// The configuration set file that --import reads (DecodeSetArchive).
//
// Properties: any bytes either decode or are refused with qv::Error, never anything else; the
// format has one spelling per set, so whatever decodes encodes to the very same bytes; no copy
// is larger than a settings file may be; and a set made from the input's pieces survives an
// encode and a decode whole.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/SetArchive.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

using qv::fuzz::Input;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size, 3);
  const std::string_view text = input.Text();

  bool decoded = false;
  qv::SetArchive archive;
  try {
    archive = qv::DecodeSetArchive(text);
    decoded = true;
  } catch (const qv::Error&) {
  }
  if (decoded) {
    // A set file whose line ends were changed to CR LF reads as the set it was; any other is
    // written back byte for byte.
    const std::string encoded = qv::EncodeSetArchive(archive);
    if (text.starts_with(std::string(qv::kSetArchiveHeader) + "\r"))
      FUZZ_CHECK(qv::DecodeSetArchive(encoded) == archive);
    else
      FUZZ_CHECK(encoded == text);
    FUZZ_CHECK(archive.name.find('\n') == std::string::npos);
    for (const std::string& file : archive.files)
      FUZZ_CHECK(file.size() <= qv::platform::kMaxSettingsFileSize);
  }

  qv::SetArchive made;
  std::string name(input.Slice(60));
  for (char& c : name)
    if (c == '\n')
      c = ' ';
  made.name = name;
  for (std::string& file : made.files)
    file = std::string(input.Slice(text.size()));
  FUZZ_CHECK(qv::DecodeSetArchive(qv::EncodeSetArchive(made)) == made);
  return 0;
}
