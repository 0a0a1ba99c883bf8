// quorvel_bench: the program's benchmarks, side by side with their references, in one run.
//
//   quorvel_bench all [--runs N] [--dir DIR] [--sizes 100,500,2048] [--plaintextedit-max MIB]
//                     [--lf-mib MIB] [--quorvel BIN]
//
// prints a table (item, ours, reference, ratio), each figure the median of N runs (default 5).
// Every run is a process of its own, so that memory figures start from a clean heap. Linux only
// (memory is read from /proc/self/status). bench/run builds it and runs it.
//
// Items:
// - a generated Windows-1252 journal (CR LF lines, bytes 0x80-0xFF, the searched text in other
//   letter case near the end) of each size: the longest stall of the main thread from the open
//   until the worker has indexed the file (the longest gap between the ticks of a 5 ms timer),
//   open to the first screen painted, open to fully indexed, first paint alone, search from the
//   top to the match, peak memory growth, clear and the memory left after it; against the former
//   view's whole-file read and index (core's LineIndex: read, index, search, peak memory),
//   QPlainTextEdit (setPlainText + first paint, find, clear) and `grep -i -F -n -m1`;
// - a file of nothing but LF bytes (--lf-mib, 400 by default; 0 leaves it out): the same stall,
//   time and peak memory, against the whole-file index;
// - a macro file of 20,000 and 40,000 macros read, listed and sorted;
// - the Macros page's grid showing 20,000 macros and re-sorting them on a header click: the grid
//   over its table model, against the former grid of one QTableWidgetItem per cell;
// - the program's start to its main window shown, on the demo installation: the program is run
//   with QUORVEL_EXIT_AFTER_SHOW=1 and timed until it exits. A build whose binary does not know
//   that variable shows "n/a".

#include "controls/JournalView.h"
#include "controls/KVXAdCtl.h"
#include "core/MainProc.h"
#include "platform/FileSystem.h"
#include "text/Encoding.h"
#include "text/LineIndex.h"
#include "ui/Dialogs.h"
#include "ui/MacroGridModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Values = std::map<std::string, double>;

// The searched text as the user types it; the journal holds it in capitals.
constexpr const char* kNeedle = "ancient wyrm of destard";
constexpr const char* kNeedleInFile = "ANCIENT WYRM OF DESTARD";
// How long the program may take from its start to its main window shown.
constexpr int kStartTimeoutMs = 30000;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A "/proc/self/status" field in kB (VmRSS, VmHWM), in bytes.
double StatusBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
      return std::strtod(line.c_str() + length + 1, nullptr) * 1024.0;
  }
  return 0;
}

// Resident memory of this process in bytes.
double ResidentBytes() {
  return StatusBytes("VmRSS");
}

// The process's peak resident memory in bytes, and its reset to the current resident memory.
double PeakBytes() {
  return StatusBytes("VmHWM");
}

void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// --- The journal file ---

class Random {
public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 7;
    m_state ^= m_state << 17;
    return m_state;
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

private:
  std::uint64_t m_state;
};

// Lines like the game's journal: "[12:34:56] Name: words...", CR LF, with Windows-1252 letters,
// quotes, dashes and the euro sign. The searched text stands on one line at 98% of the file.
std::size_t GenerateJournal(const std::string& path, std::size_t size) {
  static const char* const kNames[] = {"Iolo",          "Shamino",         "Dupr\xE9",
                                       "Gwenno",        "Bj\xF6rn",        "\xC6sa the Bard",
                                       "Lord British",  "Blackthorn",      "Ma\xEBlle",
                                       "Sir Ge\xF6rge", "Jh\xE9lom Guard", "Tom"};
  static const char* const kWords[] = {"the",
                                       "a",
                                       "you",
                                       "sword",
                                       "gold",
                                       "coins",
                                       "caf\xE9",
                                       "na\xEFve",
                                       "Stra\xDF"
                                       "e",
                                       "\x80"
                                       "5",
                                       "\x93quoted\x94",
                                       "\x85",
                                       "\x96",
                                       "\xC6gis",
                                       "\xFF",
                                       "Britain",
                                       "Trinsic",
                                       "Moonglow",
                                       "bank",
                                       "guards",
                                       "vendor",
                                       "sells",
                                       "buys",
                                       "reagents",
                                       "mandrake",
                                       "nightshade",
                                       "garlic",
                                       "ginseng",
                                       "healing",
                                       "potion",
                                       "dragon",
                                       "lich",
                                       "orc",
                                       "troll",
                                       "ettin",
                                       "runebook",
                                       "recall",
                                       "gate",
                                       "travel",
                                       "dungeon",
                                       "Despise",
                                       "Shame",
                                       "Covetous",
                                       "Hythloth",
                                       "\xAB"
                                       "hail\xBB",
                                       "Fran\xE7ois",
                                       "\xA3"
                                       "20",
                                       "\xE0",
                                       "\xC0",
                                       "\xBF"
                                       "qu\xE9?",
                                       "\xD8ystein",
                                       "\xDE"
                                       "orn",
                                       "\xA9",
                                       "\xB1"
                                       "3"};
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  Random random(0x5eed1234abcdULL);
  std::string buffer;
  buffer.reserve(std::size_t{1} << 21);
  std::size_t written = 0;
  std::size_t lines = 0;
  bool needleWritten = false;
  char stamp[32];
  while (written + buffer.size() < size) {
    const std::uint64_t seconds = lines / 3;
    std::snprintf(stamp, sizeof stamp, "[%02u:%02u:%02u] ", unsigned(seconds / 3600 % 24),
                  unsigned(seconds / 60 % 60), unsigned(seconds % 60));
    buffer += stamp;
    buffer += kNames[random.Below(std::size(kNames))];
    buffer += ": ";
    if (!needleWritten && written + buffer.size() >= size / 100 * 98) {
      buffer += "Beware! An ";
      buffer += kNeedleInFile;
      buffer += " drops a Vorpal Blade";
      needleWritten = true;
    } else {
      const std::size_t words = 4 + random.Below(9);
      for (std::size_t w = 0; w < words; ++w) {
        if (w != 0)
          buffer += ' ';
        buffer += kWords[random.Below(std::size(kWords))];
      }
    }
    buffer += "\r\n";
    ++lines;
    if (buffer.size() >= (std::size_t{1} << 20)) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      written += buffer.size();
      buffer.clear();
    }
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  out.close();
  if (!out)
    throw std::runtime_error("cannot write " + path);
  return lines;
}

// --- Journal runs (each in a process of its own) ---

void ShowAndSettle(QWidget& widget) {
  widget.resize(1000, 700);
  widget.show();
  QElapsedTimer waited;
  waited.start();
  while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && waited.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  QApplication::processEvents();
}

void Print(const Values& values) {
  for (const auto& [key, value] : values)
    std::printf("%s=%.6f\n", key.c_str(), value);
}

// A file of nothing but LF bytes: one empty line per byte.
void GenerateLineFeeds(const std::string& path, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::string block(std::size_t{1} << 20, '\n');
  for (std::size_t written = 0; written < size; written += block.size())
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - written)));
  out.close();
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

// The longest time the main thread did not get to a 5 ms timer's tick.
class StallMeter {
public:
  StallMeter() {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    m_clock.start();
    m_timer.start();
  }
  double LongestMs() {
    Tick();
    return m_longest;
  }

private:
  void Tick() {
    const double now = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
    m_longest = std::max(m_longest, now - m_last);
    m_last = now;
  }
  QTimer m_timer;
  QElapsedTimer m_clock;
  double m_last = 0;
  double m_longest = 0;
};

// A file without the searched text (the bare LF one) passes with matchRequired false.
int RunView(const std::string& file, bool matchRequired) {
  qv::TKVXJournalView view;
  ShowAndSettle(view);
  Values v;
  const double base = ResidentBytes();
  ResetPeak();

  bool indexed = false;
  QObject::connect(&view, &qv::TKVXJournalView::indexingFinished, [&indexed] { indexed = true; });
  StallMeter stall;
  auto start = Clock::now();
  if (!view.loadFile(QString::fromStdString(file)))
    return 3;
  const double loaded = MsSince(start);
  view.viewport()->repaint();
  v["open_ms"] = MsSince(start);
  v["paint_ms"] = v["open_ms"] - loaded;
  // The page stays usable meanwhile: events are handled as they come.
  while (!indexed)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  v["indexed_ms"] = MsSince(start);
  v["stall_ms"] = stall.LongestMs();
  v["growth"] = ResidentBytes() - base;
  v["peak"] = PeakBytes() - base;
  v["lines"] = view.lineCount();

  // The page's search: from the line below the first visible one, the match scrolled to the top.
  start = Clock::now();
  const int found = view.find(QString::fromLatin1(kNeedle), view.firstVisibleLine() + 1);
  view.setFirstVisibleLine(found);
  view.viewport()->repaint();
  v["search_ms"] = MsSince(start);
  v["found_line"] = found;

  start = Clock::now();
  view.clear();
  v["clear_call_ms"] = MsSince(start);
  view.viewport()->repaint();
  v["clear_ms"] = MsSince(start);
  v["after_clear"] = ResidentBytes() - base;
  Print(v);
  return found >= 0 || !matchRequired ? 0 : 4;
}

// The former view's way: the whole file read and indexed at once (core's LineIndex), then
// searched.
int RunLineIndex(const std::string& file) {
  Values v;
  const double base = ResidentBytes();
  ResetPeak();
  auto start = Clock::now();
  qv::LineIndex index;
  if (!index.LoadFile(file))
    return 3;
  v["open_ms"] = MsSince(start);
  v["peak"] = PeakBytes() - base;
  v["lines"] = static_cast<double>(index.LineCount());
  std::string needle = kNeedle;
  start = Clock::now();
  const std::size_t found = index.Find(needle, 1);
  v["search_ms"] = MsSince(start);
  v["found_line"] = found == qv::LineIndex::npos ? -1 : static_cast<double>(found);
  Print(v);
  return 0;
}

int RunPlainTextEdit(const std::string& file) {
  QPlainTextEdit edit;
  edit.setReadOnly(true);
  edit.setLineWrapMode(QPlainTextEdit::NoWrap);
  edit.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ShowAndSettle(edit);
  Values v;
  const double base = ResidentBytes();

  auto start = Clock::now();
  {
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly))
      return 3;
    const QByteArray bytes = in.readAll();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes)
      *out++ = QChar(qv::Cp1252ToUnicode(static_cast<unsigned char>(c)));
    edit.setPlainText(text);
  }
  const double loaded = MsSince(start);
  edit.viewport()->repaint();
  QApplication::processEvents();
  v["open_ms"] = MsSince(start);
  v["paint_ms"] = v["open_ms"] - loaded;
  v["growth"] = ResidentBytes() - base;
  v["lines"] = edit.document()->blockCount();

  start = Clock::now();
  const bool found = edit.find(QString::fromLatin1(kNeedle));
  edit.viewport()->repaint();
  v["search_ms"] = MsSince(start);
  v["found_line"] = found ? edit.textCursor().blockNumber() : -1;

  start = Clock::now();
  edit.clear();
  v["clear_call_ms"] = MsSince(start);
  edit.viewport()->repaint();
  v["clear_ms"] = MsSince(start);
  v["after_clear"] = ResidentBytes() - base;
  Print(v);
  return found ? 0 : 4;
}

// --- Macro files ---

std::size_t GenerateMacros(const std::string& path, std::size_t count) {
  Random random(count);
  std::string text;
  for (std::size_t m = 0; m < count; ++m) {
    text += qv::kKeyNames[random.Below(qv::kKeyNames.size())];
    text += random.Below(2) ? " 1" : " 0";
    text += random.Below(2) ? " 1" : " 0";
    text += random.Below(2) ? " 1\r\n" : " 0\r\n";
    const std::size_t actions = 1 + random.Below(4);
    for (std::size_t a = 0; a < actions; ++a) {
      text += qv::kActionNames[random.Below(qv::kActionNames.size())];
      text += " ";
      text += qv::kSpellNames[random.Below(qv::kSpellNames.size())];
      text += "\r\n";
    }
    text += "########\r\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return count;
}

int RunMacros(const std::string& file) {
  const auto start = Clock::now();
  qv::MainState state;
  state.macroLines = qv::platform::ReadLines(file);
  qv::FillMacroGrid(state, qv::MacroGridRow::Key);
  qv::SortMacroGrid(state.macroGrid, qv::MacroGridRow::Macro);
  Values v;
  v["macros_ms"] = MsSince(start);
  v["rows"] = static_cast<double>(state.macroGrid.size());
  Print(v);
  return 0;
}

// The Macros page's grid: its columns, row height and selection, in a window of the page's size.
void SetUpGrid(QTableView& grid) {
  const int widths[] = {54, 47, 47, 47, 108, 170};
  grid.horizontalHeader()->hide();
  grid.verticalHeader()->hide();
  grid.horizontalHeader()->setMinimumSectionSize(1);
  grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  for (int c = 0; c < 6; ++c)
    grid.setColumnWidth(c, widths[c]);
  grid.horizontalHeader()->setStretchLastSection(true);
  grid.verticalHeader()->setMinimumSectionSize(1);
  grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid.verticalHeader()->setDefaultSectionSize(19);
  grid.setSelectionBehavior(QAbstractItemView::SelectRows);
  grid.setSelectionMode(QAbstractItemView::SingleSelection);
  grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid.setWordWrap(false);
  grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ShowGrid(QTableView& grid) {
  grid.resize(520, 300);
  grid.show();
  QElapsedTimer waited;
  waited.start();
  while (!(grid.windowHandle() && grid.windowHandle()->isExposed()) && waited.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  QApplication::processEvents();
}

// The grid filled from the rows (the page's load), painted; then the rows sorted by another
// column and the grid refreshed and painted (a header click). The rows are read first, untimed.
int RunGrid(const std::string& file, bool widgetGrid) {
  qv::MainState state;
  state.macroLines = qv::platform::ReadLines(file);
  qv::FillMacroGrid(state, qv::MacroGridRow::Key);
  Values v;
  if (widgetGrid) {
    qv::TKVXGrid grid;
    grid.setColumnCount(6);
    SetUpGrid(grid);
    ShowGrid(grid);
    const auto fill = [&] {
      const int count = static_cast<int>(state.macroGrid.size());
      grid.setRowCount(count);
      for (int r = 0; r < count; ++r)
        for (int c = 0; c < 6; ++c)
          grid.setCells(
              c, r,
              qv::ui::FromGameText(
                  state.macroGrid[static_cast<std::size_t>(r)].cells[static_cast<std::size_t>(c)]));
      grid.setCurrentCell(0, 0);
      grid.viewport()->repaint();
    };
    auto start = Clock::now();
    fill();
    v["show_ms"] = MsSince(start);
    start = Clock::now();
    qv::SortMacroGrid(state.macroGrid, qv::MacroGridRow::Macro);
    fill();
    v["sort_ms"] = MsSince(start);
  } else {
    qv::TKVXGridView grid;
    qv::MacroGridModel model(state.macroGrid);
    grid.setModel(&model);
    SetUpGrid(grid);
    ShowGrid(grid);
    const auto fill = [&] {
      model.Reset();
      grid.setCurrentCell(0, 0);
      grid.viewport()->repaint();
    };
    auto start = Clock::now();
    fill();
    v["show_ms"] = MsSince(start);
    start = Clock::now();
    qv::SortMacroGrid(state.macroGrid, qv::MacroGridRow::Macro);
    fill();
    v["sort_ms"] = MsSince(start);
  }
  v["rows"] = static_cast<double>(state.macroGrid.size());
  Print(v);
  return 0;
}

// --- Child processes ---

struct Outcome {
  bool ok = false;
  bool timedOut = false;
  double ms = 0;
  std::string out;
};

// Runs argv with extra environment entries (NAME=value) and stdout captured, stderr dropped.
// Killed after timeoutMs.
Outcome Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
              int timeoutMs) {
  std::vector<std::string> envStrings = extraEnv;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    const bool overridden = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const auto& x) {
      return x.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (!overridden)
      envStrings.push_back(entry);
  }
  std::vector<char*> env;
  for (auto& s : envStrings)
    env.push_back(s.data());
  env.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> cargs;
  for (auto& s : args)
    cargs.push_back(s.data());
  cargs.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  Outcome outcome;
  pid_t pid = 0;
  const auto start = Clock::now();
  const int spawned = posix_spawnp(&pid, cargs[0], &actions, nullptr, cargs.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return {};
  }
  char buffer[4096];
  bool timedOut = false;
  for (;;) {
    pollfd fd{pipeFds[0], POLLIN, 0};
    const int left = timeoutMs - static_cast<int>(MsSince(start));
    if (left <= 0 || poll(&fd, 1, left) == 0) {
      timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n <= 0)
      break;
    outcome.out.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.ms = MsSince(start);
  close(pipeFds[0]);
  outcome.timedOut = timedOut;
  outcome.ok = !timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return outcome;
}

Values ParseValues(const std::string& text) {
  Values values;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos)
      values[line.substr(0, eq)] = std::strtod(line.c_str() + eq + 1, nullptr);
  }
  return values;
}

double Median(std::vector<double> xs) {
  std::sort(xs.begin(), xs.end());
  const std::size_t n = xs.size();
  return n % 2 ? xs[n / 2] : (xs[n / 2 - 1] + xs[n / 2]) / 2;
}

// Medians of every value over the runs; nothing when a run failed.
std::optional<Values> Medians(const std::vector<std::string>& argv,
                              const std::vector<std::string>& env, int runs, int timeoutMs) {
  std::map<std::string, std::vector<double>> all;
  for (int r = 0; r < runs; ++r) {
    const Outcome o = Spawn(argv, env, timeoutMs);
    if (!o.ok)
      return std::nullopt;
    for (const auto& [k, v] : ParseValues(o.out))
      all[k].push_back(v);
    all["wall_ms"].push_back(o.ms);
  }
  Values medians;
  for (auto& [k, xs] : all)
    medians[k] = Median(xs);
  return medians;
}

// --- The table ---

struct Row {
  std::string item;
  std::string ours;
  std::string reference;
  std::string ratio;
};

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Ms(double ms) {
  return ms < 10 ? Format("%.2f ms", ms) : ms < 100 ? Format("%.1f ms", ms) : Format("%.0f ms", ms);
}
std::string MiB(double bytes) {
  return Format("%.1f MiB", bytes / (1024.0 * 1024.0));
}
std::string Ratio(double r) {
  return r >= 10 ? Format("%.0fx", r) : Format("%.2fx", r);
}

void PrintTable(const std::vector<Row>& rows) {
  std::size_t w[4] = {4, 4, 9, 5};
  for (const Row& r : rows) {
    w[0] = std::max(w[0], r.item.size());
    w[1] = std::max(w[1], r.ours.size());
    w[2] = std::max(w[2], r.reference.size());
    w[3] = std::max(w[3], r.ratio.size());
  }
  auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                  const std::string& d) {
    std::printf("| %-*s | %*s | %-*s | %*s |\n", int(w[0]), a.c_str(), int(w[1]), b.c_str(),
                int(w[2]), c.c_str(), int(w[3]), d.c_str());
  };
  line("item", "ours", "reference", "ratio");
  std::printf("|%s|%s:|%s|%s:|\n", std::string(w[0] + 2, '-').c_str(),
              std::string(w[1] + 1, '-').c_str(), std::string(w[2] + 2, '-').c_str(),
              std::string(w[3] + 1, '-').c_str());
  for (const Row& r : rows)
    line(r.item, r.ours, r.reference, r.ratio);
}

void Progress(const std::string& text) {
  std::fprintf(stderr, "quorvel_bench: %s\n", text.c_str());
  std::fflush(stderr);
}

bool BinaryMentions(const std::string& path, std::string_view text) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes.find(text) != std::string::npos;
}

struct Options {
  int runs = 5;
  std::string dir = "/tmp/quorvel-bench";
  std::vector<int> sizes = {100, 500, 2048};
  int plainTextEditMax = 100;
  int lfMib = 400;
  std::string quorvel;
};

int RunAll(const std::string& self, const Options& opt) {
  std::filesystem::create_directories(opt.dir);
  std::vector<Row> rows;
  const std::vector<std::string> env;

  for (const int mib : opt.sizes) {
    const std::string file = opt.dir + "/journal-" + std::to_string(mib) + "MiB.log";
    const std::size_t size = static_cast<std::size_t>(mib) << 20;
    Progress("generating " + file);
    const std::size_t lines = GenerateJournal(file, size);
    const std::string tag = "journal " + std::to_string(mib) + " MiB";

    Progress(tag + ": the view");
    const auto ours = Medians({self, "view", file}, env, opt.runs, 600000);
    Progress(tag + ": the whole-file index");
    const auto whole = Medians({self, "lineindex", file}, env, opt.runs, 600000);
    std::optional<Values> pte;
    if (mib <= opt.plainTextEditMax) {
      Progress(tag + ": QPlainTextEdit");
      pte = Medians({self, "plaintextedit", file}, env, opt.runs, 1800000);
    }
    Progress(tag + ": grep");
    std::vector<double> grepMs;
    std::string grepOut;
    for (int r = 0; r < opt.runs; ++r) {
      const Outcome o =
          Spawn({"grep", "-i", "-F", "-n", "-m1", kNeedle, file}, {"LC_ALL=C"}, 600000);
      grepMs.push_back(o.ms);
      grepOut = o.out;
    }
    const double grep = Median(grepMs);
    const int grepLine = std::atoi(grepOut.c_str()) - 1;

    if (!ours) {
      rows.push_back({tag + ": the view failed", "n/a", "", ""});
      continue;
    }
    const Values& o = *ours;
    const std::string name = tag + " (" + Format("%.2f", double(lines) / 1e6) + " M lines)";
    auto vsPte = [&](const std::string& item, const std::string& ourText, double ourValue,
                     const std::string& key, auto format) {
      if (pte)
        rows.push_back({item, ourText, "QPlainTextEdit " + format((*pte).at(key)),
                        Ratio((*pte).at(key) / ourValue)});
      else
        rows.push_back({item, ourText, "QPlainTextEdit not run", ""});
    };
    // Against the former view's whole-file read and index, which the window waited for.
    const auto vsWhole = [&](const std::string& item, const std::string& ourText, double ourValue,
                             const std::string& key, auto format) {
      if (whole)
        rows.push_back({item, ourText, "whole-file index " + format(whole->at(key)),
                        Ratio(whole->at(key) / ourValue)});
      else
        rows.push_back({item, ourText, "whole-file index failed", ""});
    };
    vsWhole(name + ": longest main-thread stall, open to indexed", Ms(o.at("stall_ms")),
            o.at("stall_ms"), "open_ms", Ms);
    vsPte(tag + ": open to first screen painted", Ms(o.at("open_ms")), o.at("open_ms"), "open_ms",
          Ms);
    vsWhole(tag + ": open to fully indexed (page usable meanwhile)", Ms(o.at("indexed_ms")),
            o.at("indexed_ms"), "open_ms", Ms);
    vsPte(tag + ": first paint", Ms(o.at("paint_ms")), o.at("paint_ms"), "paint_ms", Ms);
    vsPte(tag + ": search top to match", Ms(o.at("search_ms")), o.at("search_ms"), "search_ms", Ms);
    vsWhole(tag + ": search top to match", Ms(o.at("search_ms")), o.at("search_ms"), "search_ms",
            Ms);
    rows.push_back({tag + ": search top to match", Ms(o.at("search_ms")),
                    "grep -i -F -n -m1 " + Ms(grep), Ratio(grep / o.at("search_ms"))});
    vsPte(tag + ": memory growth", MiB(o.at("growth")), o.at("growth"), "growth", MiB);
    vsWhole(tag + ": memory growth (peak)", MiB(o.at("peak")), o.at("peak"), "peak", MiB);
    vsPte(tag + ": clear and repaint", Ms(o.at("clear_ms")), o.at("clear_ms"), "clear_ms", Ms);
    vsPte(tag + ": clear, the call alone", Ms(o.at("clear_call_ms")), o.at("clear_call_ms"),
          "clear_call_ms", Ms);
    if (pte)
      rows.push_back({tag + ": memory kept after clear", MiB(o.at("after_clear")),
                      "QPlainTextEdit " + MiB((*pte).at("after_clear")), ""});
    else
      rows.push_back({tag + ": memory kept after clear", MiB(o.at("after_clear")), "", ""});
    const int ourLine = static_cast<int>(o.at("found_line"));
    if (ourLine != grepLine || (pte && static_cast<int>((*pte).at("found_line")) != ourLine) ||
        (whole && static_cast<int>(whole->at("found_line")) != ourLine))
      rows.push_back({tag + ": FOUND LINES DIFFER", std::to_string(ourLine),
                      "grep " + std::to_string(grepLine), ""});
  }

  if (opt.lfMib > 0) {
    const std::string file = opt.dir + "/journal-lf-" + std::to_string(opt.lfMib) + "MiB.log";
    const std::string tag = std::to_string(opt.lfMib) + " MiB of bare LF";
    Progress("generating " + file);
    GenerateLineFeeds(file, static_cast<std::size_t>(opt.lfMib) << 20);
    Progress(tag + ": the view");
    const auto ours = Medians({self, "view", file, "--no-match"}, env, opt.runs, 600000);
    // The whole-file index needs GBs and many seconds here: one run.
    Progress(tag + ": the whole-file index");
    const auto whole = Medians({self, "lineindex", file}, env, 1, 600000);
    if (!ours) {
      rows.push_back({tag + ": the view failed", "n/a", "", ""});
    } else {
      const Values& o = *ours;
      const auto vsWhole = [&](const std::string& item, const std::string& ourText, double ourValue,
                               const std::string& key, auto format) {
        if (whole)
          rows.push_back({item, ourText, "whole-file index (1 run) " + format(whole->at(key)),
                          Ratio(whole->at(key) / ourValue)});
        else
          rows.push_back({item, ourText, "whole-file index failed", ""});
      };
      const std::string name = tag + " (" + Format("%.0f", o.at("lines") / 1e6) + " M lines)";
      vsWhole(name + ": longest main-thread stall", Ms(o.at("stall_ms")), o.at("stall_ms"),
              "open_ms", Ms);
      vsWhole(tag + ": open to fully indexed", Ms(o.at("indexed_ms")), o.at("indexed_ms"),
              "open_ms", Ms);
      vsWhole(tag + ": memory growth (peak)", MiB(o.at("peak")), o.at("peak"), "peak", MiB);
    }
    std::filesystem::remove(file);
  }

  double macros20 = 0;
  for (const int count : {20000, 40000}) {
    const std::string file = opt.dir + "/macros-" + std::to_string(count) + ".txt";
    Progress("macros " + std::to_string(count));
    GenerateMacros(file, static_cast<std::size_t>(count));
    const auto m = Medians({self, "macros", file}, env, opt.runs, 600000);
    const std::string item =
        "macro file of " + std::to_string(count / 1000) + ",000 macros: read, list, sort";
    if (!m) {
      rows.push_back({item, "n/a", "", ""});
      continue;
    }
    const double ms = m->at("macros_ms");
    if (count == 20000) {
      macros20 = ms;
      rows.push_back({item, Ms(ms), "", ""});
    } else {
      rows.push_back({item, Ms(ms), "20,000 macros " + Ms(macros20), Ratio(ms / macros20)});
    }
  }

  {
    const std::string file = opt.dir + "/macros-20000.txt";
    Progress("macros page 20000");
    GenerateMacros(file, 20000);
    const auto ours = Medians({self, "grid", file}, env, opt.runs, 600000);
    const auto items = Medians({self, "widgetgrid", file}, env, opt.runs, 600000);
    const auto row = [&](const std::string& item, const std::string& key) {
      if (!ours)
        rows.push_back({item, "n/a", "", ""});
      else if (!items)
        rows.push_back({item, Ms(ours->at(key)), "QTableWidget items failed", ""});
      else
        rows.push_back({item, Ms(ours->at(key)), "QTableWidget items " + Ms(items->at(key)),
                        Ratio(items->at(key) / ours->at(key))});
    };
    row("Macros page shows 20,000 macros (grid filled, painted)", "show_ms");
    row("Macros page: re-sort on a header click (20,000 macros)", "sort_ms");
  }

  const std::string startItem = "start to main window shown (demo installation)";
  if (!opt.quorvel.empty() && std::filesystem::exists(opt.quorvel) &&
      BinaryMentions(opt.quorvel, "QUORVEL_EXIT_AFTER_SHOW")) {
    Progress("program start");
    std::vector<double> ms;
    std::string failure;
    for (int r = 0; r < opt.runs && failure.empty(); ++r) {
      const Outcome o = Spawn({opt.quorvel}, {"QUORVEL_EXIT_AFTER_SHOW=1"}, kStartTimeoutMs);
      if (o.timedOut)
        failure = "the program did not end within " + std::to_string(kStartTimeoutMs / 1000) + " s";
      else if (!o.ok)
        failure = "the program ended with an error";
      ms.push_back(o.ms);
    }
    rows.push_back({startItem, failure.empty() ? Ms(Median(ms)) : "n/a", failure, ""});
  } else {
    rows.push_back({startItem, "n/a", "no main window in this build", ""});
  }

  PrintTable(rows);
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "lineindex" && argc >= 3)
    return RunLineIndex(argv[2]);
  if (mode == "view" || mode == "plaintextedit") {
    if (argc < 3)
      return 2;
    QApplication app(argc, argv);
    return mode == "view" ? RunView(argv[2], !(argc > 3 && std::string(argv[3]) == "--no-match"))
                          : RunPlainTextEdit(argv[2]);
  }
  if ((mode == "grid" || mode == "widgetgrid") && argc >= 3) {
    QApplication app(argc, argv);
    try {
      return RunGrid(argv[2], mode == "widgetgrid");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 3;
    }
  }
  if (mode == "macros" && argc >= 3) {
    try {
      return RunMacros(argv[2]);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 3;
    }
  }
  if (mode == "generate" && argc >= 4) {
    GenerateJournal(argv[2], static_cast<std::size_t>(std::atoll(argv[3])) << 20);
    return 0;
  }
  if (mode == "all") {
    Options opt;
    for (int i = 2; i + 1 < argc; i += 2) {
      const std::string key = argv[i];
      const std::string value = argv[i + 1];
      if (key == "--runs")
        opt.runs = std::max(1, std::atoi(value.c_str()));
      else if (key == "--dir")
        opt.dir = value;
      else if (key == "--plaintextedit-max")
        opt.plainTextEditMax = std::atoi(value.c_str());
      else if (key == "--lf-mib")
        opt.lfMib = std::atoi(value.c_str());
      else if (key == "--quorvel")
        opt.quorvel = value;
      else if (key == "--sizes") {
        opt.sizes.clear();
        std::istringstream in(value);
        std::string part;
        while (std::getline(in, part, ','))
          opt.sizes.push_back(std::atoi(part.c_str()));
      }
    }
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    return RunAll(self, opt);
  }
  std::fprintf(stderr, "usage: quorvel_bench all [--runs N] [--dir DIR] [--sizes 100,500,2048] "
                       "[--plaintextedit-max MIB] [--lf-mib MIB] [--quorvel BIN]\n"
                       "       quorvel_bench view JOURNAL [--no-match]\n"
                       "       quorvel_bench plaintextedit|lineindex JOURNAL\n"
                       "       quorvel_bench macros|grid|widgetgrid MACROFILE\n"
                       "       quorvel_bench generate FILE MIB\n");
  return 2;
}
