#pragma once

// The journal view: a read-only text view over a file's bytes that stays fast and small on
// journals of any size. The bytes stay on disk (core's JournalFile): a worker thread indexes the
// file while the view already shows its first lines and grows its scroll range; only the lines on
// screen are read and decoded from Windows-1252, and searching streams the file's bytes. A file
// that changes under the view is read again when the view notices (every second, or on
// reloadIfChanged()).
//
// Lines are split at CR LF, LF or CR, as in the game's files; unlike there, a zero byte ends the
// text. Decoding is Windows-1252 with the five undefined codes mapped to the C1 controls of the
// same value (as Windows does); control characters other than Tab are shown as blanks (they have
// no glyph) but copied as they are.
//
// What a user expects of a read-only text view: both scroll bars, wheel and keyboard scrolling
// (arrows, Page Up/Down, Home/End, Ctrl+Home/End, Ctrl+Up/Down scroll without moving the caret),
// selection with the mouse and with Shift+keys, double click selects a word, Ctrl+C / Ctrl+Insert
// and Ctrl+A, a context menu with Copy and Select All. A fixed-pitch font by default (setFont()
// takes any other). Follows the library's `Enabled` rule of the memo (see KVXStCtl.h); it is
// constructed as the journal page uses it: `Enabled` False (button-face background, skipped by Tab,
// focused by a click).

#include "controls/KVXCommon.h"
#include "text/JournalFile.h"
#include "text/LineIndex.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

class TKVXJournalView : public QAbstractScrollArea, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setKVXEnabled)
  Q_PROPERTY(int firstVisibleLine READ firstVisibleLine WRITE setFirstVisibleLine NOTIFY
                 firstVisibleLineChanged)

public:
  // A copy of more than this many bytes of text is refused (with a beep): the clipboard would
  // hold twice as much as UTF-16.
  static constexpr qint64 kMaxCopyBytes = qint64{64} << 20;

  // A place in the text: a line and a byte offset within it (0 to the line's length).
  struct Position {
    int line = 0;
    qint64 column = 0;
    auto operator<=>(const Position&) const = default;
  };

  explicit TKVXJournalView(QWidget* parent = nullptr);
  ~TKVXJournalView() override;

  void setHint(const QString& hint) { StoreHint(this, hint); }
  bool Enabled() const { return m_enabled; }
  void setKVXEnabled(bool enabled);

  // Opens the file (a host path) and shows it from its first line, replacing what the view held;
  // returns once the first screen is indexed, the rest is indexed meanwhile. False when it cannot
  // be opened; the view is then empty.
  bool loadFile(const QString& hostPath);
  // Shows the given bytes as the text (split and decoded like a file).
  void setBytes(std::string_view bytes);
  // Empties the view, cancelling an index that runs, and gives the memory back.
  void clear();
  // Reads the file again when it changed since it was opened, keeping the first visible line
  // where it can; true when it did.
  bool reloadIfChanged();

  // The lines indexed so far: grows while indexing.
  int lineCount() const { return static_cast<int>(m_doc.LineCount()); }
  bool indexing() const { return m_doc.Indexing(); }
  // Blocks until the whole file is indexed, then follows it at once (signals included).
  void waitForIndex();
  // The bytes of line i (without its line end, cut at JournalFile::kMaxLineBytes); empty for a
  // line that does not exist.
  std::string lineBytes(int line) const;
  // Line i decoded from Windows-1252.
  QString lineText(int line) const;
  // The text as held, for printing or searching.
  const JournalFile& document() const { return m_doc; }

  // The line at the top of the view (0 when empty).
  int firstVisibleLine() const;
  // Makes `line` the first visible line as far as the view can scroll: the last line does not go
  // above the bottom of the view.
  void setFirstVisibleLine(int line);
  // Lines the view shows in full (at least 1).
  int visibleLineCount() const;

  // The first line at or after fromLine (0-based) that holds needle, letters A-Z matched without
  // regard to case and every other byte exactly; -1 when there is none.
  int findBytes(std::string_view needle, int fromLine) const;
  // The same for a text, encoded as Windows-1252 first; a text that Windows-1252 cannot hold
  // occurs nowhere.
  int find(const QString& text, int fromLine) const;

  bool hasSelection() const { return m_anchor != m_cursor; }
  // The selected text, decoded, lines joined with "\n".
  QString selectedText() const;
  // Selects from anchor to cursor (clamped to the text); the caret goes to cursor.
  void setSelection(Position anchor, Position cursor);
  void selectAll();
  Position cursorPosition() const { return m_cursor; }
  // Copies the selection to the clipboard. False (with a beep for a too large one) when nothing
  // was copied.
  bool copy();

Q_SIGNALS:
  // The first visible line changed: by scrolling, loading, clearing or a resize.
  void firstVisibleLineChanged(int line);
  // While a file is indexed: bytes done of the file's size.
  void indexingProgress(qint64 done, qint64 total);
  // The index is done, stopped or cancelled (by clear() or another file).
  void indexingFinished();
  // The index stopped before the file's end (memory ran out, too many lines): the message says
  // so and what is shown.
  void indexingFailed(const QString& message);
  // The file changed under the view and was read again.
  void fileChanged();

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void reset();
  // Follows the index: the scroll range, the widest line, progress and its end.
  void syncIndex();
  void syncLineCount();
  void updateMetrics();
  void updateContentWidth();
  void updateScrollBars();
  qint64 lineLength(int line) const;
  Position clamped(Position p) const;
  // Geometry of a line's bytes: x of the left edge of byte `column` (from the text's left edge),
  // and the byte boundary nearest to x.
  qreal xAt(std::string_view bytes, qint64 column) const;
  qint64 columnAt(std::string_view bytes, qreal x) const;
  qreal advance(unsigned char byte, qreal x) const;
  Position positionAt(const QPoint& viewportPoint) const;
  void moveCursor(Position to, bool keepAnchor, bool keepGoalX = false);

  // What a navigation key does; keyPressEvent looks keys up in a table of these.
  enum class Movement {
    CharLeft,
    CharRight,
    WordLeft,
    WordRight,
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ScrollUp, // the view alone, the caret stays
    ScrollDown,
    LineStart,
    LineEnd,
    TextStart,
    TextEnd
  };
  static std::optional<Movement> MovementFor(int key, bool ctrl, bool shift);
  // Moves the caret; keepAnchor (Shift) extends the selection.
  void applyMovement(Movement movement, bool keepAnchor);
  void moveVertically(int delta, bool keepAnchor);
  Position charStep(int direction) const;
  Position wordStep(int direction) const;
  void ensureCursorVisible();
  void startCaret();
  void paintLine(QPainter& painter, int line, int y, Position selFrom, Position selTo);
  qint64 offsetOf(Position p) const;
  QString decode(std::string_view bytes) const;
  void setPrimarySelection();

  JournalFile m_doc;
  QString m_path;           // the file shown, for reading it again
  bool m_reportEnd = false; // indexingFinished is owed
  int m_syncedLines = 0;
  std::size_t m_syncedLongest = JournalFile::npos;
  int m_pendingFirstLine = -1; // restored once indexed that far
  QBasicTimer m_indexTimer;
  QBasicTimer m_watchTimer;
  bool m_enabled = false;
  Position m_anchor;
  Position m_cursor;
  qreal m_goalX = -1; // the caret's x kept through Up/Down and Page Up/Down
  bool m_dragging = false;
  QPoint m_lastDragPoint;
  QBasicTimer m_caretTimer;
  QBasicTimer m_dragScrollTimer;
  bool m_caretOn = false;

  // Font metrics.
  QFont m_paintFont;
  int m_rowHeight = 1;
  int m_ascent = 0;
  qreal m_cellWidth = 1;
  qreal m_tabWidth = 8;
  bool m_fixedPitch = true;
  std::array<qreal, 256> m_advance{};
  std::array<QChar, 256> m_display{};
  qreal m_contentWidth = 0;
};

} // namespace qv
