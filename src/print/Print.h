#pragma once

// The unit Print: the macro list and the journal on paper.
//
// Pages are laid out in print units of 0.04 inch on a fixed grid: a title line, column headings
// for the macro list, a rule of dashes, the rows, and "Page Number: n" at the bottom of each
// page. The layout draws through a TPrintTarget: TPrinterTarget puts it on a QPrinter (a real
// printer or a PDF file); tests record it.
//
// Text that does not fit beside the next column (or, for the last column and the journal, inside
// the printable area and 10 units from the paper's right edge) goes on to further rows, broken
// after a blank where there is one, so that nothing is cut off at the paper's edge or printed over
// the next column. Text that fits prints on exactly one row.

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/MainState.h"

class QPrinter;

namespace qv {

// Where the layout draws. Lengths are printer pixels; positions are measured from the top left
// corner of the printable area.
class TPrintTarget {
public:
  struct Geometry {
    double dpiX = 0; // horizontal resolution, pixels per inch
    double dpiY = 0; // vertical resolution, pixels per inch
    int offsetX = 0; // paper's left edge to the printable area
    int offsetY = 0; // paper's top edge to the printable area
    int printableWidth = 0;
    int printableHeight = 0;
    int paperWidth = 0;
  };

  virtual ~TPrintTarget() = default;

  virtual Geometry Measure() = 0;
  // The font of every text that follows, also for TextHeight and TextWidth.
  virtual void SetFont(const QFont& font) = 0;
  virtual int TextHeight(const QString& text) = 0;
  virtual double TextWidth(const QString& text) = 0;
  // Starts the job (its page number is then 1). Throws qv::Error when it cannot start.
  virtual void BeginJob(const QString& title) = 0;
  // The text with its top left corner at (x, y).
  virtual void TextOut(int x, int y, const QString& text) = 0;
  // Throws qv::Error when the printer refuses.
  virtual void NewPage() = 0;
  virtual int PageNumber() const = 0;
  // Throws qv::Error when the job could not be finished.
  virtual void EndJob() = 0;
  // Drops the job after BeginJob.
  virtual void Abort() = 0;
  // True once nothing more would be printed (past the last page of a chosen range).
  virtual bool Finished() const { return false; }
};

// A QPrinter as set up by the print dialog. A page range chosen there is honoured: pages outside
// it are laid out (their numbers count) but not printed. Text is printed in black.
class TPrinterTarget : public TPrintTarget {
public:
  explicit TPrinterTarget(QPrinter& printer);
  ~TPrinterTarget() override;

  Geometry Measure() override;
  void SetFont(const QFont& font) override;
  int TextHeight(const QString& text) override;
  double TextWidth(const QString& text) override;
  void BeginJob(const QString& title) override;
  void TextOut(int x, int y, const QString& text) override;
  void NewPage() override;
  int PageNumber() const override { return page_; }
  void EndJob() override;
  void Abort() override;
  bool Finished() const override;

private:
  bool Printed(int page) const;
  void StartPage();

  QPrinter& printer_;
  QPainter painter_;
  QFont font_;
  QFontMetricsF metrics_{QFont()};
  int page_ = 0;
  int firstPage_ = 0; // 0: from the first page
  int lastPage_ = 0;  // 0: to the last page
  int pagesOut_ = 0;
  double ascent_ = 0;
};

// Told at each new page how many of the rows (grid rows or journal lines) are done; false cancels
// the job.
using PrintProgress = std::function<bool(int rowsDone, int rowsTotal)>;

// Job titles: the name under which the job is queued and the first line of every page.
inline constexpr std::string_view kMacroListTitle = "Ultima Online Macro List";
inline constexpr std::string_view kJournalTitle = "Ultima Online Journal";
// The printer font's size for each printout, in points.
inline constexpr int kMacroListPointSize = 10;
inline constexpr int kJournalPointSize = 8;

// The macro list in the given font: every grid row, first to last, with the actions of its macro
// from macroLines (Windows-1252 bytes), one row per action line. False when cancelled.
bool PrintMacroList(TPrintTarget& target, const QFont& font, const std::vector<MacroGridRow>& grid,
                    const std::vector<std::string>& macroLines, const PrintProgress& progress = {});

// The journal in the given font: lineCount lines, lineAt(i) giving line i's Windows-1252 bytes
// False when cancelled.
bool PrintJournal(TPrintTarget& target, const QFont& font, int lineCount,
                  const std::function<std::string(int)>& lineAt,
                  const PrintProgress& progress = {});

// The printouts as the main window makes them: the printer font's size set to 10 points (macro
// list) or 8 points (journal), where it stays, then the printout on the printer.
bool PrintMacroList(QPrinter& printer, QFont& printFont, const std::vector<MacroGridRow>& grid,
                    const std::vector<std::string>& macroLines, const PrintProgress& progress = {});
bool PrintJournal(QPrinter& printer, QFont& printFont, int lineCount,
                  const std::function<std::string(int)>& lineAt,
                  const PrintProgress& progress = {});

// Windows-1252 bytes as printed: Tab to blanks up to the next multiple of 8 characters, every
// other control character to a blank (it has no glyph).
QString PrintableText(std::string_view bytes);

// Breaks text into pieces no wider than maxWidth: after the last blank that fits, else after the
// last character that fits (at least one character per piece). Text that fits is one piece; the
// empty text is one empty piece.
std::vector<QString> BreakText(const QString& text, double maxWidth,
                               const std::function<double(const QString&)>& widthOf);

} // namespace qv
