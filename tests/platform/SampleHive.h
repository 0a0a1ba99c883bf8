#pragma once

#include <string>

namespace qv::test {

// A system.reg of a 64-bit prefix as Wine writes it, with the game installed by its 32-bit
// installer: Wow6432Node keys, #link keys (Software\Wow6432Node\Classes and CurrentControlSet),
// escaped names, \x escapes, a wrapped hex value, unusual value types, a #class, an empty leaf key
// and a comment.
inline const std::string kSampleSystemReg =
    R"(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Classes\\txtfile] 1796762388
#time=1dd87544417fbd4
@="Text Document"

[Software\\Classes\\Wow6432Node\\CLSID\\{0000002F-0000-0000-C000-000000000046}] 1796762388
#time=1dd87544417fbd4
@="CLSID_RecordInfo"

[Software\\Classes\\Wow6432Node\\Interface] 1796762388
#time=1dd87544417fbd4

[Software\\Microsoft\\Windows\\CurrentVersion] 1796762390
#time=1dd8754442a3c10
"CommonFilesDir"="C:\\Program Files\\Common Files"
"ProgramFilesDir"="C:\\Program Files"
"ProgramFilesPath"=str(2):"%ProgramFiles%"

[Software\\Wine\\Fonts\\Replacements] 1796762391
#time=1dd875444c7e2a8
"Caf\xe9 Mono"="Caf\xe9 Sans"
"Multi"=str(7):"a\0b\0"

[Software\\Wine\\Name \[beta\]] 1796762391
#time=1dd875444c7e2a8
#class="WineClass"
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27
"Control"="line1\nline2\ttab \"quoted\" back\\slash \x00e9a"
"Num"=dword:0000002a
"Odd"=hex(80000001):01,02
"Q"=hex(b):2a,00,00,00,00,00,00,00

[Software\\Wow6432Node\\Classes] 1796762388
#time=1dd87544417fbd4
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\
  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,6f,00,66,00,\
  74,00,77,00,61,00,72,00,65,00,5c,00,43,00,6c,00,61,00,73,00,73,00,65,00,73,\
  00,5c,00,57,00,6f,00,77,00,36,00,34,00,33,00,32,00,4e,00,6f,00,64,00,65,00

[Software\\Wow6432Node\\Origin Worlds Online\\Ultima Online\\1.0] 1796762388
#time=1dd87544417fbd4
"ExePath"="C:\\Program Files (x86)\\Ultima Online\\client.exe"
"InstCDPath"="C:\\Program Files (x86)\\Ultima Online"
"Upgraded"="Yes"

[System\\ControlSet001\\Hardware Profiles\\Current\\Software\\Fonts] 1796762380
#time=1dd8754440e2a44
"LogPixels"=dword:00000060

[System\\CurrentControlSet] 1796762380
#time=1dd8754440e2a44
#link
"SymbolicLinkValue"=hex(6):5c,00,52,00,65,00,67,00,69,00,73,00,74,00,72,00,79,\
  00,5c,00,4d,00,61,00,63,00,68,00,69,00,6e,00,65,00,5c,00,53,00,79,00,73,00,\
  74,00,65,00,6d,00,5c,00,43,00,6f,00,6e,00,74,00,72,00,6f,00,6c,00,53,00,65,\
  00,74,00,30,00,30,00,31,00
; kept as it is
)";

} // namespace qv::test
