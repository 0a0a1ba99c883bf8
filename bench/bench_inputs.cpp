// Loading and saving a configuration set whose files are extreme: a 50 MiB key line, a 50 MiB
// action line, 100,000 macros, 10,000 login servers, a 60 MB line in UO.CFG. Each case runs in a
// child process of its own (for its peak memory): the set is loaded (LoadCurrentSet) and saved
// with one option changed (SaveCurrentSet), the median of N runs. The reference is the floor for
// the same bytes: the three files read and written back through the same file layer.
//
//   bench_inputs [--runs N]
//
// Prints one table row per case: item, ours, reference, ratio, and how much the peak memory grew.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/MainProc.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Case {
  const char* item = "";
  std::string options = "Sound=on\r\nCacheSize=16\r\n";
  std::string macros = "F1 0 0 0\r\nSay hello\r\n########\r\n";
  std::string login = "LoginServer=login.example.net,7775\r\n";
};

constexpr int kCaseCount = 5;

// Case i, made only when measured, so that the parent holds one case at a time.
Case MakeCase(int i) {
  Case c;
  switch (i) {
  case 0:
    c.item = "MACROS.TXT with a 50 MiB key line";
    c.macros = std::string(std::size_t{50} << 20, 'k');
    c.macros += " 0 0 0\r\nSay hello\r\n########\r\n";
    break;
  case 1:
    c.item = "MACROS.TXT with a 50 MiB action line";
    c.macros = "F1 0 0 0\r\nSay ";
    c.macros += std::string(std::size_t{50} << 20, 'a');
    c.macros += "\r\n########\r\n";
    break;
  case 2:
    c.item = "MACROS.TXT of 100,000 macros";
    c.macros.clear();
    for (int m = 0; m < 100000; ++m) {
      c.macros += "F";
      c.macros += std::to_string(1 + m % 12);
      c.macros += " 0 1 0\r\nSay hello ";
      c.macros += std::to_string(m);
      c.macros += "\r\nBow\r\n########\r\n";
    }
    break;
  case 3:
    c.item = "LOGIN.CFG of 10,000 servers";
    c.login.clear();
    for (int n = 0; n < 10000; ++n) {
      c.login += "LoginServer=shard";
      c.login += std::to_string(n);
      c.login += ".example.net,7775\r\n";
    }
    break;
  default:
    // Just under the 64 MiB that the program reads of a settings file.
    c.item = "UO.CFG with a 60 MB line";
    c.options = "Sound=on\r\nNotes=";
    c.options += std::string(60'000'000, 'n');
    c.options += "\r\n";
    break;
  }
  return c;
}

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The game directory with the set's copies and the game's files.
void MakeGame(const fs::path& dir, const Case& c) {
  fs::remove_all(dir);
  fs::create_directories(dir / "QRVDAT");
  for (const fs::path& base : {dir / "QRVDAT", dir}) {
    const bool copy = base != dir;
    Write(base / (copy ? "UO.001" : "UO.CFG"), c.options);
    Write(base / (copy ? "MACROS.001" : "MACROS.TXT"), c.macros);
    Write(base / (copy ? "LOGIN.001" : "LOGIN.CFG"), c.login);
  }
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs in the child: the medians of load + save and of the reference, then how much the peak
// memory grew.
int Measure(const fs::path& dir, int runs) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long before = usage.ru_maxrss;
  std::vector<double> ours;
  std::vector<double> reference;
  for (int run = 0; run < runs; ++run) {
    qv::MainState state;
    state.gameDir = dir.string() + "/";
    state.programDir = dir.string() + "/";
    auto start = Clock::now();
    try {
      qv::LoadCurrentSet(state);
      state.sound = !state.sound;
      qv::SaveCurrentSet(state);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "bench_inputs: %s\n", e.what());
      return 1;
    }
    ours.push_back(MsSince(start));

    start = Clock::now();
    for (const char* name : {"UO.001", "MACROS.001", "LOGIN.001"}) {
      const std::string path = (dir / "QRVDAT" / name).string();
      std::string bytes;
      if (!qv::platform::ReadFileBytes(path, bytes, qv::platform::kMaxSettingsFileSize) ||
          !qv::platform::WriteFileAtomically(path, bytes))
        return 1;
    }
    reference.push_back(MsSince(start));
  }
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%f %f %f\n", Median(ours), Median(reference),
              static_cast<double>(usage.ru_maxrss - before) / 1024.0);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--runs")
      runs = std::max(1, std::atoi(argv[i + 1]));
  char pattern[] = "/tmp/quorvel-inputs.XXXXXX";
  if (!mkdtemp(pattern))
    return 1;
  const fs::path root = pattern;
  std::printf("| item: load and save the set | ours | reference | ratio | memory growth |\n");
  std::printf("|---|--:|---|--:|--:|\n");
  int status = 0;
  for (int i = 0; i < kCaseCount; ++i) {
    std::size_t bytes = 0;
    const char* item = "";
    {
      const Case c = MakeCase(i);
      MakeGame(root / "game", c);
      bytes = c.options.size() + c.macros.size() + c.login.size();
      item = c.item;
    }
    int pipe[2];
    if (::pipe(pipe) != 0)
      return 1;
    std::fflush(stdout); // else the child writes the table so far again
    const pid_t child = fork();
    if (child == 0) {
      ::dup2(pipe[1], STDOUT_FILENO);
      ::close(pipe[0]);
      const int result = Measure(root / "game", runs);
      std::fflush(stdout);
      std::_Exit(result);
    }
    ::close(pipe[1]);
    char buffer[256] = {};
    const ssize_t got = ::read(pipe[0], buffer, sizeof buffer - 1);
    ::close(pipe[0]);
    int childStatus = 0;
    ::waitpid(child, &childStatus, 0);
    double ours = 0;
    double reference = 0;
    double peak = 0;
    if (got <= 0 || childStatus != 0 ||
        std::sscanf(buffer, "%lf %lf %lf", &ours, &reference, &peak) != 3) {
      std::printf("| %s | failed | | | |\n", item);
      status = 1;
      continue;
    }
    std::printf("| %s | %.1f ms | read and write the bytes %.1f ms | %.1fx | %.0f MiB (files %.0f "
                "MiB) |\n",
                item, ours, reference, ours / reference, peak, bytes / 1048576.0);
  }
  fs::remove_all(root);
  return status;
}
