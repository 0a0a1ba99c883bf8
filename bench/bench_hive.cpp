// The cost of one settings-store operation on a hive the size of a real prefix's system.reg
// (about 2 MB, 45,000 lines). Every operation reads and parses the whole file afresh, and a write
// also locks, re-reads and replaces the file with fsync.
//
//   bench_hive [--runs N]
//
// measures each operation N times (default 200; writes N/4).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "platform/Registry.h"
#include "platform/WineHive.h"

namespace {

namespace fs = std::filesystem;
using namespace qv::platform;

std::string Guid(unsigned n) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "{%08X-%04X-%04X-C000-%012X}", n * 2654435761u,
                (n * 40503u) & 0xFFFF, (n * 7919u) & 0xFFFF, n * 97u);
  return buffer;
}

// Bytes as Wine writes them, wrapped at its line width.
std::string Hex(unsigned seed, int count, int column) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    char buffer[4];
    std::snprintf(buffer, sizeof buffer, "%02x", (seed * 31u + unsigned(i) * 17u) & 0xFF);
    out += buffer;
    column += 2;
    if (i + 1 < count) {
      out += ',';
      if (++column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

// A system.reg shaped like Wine's: COM classes and interfaces in both views, services with
// wrapped hex values, time stamps, the Wow6432Node link and the game's entry, in Wine's order.
std::string MakeHive() {
  std::vector<std::pair<std::string, std::string>> keys; // path, lines after the key line
  unsigned n = 0;
  auto key = [&](const std::string& path, const std::string& values) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "] %u\n#time=1dd8754%09x\n", 1796762388u + n, n * 7919u);
    keys.emplace_back(path, buffer + values);
  };
  for (const char* view : {"Software\\\\Classes\\\\", "Software\\\\Classes\\\\Wow6432Node\\\\"}) {
    for (unsigned i = 0; i < 1150; ++i, ++n) {
      std::string clsid = std::string(view) + "CLSID\\\\" + Guid(n);
      key(clsid, "@=\"Quorvel Sample Component Class Number " + std::to_string(n) + "\"\n");
      key(clsid + "\\\\InprocServer32",
          "@=\"C:\\\\windows\\\\system32\\\\quorvel-sample-component-" + std::to_string(n % 300) +
              ".dll\"\n\"ThreadingModel\"=\"Both\"\n");
      std::string iface = std::string(view) + "Interface\\\\" + Guid(n + 100000);
      key(iface, "@=\"IQuorvelSampleComponentInterface" + std::to_string(n) + "\"\n");
      key(iface + "\\\\ProxyStubClsid32", "@=\"" + Guid(n + 200000) + "\"\n");
    }
  }
  for (unsigned i = 0; i < 640; ++i, ++n) {
    key("System\\\\ControlSet001\\\\Services\\\\Service" + std::to_string(i),
        "\"Blob\"=hex:" + Hex(i, 60, 11) +
            "\n\"DisplayName\"=\"Quorvel sample background service with a long name " +
            std::to_string(i) +
            "\"\n\"ErrorControl\"=dword:00000001\n\"ImagePath\"=str(2):\"%SystemRoot%\\\\"
            "system32\\\\svc" +
            std::to_string(i) + ".exe\"\n\"Start\"=dword:00000003\n\"Type\"=dword:00000010\n");
  }
  std::string link;
  for (char16_t c : std::u16string_view(u"\\Registry\\Machine\\Software\\Classes\\Wow6432Node")) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02x,%02x,", unsigned(c & 0xFF), unsigned(c >> 8));
    link += buffer;
  }
  link.pop_back();
  key("Software\\\\Wow6432Node\\\\Classes", "#link\n\"SymbolicLinkValue\"=hex(6):" + link + "\n");
  key("Software\\\\Wow6432Node\\\\Origin Worlds Online\\\\Ultima Online\\\\1.0",
      "\"ExePath\"=\"C:\\\\Program Files (x86)\\\\Ultima Online\\\\client.exe\"\n");

  // Wine's order: case-insensitive, a key before its sub-keys.
  auto order = [](const std::string& path) {
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
      if (path.compare(i, 2, "\\\\") == 0) {
        out += '\x01';
        ++i;
      } else {
        out += char(std::tolower(static_cast<unsigned char>(path[i])));
      }
    }
    return out;
  };
  std::sort(keys.begin(), keys.end(),
            [&](const auto& a, const auto& b) { return order(a.first) < order(b.first); });
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
                     "#arch=win64\n";
  for (const auto& [path, lines] : keys)
    text += "\n[" + path + lines;
  return text;
}

double CpuMilliseconds() {
  timespec now;
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs the operation the given number of times; prints the median and the slowest wall time and
// the median processor time in ms (the machine's other load and the disk show in the difference).
bool Measure(const char* name, int runs, const std::function<bool()>& operation,
             const std::function<void()>& before = {}) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < runs; ++i) {
    if (before)
      before();
    auto start = std::chrono::steady_clock::now();
    double cpuStart = CpuMilliseconds();
    if (!operation()) {
      std::printf("%-42s FAILED\n", name);
      return false;
    }
    cpu.push_back(CpuMilliseconds() - cpuStart);
    wall.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  std::printf("%-42s wall median %6.2f ms, slowest %6.2f ms; cpu median %6.2f ms (%d runs)\n", name,
              wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2], runs);
  return true;
}

} // namespace

int main(int argc, char** argv) {
  int runs = 200;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--runs") == 0)
      runs = std::max(4, std::atoi(argv[i + 1]));

  char pattern[] = "/tmp/quorvel-bench-hive-XXXXXX";
  if (!::mkdtemp(pattern)) {
    std::perror("mkdtemp");
    return 1;
  }
  fs::path dir = pattern;
  std::string text = MakeHive();
  std::ofstream(dir / "system.reg", std::ios::binary) << text;
  ::setenv("QUORVEL_REGISTRY", dir.c_str(), 1);
  std::printf("system.reg: %zu bytes, %zu lines\n", text.size(),
              std::size_t(std::count(text.begin(), text.end(), '\n')));

  auto registry = OpenRegistry();
  bool ok = true;
  ok &= Measure("parse the hive text", runs,
                [&] { return WineHive(text, u"\\Registry\\Machine").IsValid(); });
  // ReadText of the game's entry: open for reading, read one value.
  ok &= Measure("open key + read value", runs, [&] {
    auto key = registry->OpenKey(RootKey::LocalMachine,
                                 "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0",
                                 Registry::Access::Read);
    return key && key->QueryValue("ExePath").has_value();
  });
  // The same after another program changed the hive: it is indexed anew.
  std::string changed = text;
  std::size_t stamp = changed.rfind("#time=");
  unsigned change = 0;
  auto changeHive = [&] {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", ++change);
    changed.replace(stamp + 6, 8, digits);
    std::ofstream(dir / "system.reg", std::ios::binary | std::ios::trunc) << changed;
  };
  ok &= Measure(
      "open key + read value, hive changed", runs,
      [&] {
        auto key = registry->OpenKey(RootKey::LocalMachine,
                                     "\\SOFTWARE\\Origin Worlds Online\\Ultima Online\\1.0",
                                     Registry::Access::Read);
        return key && key->QueryValue("ExePath").has_value();
      },
      changeHive);
  // WriteNumber: open or create the key, write a changed value.
  std::uint32_t next = 0;
  ok &= Measure("open/create key + write value (with fsync)", std::max(4, runs / 4), [&] {
    auto key = registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs");
    return key && key->SetValue("NextExt", RegValue::Dword(++next));
  });
  ok &= Measure(
      "open/create key + write value, hive changed", std::max(4, runs / 4),
      [&] {
        auto key = registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs");
        return key && key->SetValue("NextExt", RegValue::Dword(++next));
      },
      [&] {
        changeHive();
        registry->CreateKey(RootKey::LocalMachine, "\\SOFTWARE\\Quorvel\\UOXConfigs");
        changeHive();
      });
  // ListSubKeys of a key with thousands of sub-keys.
  ok &= Measure("open/create key + list 1150 sub-keys", runs, [&] {
    auto key = registry->CreateKey(RootKey::ClassesRoot, "CLSID");
    return key && key->SubKeyNames().size() == 1150;
  });

  std::error_code error;
  fs::remove_all(dir, error);
  return ok ? 0 : 1;
}
