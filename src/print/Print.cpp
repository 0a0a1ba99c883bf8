#include "print/Print.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "platform/Error.h"
#include "text/Ascii.h"
#include "text/Encoding.h"

namespace qv {

namespace {

// One print unit is 0.04 inch.
constexpr double kInchesPerUnit = 0.04;
// Columns, in the units of PrintAt (the text's left edge is c + 10 units from the paper's edge).
constexpr int kColTitle = 10;
constexpr int kColKey = 20;
constexpr int kColAction = 60;
constexpr int kColParameter = 100;
constexpr int kRuleLength = 114;
constexpr int kTabWidth = 8;
constexpr std::size_t kMaxParameterLength = 99;
// Space kept free in front of the next column, in units.
constexpr int kColumnGap = 2;
// Space kept free at the paper's right edge, in units: as much as above the title.
constexpr int kRightMargin = 10;

// To the nearest whole number, a half to the even neighbour.
int RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double fraction = value - lower;
  double result = lower;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(lower, 2.0) != 0.0))
    result = lower + 1;
  return static_cast<int>(result);
}

bool IsEndLine(std::string_view line) {
  return line.size() >= 2 && line[0] == '#' && line[1] == '#';
}

// A macro's header line (key name, then the Ctrl, Alt and Shift flags at fixed places from the
// end) against the wanted key and modifiers. The key names are compared trimmed, case counting.
bool HeaderMatches(std::string_view line, std::string_view key, bool alt, bool ctrl, bool shift) {
  const std::string_view t = TrimBlankOrControl(line);
  const std::ptrdiff_t length = static_cast<std::ptrdiff_t>(t.size());
  // Places counted from 1; a place before the first character holds no flag.
  const auto flag = [&](std::ptrdiff_t place) { return place >= 1 && t[place - 1] == '1'; };
  if (flag(length) != shift || flag(length - 2) != alt || flag(length - 4) != ctrl)
    return false;
  const std::string_view name = length > 5 ? t.substr(0, static_cast<std::size_t>(length - 5)) : "";
  return TrimBlankOrControl(name) == TrimBlankOrControl(key);
}

bool IsYes(const std::string& cell) {
  return TrimBlankOrControl(cell) == "Yes";
}

// One print job: the unit's state from BeginPrint to the end of the job.
class TPrintJob {
public:
  TPrintJob(TPrintTarget& target, bool macroMode, QString title, int rowsTotal,
            const PrintProgress& progress)
      : target_(target), macroMode_(macroMode), title_(std::move(title)), rowsTotal_(rowsTotal),
        progress_(progress) {}

  ~TPrintJob() {
    // An error or a cancel ends the print: the job is dropped.
    if (begun_ && !ended_)
      target_.Abort();
  }

  void BeginPrint(const QFont& font) {
    MeasurePrinter();
    target_.SetFont(font);
    lineHeight_ = RoundHalfEven(target_.TextHeight(QStringLiteral("Yy")) / pixelsPerUnitDown_) + 2;
    target_.BeginJob(title_);
    begun_ = true;
  }

  // False when the job was cancelled.
  bool EndPrint() {
    if (cancelled_)
      return false;
    target_.EndJob();
    ended_ = true;
    return true;
  }

  bool Stopped() const { return cancelled_ || target_.Finished(); }
  void SetRowsDone(int rows) { rowsDone_ = rows; }

  void PrintHeading() {
    currentRow_ = 10;
    PrintAt(kColTitle, title_);
    if (macroMode_) {
      currentRow_ += 2 * lineHeight_;
      PrintAt(kColKey, QStringLiteral("Macro"));
      PrintAt(kColAction, QStringLiteral("Action"));
      PrintAt(kColParameter, QStringLiteral("Parameter"));
    }
    currentRow_ += lineHeight_;
    // In a wide font fewer dashes, so that the rule ends inside the right edge.
    PrintAt(kColTitle, FitText(QString(kRuleLength, QLatin1Char('-')), kColTitle));
    currentRow_ += lineHeight_;
  }

  void NextLine() {
    currentRow_ += lineHeight_;
    if (currentRow_ > pageHeight_ - 2 * lineHeight_) {
      PrintPageNumber();
      if (progress_ && !progress_(rowsDone_, rowsTotal_)) {
        cancelled_ = true;
        return;
      }
      target_.NewPage();
      PrintHeading();
    }
  }

  void PrintPageNumber() {
    currentRow_ = pageHeight_ - lineHeight_;
    PrintAt(kColParameter, QStringLiteral("Page Number: ") + QString::number(target_.PageNumber()));
  }

  // Prints the actions of every macro in macroLines with this key and these modifiers, one row per
  // action line; the row of the last one is left for the caller's NextLine.
  void PrintMacro(const std::vector<std::string>& macroLines, const std::string& key, bool alt,
                  bool ctrl, bool shift) {
    enum { Between, Wanted, Other } state = Between;
    QString label;
    if (alt)
      label += QStringLiteral("Alt   + ");
    if (ctrl)
      label += QStringLiteral("Ctrl  + ");
    if (shift)
      label += QStringLiteral("Shift + ");
    label += PrintableText(key);

    bool first = true;
    for (const std::string& line : macroLines) {
      if (Stopped())
        return;
      if (IsEndLine(line)) {
        state = Between;
      } else if (state == Between) {
        state = HeaderMatches(line, key, alt, ctrl, shift) ? Wanted : Other;
      } else if (state == Wanted) {
        const std::string_view t = TrimBlankOrControl(line);
        const std::size_t blank = t.find(' ');
        const std::string_view action = blank == std::string_view::npos ? t : t.substr(0, blank);
        const std::string_view parameter = blank == std::string_view::npos
                                               ? std::string_view()
                                               : t.substr(blank + 1, kMaxParameterLength);
        if (!first) {
          NextLine();
          if (Stopped())
            return;
        }
        first = false;
        PrintRow({{kColKey, label},
                  {kColAction, PrintableText(action)},
                  {kColParameter, PrintableText(parameter)}});
      }
    }
  }

  // One row of cells; a cell too wide for its column goes on to the following rows.
  struct Cell {
    int column;
    QString text;
  };
  void PrintRow(const std::vector<Cell>& cells) {
    std::vector<std::vector<QString>> pieces;
    std::size_t rows = 1;
    for (const Cell& cell : cells) {
      pieces.push_back(Break(cell.text, cell.column));
      rows = std::max(rows, pieces.back().size());
    }
    for (std::size_t row = 0; row < rows; ++row) {
      if (row > 0) {
        NextLine();
        if (Stopped())
          return;
      }
      for (std::size_t i = 0; i < cells.size(); ++i)
        if (row < pieces[i].size())
          PrintAt(cells[i].column, pieces[i][row]);
    }
  }

private:
  void MeasurePrinter() {
    const TPrintTarget::Geometry g = target_.Measure();
    pixelsPerUnitAcross_ = kInchesPerUnit * g.dpiX;
    pixelsPerUnitDown_ = kInchesPerUnit * g.dpiY;
    offsetAcross_ = g.offsetX;
    offsetDown_ = g.offsetY;
    // The right edge for text, in printable-area pixels.
    rightEdge_ = g.printableWidth;
    if (g.paperWidth > 0)
      rightEdge_ = std::min(rightEdge_, g.paperWidth - g.offsetX -
                                            static_cast<int>(kRightMargin * pixelsPerUnitAcross_));
    pageHeight_ = RoundHalfEven(g.printableHeight / pixelsPerUnitDown_);
  }

  int ColumnX(int column) const {
    return static_cast<int>(pixelsPerUnitAcross_ * (column + 10)) - offsetAcross_;
  }

  // The width a column's text may take: up to the gap before the next column, or to the right
  // edge. Unlimited where the geometry leaves no room at all.
  double ColumnWidth(int column) const {
    double width = 0;
    if (column == kColKey)
      width = ColumnX(kColAction) - ColumnX(kColKey) - kColumnGap * pixelsPerUnitAcross_;
    else if (column == kColAction)
      width = ColumnX(kColParameter) - ColumnX(kColAction) - kColumnGap * pixelsPerUnitAcross_;
    else
      width = rightEdge_ - ColumnX(column);
    return width > 0 ? width : HUGE_VAL;
  }

  std::vector<QString> Break(const QString& text, int column) {
    return BreakText(text, ColumnWidth(column),
                     [this](const QString& piece) { return target_.TextWidth(piece); });
  }
  // The part of the text that fits its column.
  QString FitText(const QString& text, int column) { return Break(text, column).front(); }

  void PrintAt(int column, const QString& text) {
    const int x = ColumnX(column);
    const int y = static_cast<int>(pixelsPerUnitDown_ * currentRow_) - offsetDown_;
    if (x < 0 || y < 0 || text.isEmpty())
      return;
    target_.TextOut(x, y, text);
  }

  TPrintTarget& target_;
  const bool macroMode_;
  const QString title_;
  const int rowsTotal_;
  const PrintProgress& progress_;

  double pixelsPerUnitAcross_ = 1;
  double pixelsPerUnitDown_ = 1;
  int offsetAcross_ = 0;
  int offsetDown_ = 0;
  int rightEdge_ = 0;
  int pageHeight_ = 0;
  int lineHeight_ = 2;
  int currentRow_ = 0;
  int rowsDone_ = 0;
  bool begun_ = false;
  bool ended_ = false;
  bool cancelled_ = false;
};

} // namespace

// --- Text ---

QString PrintableText(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\t') {
      do
        text += QLatin1Char(' ');
      while (text.size() % kTabWidth != 0);
      continue;
    }
    const QChar ch(Cp1252ToUnicode(byte));
    text += ch.category() == QChar::Other_Control ? QChar(QLatin1Char(' ')) : ch;
  }
  return text;
}

std::vector<QString> BreakText(const QString& text, double maxWidth,
                               const std::function<double(const QString&)>& widthOf) {
  std::vector<QString> pieces;
  QString rest = text;
  while (widthOf(rest) > maxWidth && rest.size() > 1) {
    // The longest prefix that fits, at least one character.
    qsizetype low = 1;
    qsizetype high = rest.size() - 1;
    while (low < high) {
      const qsizetype middle = (low + high + 1) / 2;
      if (widthOf(rest.left(middle)) <= maxWidth)
        low = middle;
      else
        high = middle - 1;
    }
    qsizetype cut = low;
    // Rather after a word: at the last blank within the part that fits (or just behind it).
    for (qsizetype i = low; i > 0; --i) {
      if (rest.at(i) == QLatin1Char(' ') && rest.at(i - 1) != QLatin1Char(' ')) {
        cut = i;
        break;
      }
    }
    pieces.push_back(rest.left(cut));
    qsizetype next = cut;
    while (next < rest.size() && rest.at(next) == QLatin1Char(' '))
      ++next;
    rest = rest.mid(next);
    if (rest.isEmpty())
      return pieces;
  }
  pieces.push_back(rest);
  return pieces;
}

// --- The printouts ---

bool PrintMacroList(TPrintTarget& target, const QFont& font, const std::vector<MacroGridRow>& grid,
                    const std::vector<std::string>& macroLines, const PrintProgress& progress) {
  TPrintJob job(target, true, QString::fromLatin1(kMacroListTitle), static_cast<int>(grid.size()),
                progress);
  job.BeginPrint(font);
  job.PrintHeading();
  int done = 0;
  for (const MacroGridRow& row : grid) {
    const auto& cells = row.cells;
    job.PrintMacro(macroLines, cells[MacroGridRow::Key], IsYes(cells[MacroGridRow::Alt]),
                   IsYes(cells[MacroGridRow::Ctrl]), IsYes(cells[MacroGridRow::Shift]));
    job.SetRowsDone(++done);
    if (job.Stopped())
      break;
    job.NextLine();
    if (job.Stopped())
      break;
  }
  if (!job.Stopped())
    job.PrintPageNumber();
  return job.EndPrint();
}

bool PrintJournal(TPrintTarget& target, const QFont& font, int lineCount,
                  const std::function<std::string(int)>& lineAt, const PrintProgress& progress) {
  TPrintJob job(target, false, QString::fromLatin1(kJournalTitle), lineCount, progress);
  job.BeginPrint(font);
  job.PrintHeading();
  for (int i = 0; i < lineCount; ++i) {
    job.PrintRow({{kColTitle, PrintableText(lineAt(i))}});
    job.SetRowsDone(i + 1);
    if (job.Stopped())
      break;
    job.NextLine();
    if (job.Stopped())
      break;
  }
  if (!job.Stopped())
    job.PrintPageNumber();
  return job.EndPrint();
}

namespace {

QFont SizedPrinterFont(QFont& printFont, int pointSize) {
  printFont.setPointSize(pointSize);
  return printFont;
}

} // namespace

bool PrintMacroList(QPrinter& printer, QFont& printFont, const std::vector<MacroGridRow>& grid,
                    const std::vector<std::string>& macroLines, const PrintProgress& progress) {
  const QFont font = SizedPrinterFont(printFont, kMacroListPointSize);
  TPrinterTarget target(printer);
  return PrintMacroList(target, font, grid, macroLines, progress);
}

bool PrintJournal(QPrinter& printer, QFont& printFont, int lineCount,
                  const std::function<std::string(int)>& lineAt, const PrintProgress& progress) {
  const QFont font = SizedPrinterFont(printFont, kJournalPointSize);
  TPrinterTarget target(printer);
  return PrintJournal(target, font, lineCount, lineAt, progress);
}

// --- The printer ---

TPrinterTarget::TPrinterTarget(QPrinter& printer) : printer_(printer) {}

TPrinterTarget::~TPrinterTarget() {
  if (painter_.isActive())
    painter_.end();
}

TPrintTarget::Geometry TPrinterTarget::Measure() {
  const QRectF paper = printer_.paperRect(QPrinter::DevicePixel);
  const QRectF page = printer_.pageRect(QPrinter::DevicePixel);
  Geometry g;
  g.dpiX = printer_.logicalDpiX();
  g.dpiY = printer_.logicalDpiY();
  g.offsetX = static_cast<int>(std::lround(page.left() - paper.left()));
  g.offsetY = static_cast<int>(std::lround(page.top() - paper.top()));
  g.printableWidth = printer_.width();
  g.printableHeight = printer_.height();
  g.paperWidth = static_cast<int>(std::lround(paper.width()));
  return g;
}

void TPrinterTarget::SetFont(const QFont& font) {
  font_ = font;
  metrics_ = QFontMetricsF(font_, &printer_);
  if (painter_.isActive())
    painter_.setFont(font_);
}

int TPrinterTarget::TextHeight(const QString& text) {
  return QFontMetrics(font_, &printer_).size(Qt::TextSingleLine, text).height();
}

double TPrinterTarget::TextWidth(const QString& text) {
  return metrics_.horizontalAdvance(text);
}

void TPrinterTarget::BeginJob(const QString& title) {
  printer_.setDocName(title);
  if (printer_.printRange() == QPrinter::PageRange) {
    firstPage_ = printer_.fromPage();
    lastPage_ = printer_.toPage();
  }
  if (!painter_.begin(&printer_)) {
    const QString file = printer_.outputFileName();
    if (!file.isEmpty())
      throw Error("Cannot create file " + QDir::toNativeSeparators(file).toStdString());
    if (printer_.printerName().isEmpty())
      throw Error("There is no printer to print on.");
    throw Error("The printer \"" + printer_.printerName().toStdString() +
                "\" did not accept the print job.");
  }
  painter_.setFont(font_);
  painter_.setPen(Qt::black);
  ascent_ = metrics_.ascent();
  page_ = 1;
  StartPage();
}

bool TPrinterTarget::Printed(int page) const {
  return (firstPage_ <= 0 || page >= firstPage_) && (lastPage_ <= 0 || page <= lastPage_);
}

bool TPrinterTarget::Finished() const {
  return lastPage_ > 0 && page_ > lastPage_;
}

void TPrinterTarget::StartPage() {
  if (!Printed(page_))
    return;
  // Beginning the job started the first sheet.
  if (pagesOut_ > 0 && !printer_.newPage())
    throw Error("The printer stopped the print job.");
  ++pagesOut_;
}

void TPrinterTarget::TextOut(int x, int y, const QString& text) {
  if (Printed(page_))
    painter_.drawText(QPointF(x, y + ascent_), text);
}

void TPrinterTarget::NewPage() {
  ++page_;
  StartPage();
}

void TPrinterTarget::EndJob() {
  if (painter_.isActive() && !painter_.end())
    throw Error("The print job could not be finished.");
}

void TPrinterTarget::Abort() {
  printer_.abort();
  if (painter_.isActive())
    painter_.end();
  // A file printed in part is of no use.
  const QString file = printer_.outputFileName();
  if (!file.isEmpty())
    QFile::remove(file);
}

} // namespace qv
