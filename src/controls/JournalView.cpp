#include "controls/JournalView.h"
#include "text/Encoding.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

namespace qv {

namespace {

// Space between the frame and the text.
constexpr int kMargin = 4;
constexpr int kTabColumns = 8;
// How often the selection follows a mouse held outside the view.
constexpr int kDragScrollMs = 50;
// How often the view follows a running index, and looks whether its file changed.
constexpr int kIndexPollMs = 40;
constexpr int kWatchMs = 1000;
constexpr std::size_t kMaxLines = static_cast<std::size_t>(std::numeric_limits<int>::max());

const std::array<char16_t, 256>& Cp1252Table() {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
      t[static_cast<std::size_t>(b)] = Cp1252ToUnicode(static_cast<unsigned char>(b));
    return t;
  }();
  return table;
}

bool IsWordChar(QChar c) {
  return c.isLetterOrNumber() || c == u'_';
}

} // namespace

TKVXJournalView::TKVXJournalView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  viewport()->setCursor(Qt::IBeamCursor);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
          &TKVXJournalView::firstVisibleLineChanged);
  setKVXEnabled(false);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  updateMetrics();
  updateScrollBars();
}

TKVXJournalView::~TKVXJournalView() = default; // m_doc cancels its index

void TKVXJournalView::setKVXEnabled(bool enabled) {
  m_enabled = enabled;
  // Never QWidget::setEnabled: a not-enabled view still scrolls, selects and copies.
  setFocusPolicy(enabled ? Qt::StrongFocus : Qt::ClickFocus);
  viewport()->setBackgroundRole(enabled ? QPalette::Base : QPalette::Button);
  viewport()->update();
}

// --- Text ---

bool TKVXJournalView::loadFile(const QString& hostPath) {
  m_pendingFirstLine = -1;
  const bool ok = m_doc.Open(hostPath.toStdString(), kMaxLines);
  m_path = ok ? hostPath : QString();
  m_reportEnd = true;
  if (ok)
    m_doc.WaitForLines(static_cast<std::size_t>(visibleLineCount()));
  reset();
  return ok;
}

void TKVXJournalView::setBytes(std::string_view bytes) {
  m_pendingFirstLine = -1;
  m_doc.Assign(bytes, kMaxLines);
  m_path.clear();
  m_reportEnd = true;
  reset();
}

void TKVXJournalView::clear() {
  m_pendingFirstLine = -1;
  m_doc.Close();
  m_path.clear();
  reset();
}

bool TKVXJournalView::reloadIfChanged() {
  if (m_path.isEmpty() || m_doc.Indexing() || !m_doc.Changed())
    return false;
  const int first = firstVisibleLine();
  const QString path = m_path;
  loadFile(path);
  if (first > 0) {
    // Indexing is fast: the top line comes back before anything is painted.
    m_doc.WaitForLines(static_cast<std::size_t>(first + visibleLineCount()));
    m_pendingFirstLine = first;
    syncIndex();
  }
  Q_EMIT fileChanged();
  return true;
}

void TKVXJournalView::reset() {
  m_anchor = m_cursor = Position{};
  m_goalX = -1;
  m_dragging = false;
  m_dragScrollTimer.stop();
  m_syncedLines = lineCount();
  m_syncedLongest = m_doc.LongestLine();
  updateContentWidth();
  updateScrollBars();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  viewport()->update();
  if (m_path.isEmpty())
    m_watchTimer.stop();
  else
    m_watchTimer.start(kWatchMs, this);
  syncIndex();
}

void TKVXJournalView::waitForIndex() {
  m_doc.WaitForIndex();
  syncIndex();
}

void TKVXJournalView::syncLineCount() {
  if (lineCount() == m_syncedLines)
    return;
  m_syncedLines = lineCount();
  updateScrollBars();
  viewport()->update();
}

void TKVXJournalView::syncIndex() {
  // Asked first: once it says done, the counts read after it are final.
  const bool running = m_doc.Indexing();
  syncLineCount();
  if (m_doc.LongestLine() != m_syncedLongest) {
    m_syncedLongest = m_doc.LongestLine();
    updateContentWidth();
    updateScrollBars();
  }
  if (m_pendingFirstLine >= 0 && (!running || lineCount() > m_pendingFirstLine)) {
    setFirstVisibleLine(m_pendingFirstLine);
    m_pendingFirstLine = -1;
  }
  if (running) {
    if (!m_indexTimer.isActive())
      m_indexTimer.start(kIndexPollMs, this);
    Q_EMIT indexingProgress(static_cast<qint64>(m_doc.BytesDone()),
                            static_cast<qint64>(m_doc.BytesTotal()));
    return;
  }
  m_indexTimer.stop();
  if (!m_reportEnd)
    return;
  m_reportEnd = false;
  Q_EMIT indexingFinished();
  const QString shown = QLocale().toString(lineCount());
  switch (m_doc.IndexFailure()) {
  case JournalFile::Failure::None:
    break;
  case JournalFile::Failure::OutOfMemory:
    Q_EMIT indexingFailed(tr("Not enough memory to read the whole journal: only its first %1 "
                             "lines are shown.")
                              .arg(shown));
    break;
  case JournalFile::Failure::TooManyLines:
    Q_EMIT indexingFailed(tr("The journal holds more lines than can be shown: only its first %1 "
                             "lines are shown.")
                              .arg(shown));
    break;
  }
}

std::string TKVXJournalView::lineBytes(int line) const {
  if (line < 0 || line >= lineCount())
    return {};
  return m_doc.Line(static_cast<std::size_t>(line));
}

qint64 TKVXJournalView::lineLength(int line) const {
  return static_cast<qint64>(lineBytes(line).size());
}

QString TKVXJournalView::decode(std::string_view bytes) const {
  const auto& table = Cp1252Table();
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char c : bytes)
    *out++ = QChar(table[static_cast<unsigned char>(c)]);
  return text;
}

QString TKVXJournalView::lineText(int line) const {
  return decode(lineBytes(line));
}

// --- Scrolling ---

int TKVXJournalView::firstVisibleLine() const {
  return verticalScrollBar()->value();
}

void TKVXJournalView::setFirstVisibleLine(int line) {
  syncLineCount(); // the index may have grown since the view last looked
  verticalScrollBar()->setValue(std::clamp(line, 0, verticalScrollBar()->maximum()));
}

int TKVXJournalView::visibleLineCount() const {
  return std::max(1, viewport()->height() / m_rowHeight);
}

void TKVXJournalView::updateContentWidth() {
  m_contentWidth = 0;
  const std::size_t longestLine = m_doc.LongestLine();
  if (longestLine != JournalFile::npos && longestLine < m_doc.LineCount()) {
    const std::string longest = m_doc.Line(longestLine);
    m_contentWidth = xAt(longest, static_cast<qint64>(longest.size()));
  }
}

void TKVXJournalView::updateScrollBars() {
  const int rows = visibleLineCount();
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, lineCount() - rows));
  v->setPageStep(rows);
  v->setSingleStep(1);

  // Room for the caret behind the widest line; a line wider than the scroll bar can count is cut.
  const qreal width = std::min(m_contentWidth + 2 * kMargin + m_cellWidth,
                               static_cast<qreal>(std::numeric_limits<int>::max() / 2));
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, static_cast<int>(std::ceil(width)) - viewport()->width()));
  h->setPageStep(std::max(1, viewport()->width()));
  h->setSingleStep(std::max(1, static_cast<int>(std::lround(m_cellWidth))));
}

void TKVXJournalView::scrollContentsBy(int, int) {
  viewport()->update();
}

void TKVXJournalView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

// --- Search ---

int TKVXJournalView::findBytes(std::string_view needle, int fromLine) const {
  const std::size_t found = m_doc.Find(needle, static_cast<std::size_t>(std::max(0, fromLine)));
  return found == JournalFile::npos || found >= kMaxLines ? -1 : static_cast<int>(found);
}

int TKVXJournalView::find(const QString& text, int fromLine) const {
  std::string needle;
  needle.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar ch : text) {
    const int byte = UnicodeToCp1252(ch.unicode());
    if (byte < 0)
      return -1;
    needle.push_back(static_cast<char>(byte));
  }
  return findBytes(needle, fromLine);
}

// --- Font and geometry ---

void TKVXJournalView::updateMetrics() {
  m_paintFont = font();
  // Glyphs are placed at the sum of their own advances, so that a line's x positions can be
  // computed from a table without laying it out.
  m_paintFont.setKerning(false);
  m_paintFont.setStyleStrategy(
      QFont::StyleStrategy(m_paintFont.styleStrategy() | QFont::PreferNoShaping));
  const QFontMetrics metrics(m_paintFont);
  const QFontMetricsF metricsF(m_paintFont);
  m_rowHeight = std::max(1, metrics.lineSpacing());
  m_ascent = metrics.ascent();
  const auto& table = Cp1252Table();
  for (std::size_t b = 0; b < 256; ++b) {
    const char16_t u = table[b];
    const bool control = u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
    m_display[b] = control ? QChar(u' ') : QChar(u);
    m_advance[b] = metricsF.horizontalAdvance(m_display[b]);
  }
  m_cellWidth = std::max<qreal>(1, m_advance['x']);
  m_tabWidth = std::max<qreal>(1, kTabColumns * m_advance[' ']);
  m_fixedPitch = std::all_of(m_advance.begin(), m_advance.end(),
                             [this](qreal a) { return std::abs(a - m_cellWidth) < 0.001; });
}

qreal TKVXJournalView::advance(unsigned char byte, qreal x) const {
  if (byte == '\t')
    return (std::floor(x / m_tabWidth + 1e-6) + 1) * m_tabWidth;
  return x + m_advance[byte];
}

qreal TKVXJournalView::xAt(std::string_view bytes, qint64 column) const {
  const auto count = static_cast<std::size_t>(std::clamp<qint64>(column, 0, qint64(bytes.size())));
  if (m_fixedPitch) {
    // Cells of one width; only tabs need a walk, from tab to tab.
    qreal x = 0;
    std::size_t i = 0;
    while (i < count) {
      const void* tab = std::memchr(bytes.data() + i, '\t', count - i);
      if (tab == nullptr)
        return x + static_cast<qreal>(count - i) * m_cellWidth;
      const auto at = static_cast<std::size_t>(static_cast<const char*>(tab) - bytes.data());
      x = advance('\t', x + static_cast<qreal>(at - i) * m_cellWidth);
      i = at + 1;
    }
    return x;
  }
  qreal x = 0;
  for (std::size_t i = 0; i < count; ++i)
    x = advance(static_cast<unsigned char>(bytes[i]), x);
  return x;
}

qint64 TKVXJournalView::columnAt(std::string_view bytes, qreal x) const {
  if (x <= 0 || bytes.empty())
    return 0;
  if (m_fixedPitch) {
    const auto guess = std::min<qreal>(std::round(x / m_cellWidth), qreal(bytes.size()));
    const auto column = static_cast<std::size_t>(guess);
    if (std::memchr(bytes.data(), '\t', column) == nullptr)
      return static_cast<qint64>(column);
  }
  qreal left = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const qreal right = advance(static_cast<unsigned char>(bytes[i]), left);
    if (x < (left + right) / 2)
      return static_cast<qint64>(i);
    left = right;
  }
  return static_cast<qint64>(bytes.size());
}

void TKVXJournalView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    updateMetrics();
    updateContentWidth();
    updateScrollBars();
    viewport()->update();
  }
}

// --- Painting ---

void TKVXJournalView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(m_paintFont);
  const Position from = std::min(m_anchor, m_cursor);
  const Position to = std::max(m_anchor, m_cursor);
  const int first = firstVisibleLine();
  const int rowFrom = std::max(0, event->rect().top() / m_rowHeight);
  const int rowTo = event->rect().bottom() / m_rowHeight;
  const qreal widthBefore = m_contentWidth;
  for (int row = rowFrom; row <= rowTo; ++row) {
    const int line = first + row;
    if (line >= lineCount())
      break;
    paintLine(painter, line, row * m_rowHeight, from, to);
  }
  if (hasFocus() && m_caretOn && m_cursor.line >= first && lineCount() > 0 &&
      m_cursor.line <= first + rowTo) {
    const qreal x =
        xAt(lineBytes(m_cursor.line), m_cursor.column) + kMargin - horizontalScrollBar()->value();
    const int y = (m_cursor.line - first) * m_rowHeight;
    painter.fillRect(QRectF(x, y, 1, m_rowHeight), palette().color(QPalette::Text));
  }
  if (m_contentWidth > widthBefore) // a line with tabs or wide glyphs turned out wider
    updateScrollBars();
}

void TKVXJournalView::paintLine(QPainter& painter, int line, int y, Position selFrom,
                                Position selTo) {
  const std::string bytes = lineBytes(line);
  // Text x of the view's left and right edges.
  const qreal left = horizontalScrollBar()->value() - kMargin;
  const qreal right = left + viewport()->width();
  const qreal toView = -left;

  // The first byte that reaches into the view.
  std::size_t i = 0;
  qreal x = 0;
  if (m_fixedPitch && left > 0) {
    const auto skip = std::min(static_cast<std::size_t>(left / m_cellWidth), bytes.size());
    if (std::memchr(bytes.data(), '\t', skip) == nullptr) {
      i = skip;
      x = static_cast<qreal>(skip) * m_cellWidth;
    }
  }
  for (; i < bytes.size(); ++i) {
    const qreal next = advance(static_cast<unsigned char>(bytes[i]), x);
    if (next > left)
      break;
    x = next;
  }

  // The visible runs between tabs.
  struct Run {
    qreal x;
    QString text;
  };
  std::vector<Run> runs;
  Run run{x, {}};
  for (; i < bytes.size() && x < right; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    x = advance(byte, x);
    if (byte == '\t') {
      if (!run.text.isEmpty())
        runs.push_back(std::move(run));
      run = Run{x, {}};
    } else {
      run.text.append(m_display[byte]);
    }
  }
  if (!run.text.isEmpty())
    runs.push_back(std::move(run));
  if (i == bytes.size())
    m_contentWidth = std::max(m_contentWidth, x);

  const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
  const QColor textColor =
      palette().color(group, m_enabled ? QPalette::Text : QPalette::ButtonText);
  painter.setPen(textColor);
  const int baseline = y + m_ascent;
  for (const Run& r : runs)
    painter.drawText(QPointF(r.x + toView, baseline), r.text);

  if (selFrom == selTo || line < selFrom.line || line > selTo.line)
    return;
  const qint64 a = line == selFrom.line ? selFrom.column : 0;
  const qint64 b = line == selTo.line ? selTo.column : qint64(bytes.size());
  qreal xa = xAt(bytes, a);
  qreal xb = xAt(bytes, b);
  if (line < selTo.line) // the line end is selected too
    xb += m_advance[' '];
  xa = std::max(xa + toView, qreal(-1));
  xb = std::min(xb + toView, qreal(viewport()->width() + 1));
  if (xb <= xa)
    return;
  const QRectF band(xa, y, xb - xa, m_rowHeight);
  painter.fillRect(band, palette().color(group, QPalette::Highlight));
  painter.save();
  painter.setClipRect(band);
  painter.setPen(palette().color(group, QPalette::HighlightedText));
  for (const Run& r : runs)
    painter.drawText(QPointF(r.x + toView, baseline), r.text);
  painter.restore();
}

// --- Caret and selection ---

TKVXJournalView::Position TKVXJournalView::clamped(Position p) const {
  if (lineCount() == 0)
    return {};
  p.line = std::clamp(p.line, 0, lineCount() - 1);
  p.column = std::clamp<qint64>(p.column, 0, lineLength(p.line));
  return p;
}

void TKVXJournalView::setSelection(Position anchor, Position cursor) {
  m_anchor = clamped(anchor);
  m_cursor = clamped(cursor);
  m_goalX = -1;
  ensureCursorVisible();
  startCaret();
  viewport()->update();
}

void TKVXJournalView::selectAll() {
  if (lineCount() == 0)
    return;
  // The view stays where it is, as in the toolkit's memo.
  m_anchor = Position{};
  m_cursor = Position{lineCount() - 1, lineLength(lineCount() - 1)};
  m_goalX = -1;
  viewport()->update();
}

QString TKVXJournalView::selectedText() const {
  if (!hasSelection())
    return {};
  const Position from = std::min(m_anchor, m_cursor);
  const Position to = std::max(m_anchor, m_cursor);
  const qint64 begin = offsetOf(from);
  const qint64 end = offsetOf(to);
  if (begin < 0 || end < begin)
    return {};
  const std::string bytes =
      m_doc.ReadRange(static_cast<std::uint64_t>(begin), static_cast<std::uint64_t>(end));
  const auto& table = Cp1252Table();
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    const auto c = static_cast<unsigned char>(bytes[k]);
    if (c == '\r' || c == '\n') {
      *out++ = QChar(u'\n');
      if (c == '\r' && k + 1 < bytes.size() && bytes[k + 1] == '\n')
        ++k;
    } else {
      *out++ = QChar(table[c]);
    }
  }
  text.truncate(out - text.constData());
  return text;
}

bool TKVXJournalView::copy() {
  if (!hasSelection())
    return false;
  const Position from = std::min(m_anchor, m_cursor);
  const Position to = std::max(m_anchor, m_cursor);
  const qint64 size = offsetOf(to) - offsetOf(from);
  if (size > kMaxCopyBytes) {
    QApplication::beep();
    return false;
  }
  QApplication::clipboard()->setText(selectedText());
  return true;
}

void TKVXJournalView::setPrimarySelection() {
  QClipboard* clipboard = QApplication::clipboard();
  if (!clipboard->supportsSelection() || !hasSelection())
    return;
  const Position from = std::min(m_anchor, m_cursor);
  const Position to = std::max(m_anchor, m_cursor);
  if (offsetOf(to) - offsetOf(from) <= kMaxCopyBytes)
    clipboard->setText(selectedText(), QClipboard::Selection);
}

qint64 TKVXJournalView::offsetOf(Position p) const {
  const std::uint64_t start = m_doc.LineStart(static_cast<std::size_t>(std::max(0, p.line)));
  return start == JournalFile::npos ? -1 : static_cast<qint64>(start) + p.column;
}

void TKVXJournalView::moveCursor(Position to, bool keepAnchor, bool keepGoalX) {
  m_cursor = clamped(to);
  if (!keepAnchor)
    m_anchor = m_cursor;
  if (!keepGoalX)
    m_goalX = -1;
  ensureCursorVisible();
  startCaret();
  viewport()->update();
}

void TKVXJournalView::ensureCursorVisible() {
  if (lineCount() == 0)
    return;
  const int first = firstVisibleLine();
  const int rows = visibleLineCount();
  if (m_cursor.line < first)
    setFirstVisibleLine(m_cursor.line);
  else if (m_cursor.line >= first + rows)
    setFirstVisibleLine(m_cursor.line - rows + 1);

  QScrollBar* h = horizontalScrollBar();
  const qreal x = xAt(lineBytes(m_cursor.line), m_cursor.column);
  const int width = std::max(1, viewport()->width() - 2 * kMargin);
  if (x < h->value())
    h->setValue(static_cast<int>(std::max<qreal>(0, x - width / 4.0)));
  else if (x + m_cellWidth > h->value() + width)
    h->setValue(static_cast<int>(std::min<qreal>(x - width * 3 / 4.0, h->maximum())));
}

void TKVXJournalView::startCaret() {
  m_caretOn = true;
  const int flash = QApplication::cursorFlashTime();
  if (hasFocus() && flash > 0)
    m_caretTimer.start(flash / 2, this);
  else
    m_caretTimer.stop();
}

void TKVXJournalView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  startCaret();
  viewport()->update();
}

void TKVXJournalView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  m_caretTimer.stop();
  m_caretOn = false;
  viewport()->update();
}

void TKVXJournalView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_caretTimer.timerId()) {
    m_caretOn = !m_caretOn;
    viewport()->update();
  } else if (event->timerId() == m_indexTimer.timerId()) {
    syncIndex();
  } else if (event->timerId() == m_watchTimer.timerId()) {
    reloadIfChanged();
  } else if (event->timerId() == m_dragScrollTimer.timerId()) {
    // The caret follows the mouse past the edge; moveCursor scrolls one step toward it.
    moveCursor(positionAt(m_lastDragPoint), true);
  } else {
    QAbstractScrollArea::timerEvent(event);
  }
}

// --- Keyboard ---

std::optional<TKVXJournalView::Movement> TKVXJournalView::MovementFor(int key, bool ctrl,
                                                                      bool shift) {
  struct KeyMovement {
    int key;
    bool ctrl;
    Movement movement;
  };
  static constexpr std::array<KeyMovement, 16> kKeyMovements = {{
      {Qt::Key_Left, false, Movement::CharLeft},
      {Qt::Key_Left, true, Movement::WordLeft},
      {Qt::Key_Right, false, Movement::CharRight},
      {Qt::Key_Right, true, Movement::WordRight},
      {Qt::Key_Up, false, Movement::LineUp},
      {Qt::Key_Up, true, Movement::ScrollUp},
      {Qt::Key_Down, false, Movement::LineDown},
      {Qt::Key_Down, true, Movement::ScrollDown},
      {Qt::Key_PageUp, false, Movement::PageUp},
      {Qt::Key_PageUp, true, Movement::PageUp},
      {Qt::Key_PageDown, false, Movement::PageDown},
      {Qt::Key_PageDown, true, Movement::PageDown},
      {Qt::Key_Home, false, Movement::LineStart},
      {Qt::Key_Home, true, Movement::TextStart},
      {Qt::Key_End, false, Movement::LineEnd},
      {Qt::Key_End, true, Movement::TextEnd},
  }};
  for (const KeyMovement& entry : kKeyMovements) {
    if (entry.key != key || entry.ctrl != ctrl)
      continue;
    // Ctrl+Shift+Up/Down select by line, as without Ctrl; only Ctrl+Up/Down scroll.
    if (shift && entry.movement == Movement::ScrollUp)
      return Movement::LineUp;
    if (shift && entry.movement == Movement::ScrollDown)
      return Movement::LineDown;
    return entry.movement;
  }
  return std::nullopt;
}

void TKVXJournalView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (event->matches(QKeySequence::Copy) ||
      (event->key() == Qt::Key_Insert && mods == Qt::ControlModifier)) {
    copy();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
    event->accept();
    return;
  }
  const bool shift = mods & Qt::ShiftModifier;
  const std::optional<Movement> movement =
      MovementFor(event->key(), (mods & Qt::ControlModifier) != 0, shift);
  if (!movement) {
    event->ignore();
    return;
  }
  applyMovement(*movement, shift);
  event->accept();
}

void TKVXJournalView::applyMovement(Movement movement, bool keepAnchor) {
  const int page = visibleLineCount();
  QScrollBar* v = verticalScrollBar();
  // Left and Right without Shift first collapse a selection to its side.
  const bool collapse = !keepAnchor && hasSelection();
  switch (movement) {
  case Movement::CharLeft:
  case Movement::WordLeft:
    if (collapse)
      moveCursor(std::min(m_anchor, m_cursor), false);
    else
      moveCursor(movement == Movement::WordLeft ? wordStep(-1) : charStep(-1), keepAnchor);
    break;
  case Movement::CharRight:
  case Movement::WordRight:
    if (collapse)
      moveCursor(std::max(m_anchor, m_cursor), false);
    else
      moveCursor(movement == Movement::WordRight ? wordStep(1) : charStep(1), keepAnchor);
    break;
  case Movement::LineUp:
    moveVertically(-1, keepAnchor);
    break;
  case Movement::LineDown:
    moveVertically(1, keepAnchor);
    break;
  case Movement::PageUp:
    v->setValue(v->value() - page);
    moveVertically(-page, keepAnchor);
    break;
  case Movement::PageDown:
    v->setValue(v->value() + page);
    moveVertically(page, keepAnchor);
    break;
  case Movement::ScrollUp:
    v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    break;
  case Movement::ScrollDown:
    v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    break;
  case Movement::LineStart:
    moveCursor(Position{m_cursor.line, 0}, keepAnchor);
    break;
  case Movement::LineEnd:
    moveCursor(Position{m_cursor.line, lineLength(m_cursor.line)}, keepAnchor);
    break;
  case Movement::TextStart:
    moveCursor(Position{}, keepAnchor);
    break;
  case Movement::TextEnd:
    moveCursor(Position{lineCount() - 1, lineLength(lineCount() - 1)}, keepAnchor);
    break;
  }
}

void TKVXJournalView::moveVertically(int delta, bool keepAnchor) {
  if (lineCount() == 0)
    return;
  // The caret keeps its x through a run of vertical moves, also across shorter lines.
  const qreal goal = m_goalX >= 0 ? m_goalX : xAt(lineBytes(m_cursor.line), m_cursor.column);
  const int line = static_cast<int>(
      std::clamp<qint64>(qint64(m_cursor.line) + delta, 0, qint64(lineCount()) - 1));
  moveCursor(Position{line, columnAt(lineBytes(line), goal)}, keepAnchor, true);
  m_goalX = goal;
}

TKVXJournalView::Position TKVXJournalView::charStep(int direction) const {
  Position p = m_cursor;
  if (direction < 0) {
    if (p.column > 0)
      --p.column;
    else if (p.line > 0)
      p = Position{p.line - 1, lineLength(p.line - 1)};
  } else {
    if (p.column < lineLength(p.line))
      ++p.column;
    else if (p.line + 1 < lineCount())
      p = Position{p.line + 1, 0};
  }
  return p;
}

TKVXJournalView::Position TKVXJournalView::wordStep(int direction) const {
  const Position p = m_cursor;
  const QString text = lineText(p.line);
  qint64 c = p.column;
  if (direction < 0) {
    if (c == 0)
      return p.line > 0 ? Position{p.line - 1, lineLength(p.line - 1)} : p;
    while (c > 0 && !IsWordChar(text[c - 1]))
      --c;
    while (c > 0 && IsWordChar(text[c - 1]))
      --c;
  } else {
    if (c == text.size())
      return p.line + 1 < lineCount() ? Position{p.line + 1, 0} : p;
    while (c < text.size() && IsWordChar(text[c]))
      ++c;
    while (c < text.size() && !IsWordChar(text[c]))
      ++c;
  }
  return Position{p.line, c};
}

// --- Mouse ---

TKVXJournalView::Position TKVXJournalView::positionAt(const QPoint& point) const {
  if (lineCount() == 0)
    return {};
  const int row = point.y() >= 0 ? point.y() / m_rowHeight : -1 - (-point.y() - 1) / m_rowHeight;
  const int line = static_cast<int>(
      std::clamp<qint64>(qint64(firstVisibleLine()) + row, 0, qint64(lineCount()) - 1));
  const qreal x = point.x() - kMargin + horizontalScrollBar()->value();
  return Position{line, columnAt(lineBytes(line), x)};
}

void TKVXJournalView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  m_dragging = true;
  m_lastDragPoint = event->position().toPoint();
  moveCursor(positionAt(m_lastDragPoint), event->modifiers() & Qt::ShiftModifier);
  event->accept();
}

void TKVXJournalView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  m_lastDragPoint = event->position().toPoint();
  moveCursor(positionAt(m_lastDragPoint), true);
  if (viewport()->rect().contains(m_lastDragPoint))
    m_dragScrollTimer.stop();
  else if (!m_dragScrollTimer.isActive())
    m_dragScrollTimer.start(kDragScrollMs, this);
  event->accept();
}

void TKVXJournalView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_dragging) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  m_dragging = false;
  m_dragScrollTimer.stop();
  setPrimarySelection();
  event->accept();
}

void TKVXJournalView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || lineCount() == 0) {
    QAbstractScrollArea::mouseDoubleClickEvent(event);
    return;
  }
  const Position at = positionAt(event->position().toPoint());
  const QString text = lineText(at.line);
  qint64 begin = at.column;
  qint64 end = at.column;
  while (begin > 0 && IsWordChar(text[begin - 1]))
    --begin;
  while (end < text.size() && IsWordChar(text[end]))
    ++end;
  m_dragging = false;
  setSelection(Position{at.line, begin}, Position{at.line, end});
  setPrimarySelection();
  event->accept();
}

void TKVXJournalView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copyAction = menu.addAction(tr("&Copy"), this, [this] { copy(); });
  copyAction->setShortcut(QKeySequence::Copy);
  copyAction->setEnabled(hasSelection());
  menu.addSeparator();
  QAction* selectAllAction = menu.addAction(tr("Select &All"), this, [this] { selectAll(); });
  selectAllAction->setShortcut(QKeySequence::SelectAll);
  selectAllAction->setEnabled(lineCount() > 0);
  menu.exec(event->globalPos());
}

} // namespace qv
