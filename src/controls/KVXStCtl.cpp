#include "controls/KVXStCtl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <cstring>

// The resource file is compiled into this static library; nothing else references it, so it is
// registered by hand before the first glyph is loaded.
static void InitKVXResources() {
  Q_INIT_RESOURCE(KVXControls);
}

namespace qv {

// ---------------------------------------------------------------------------------------------
// Hints

QString TrimControls(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text.at(begin).unicode() <= 0x20)
    ++begin;
  while (end > begin && text.at(end - 1).unicode() <= 0x20)
    --end;
  return text.mid(begin, end - begin);
}

QString ApplyHintRule(const QString& hint, bool scrollable) {
  static const char* const kOldSuffixes[] = {"Press CTRL-S for scroll",
                                             "|CTRL-S or Double Click for search", kFindHintSuffix};
  QString result = hint;
  for (const char* suffix : kOldSuffixes) {
    const QString s = QString::fromLatin1(suffix);
    const qsizetype at = result.indexOf(s);
    if (at >= 0)
      result.remove(at, s.size());
  }
  result = TrimControls(result);
  if (scrollable) {
    if (!result.isEmpty())
      result += u' ';
    result += QString::fromLatin1(kFindHintSuffix);
  }
  return result;
}

QString GetShortHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.left(bar);
}

QString GetLongHint(const QString& hint) {
  const qsizetype bar = hint.indexOf(u'|');
  return bar < 0 ? hint : hint.mid(bar + 1);
}

void TKVXHintHolder::StoreHint(QWidget* self, const QString& hint) {
  if (hint == m_hint)
    return;
  m_hint = hint;
  Q_EMIT TKVXHintNotifier::instance()->hintChanged(self);
}

QString ControlHint(const QWidget* widget) {
  // A composite's parts stand for each other through focus proxies, either way round; the
  // depth limit guards against proxy cycles.
  const QWidget* w = widget;
  for (int depth = 0; w && depth < 8; ++depth) {
    if (const auto* holder = dynamic_cast<const TKVXHintHolder*>(w))
      return holder->Hint();
    const QWidget* parent = w->parentWidget();
    if (w->focusProxy())
      w = w->focusProxy();
    else if (parent && parent->focusProxy() == w)
      w = parent;
    else
      break;
  }
  return {};
}

TKVXHintNotifier* TKVXHintNotifier::instance() {
  static TKVXHintNotifier notifier;
  return &notifier;
}

// ---------------------------------------------------------------------------------------------
// TKVXCheckBox

TKVXCheckBox::TKVXCheckBox(QWidget* parent) : QCheckBox(parent) {}

TKVXCheckBox::TKVXCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {}

QSize TKVXCheckBox::sizeHint() const {
  return QCheckBox::sizeHint();
}

bool TKVXCheckBox::hitButton(const QPoint& pos) const {
  return rect().contains(pos);
}

void TKVXCheckBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const int indicatorWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
  const int indicatorHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
  const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);

  // The box at the right end, the caption from the left edge.
  QStyleOptionButton box = option;
  box.rect = QRect(width() - indicatorWidth, (height() - indicatorHeight) / 2, indicatorWidth,
                   indicatorHeight);
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);

  QStyleOptionButton label = option;
  label.direction = Qt::LeftToRight;
  label.rect = QRect(0, 0, std::max(0, width() - indicatorWidth - spacing), height());
  painter.drawControl(QStyle::CE_CheckBoxLabel, label);

  if (hasFocus() && !text().isEmpty()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = style()
                     ->itemTextRect(fontMetrics(), label.rect,
                                    Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                                    isEnabled(), text())
                     .adjusted(-1, 0, 1, 0)
                     .intersected(label.rect);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

// ---------------------------------------------------------------------------------------------
// TKVXScrollButton

namespace {
const QPixmap& SearchGlyph(bool enabled) {
  static QPixmap normal;
  static QPixmap disabled;
  if (normal.isNull()) {
    InitKVXResources();
    const QPixmap both(QStringLiteral(":/kvx/KVXBTNSEARCH.png"));
    normal = both.copy(0, 0, 9, 16);
    disabled = both.copy(9, 0, 9, 16);
  }
  return enabled ? normal : disabled;
}
} // namespace

TKVXScrollButton::TKVXScrollButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  resize(21, 21);
}

void TKVXScrollButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionButton option;
  option.initFrom(this);
  option.state |= isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
  style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);
  const QPixmap& glyph = SearchGlyph(isEnabled());
  const int shift = isDown() ? 1 : 0;
  painter.drawPixmap((width() - glyph.width()) / 2 + shift, (height() - glyph.height()) / 2 + shift,
                     glyph);
}

// ---------------------------------------------------------------------------------------------
// TKVXButton

TKVXButton::TKVXButton(QWidget* parent) : QPushButton(parent) {
  setAutoDefault(true);
  TakeNextTabOrder();
  WatchWindow();
}

TKVXButton::TKVXButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setAutoDefault(true);
  TakeNextTabOrder();
  WatchWindow();
}

TKVXButton::~TKVXButton() {
  if (m_window)
    m_window->removeEventFilter(this);
}

void TKVXButton::TakeNextTabOrder() {
  QWidget* parent = parentWidget();
  if (!parent || m_tabOrder >= 0)
    return;
  int next = 0;
  for (QObject* child : parent->children()) {
    if (auto* button = qobject_cast<TKVXButton*>(child); button && button != this)
      next = std::max(next, button->TabOrder() + 1);
  }
  m_tabOrder = next;
}

void TKVXButton::setKVXTabOrder(int order) {
  m_tabOrder = std::max(0, order);
  QWidget* parent = parentWidget();
  if (!parent)
    return;
  QList<TKVXButton*> buttons;
  for (QObject* child : parent->children()) {
    if (auto* button = qobject_cast<TKVXButton*>(child))
      buttons.append(button);
  }
  std::stable_sort(buttons.begin(), buttons.end(), [](const TKVXButton* a, const TKVXButton* b) {
    return a->TabOrder() < b->TabOrder();
  });
  for (qsizetype i = 1; i < buttons.size(); ++i)
    QWidget::setTabOrder(buttons[i - 1], buttons[i]);
  if (auto* panel = qobject_cast<TKVXPanel*>(parent))
    panel->ArrangeButtons();
}

void TKVXButton::setKVXDefault(bool value) {
  m_default = value;
  QPushButton::setDefault(value);
}

void TKVXButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  if (m_default && !QPushButton::isDefault())
    QPushButton::setDefault(true);
}

void TKVXButton::setCancel(bool cancel) {
  m_cancel = cancel;
  WatchWindow();
}

void TKVXButton::WatchWindow() {
  QWidget* top = window();
  if (top == this)
    top = nullptr;
  if (m_window == top)
    return;
  if (m_window)
    m_window->removeEventFilter(this);
  m_window = top;
  if (m_window)
    m_window->installEventFilter(this);
}

bool TKVXButton::event(QEvent* event) {
  switch (event->type()) {
  case QEvent::ParentChange:
    TakeNextTabOrder();
    WatchWindow();
    break;
  case QEvent::Show:
    WatchWindow();
    break;
  default:
    break;
  }
  return QPushButton::event(event);
}

bool TKVXButton::eventFilter(QObject* watched, QEvent* event) {
  // Key presses reach the window only when the focused control did not use them.
  if (watched == m_window && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
      const bool escape = key->key() == Qt::Key_Escape;
      if (((enter && m_default) || (escape && m_cancel)) && isVisible() && isEnabled()) {
        click();
        return true;
      }
    }
  }
  return QPushButton::eventFilter(watched, event);
}

int TabOrderOf(const QWidget* widget) {
  if (const auto* button = qobject_cast<const TKVXButton*>(widget))
    return button->TabOrder();
  const QWidget* parent = widget ? widget->parentWidget() : nullptr;
  if (!parent)
    return 0;
  int index = 0;
  for (const QObject* child : parent->children()) {
    if (child == widget)
      return index;
    if (child->isWidgetType())
      ++index;
  }
  return index;
}

// ---------------------------------------------------------------------------------------------
// TKVXMemo

TKVXMemo::TKVXMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setKVXEnabled(true);
  connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
    if (m_charCase == ecNormal || m_casing || added <= 0)
      return;
    QTextCursor cursor(document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    const QString typed = cursor.selectedText();
    const QString cased = m_charCase == ecUpperCase ? typed.toUpper() : typed.toLower();
    if (cased == typed)
      return;
    m_casing = true;
    cursor.insertText(cased);
    m_casing = false;
  });
}

void TKVXMemo::setKVXEnabled(bool enabled) {
  m_enabled = enabled;
  setFocusPolicy(enabled ? Qt::StrongFocus : Qt::ClickFocus);
  setReadOnly(!enabled);
  QPalette pal = palette();
  const QPalette standard = QApplication::palette(this);
  pal.setColor(QPalette::Base, standard.color(enabled ? QPalette::Base : QPalette::Button));
  setPalette(pal);
}

void TKVXMemo::setCharCase(TEditCharCase charCase) {
  m_charCase = charCase;
  ApplyCharCase();
}

void TKVXMemo::ApplyCharCase() {
  if (m_charCase == ecNormal)
    return;
  const QString text = toPlainText();
  const QString cased = m_charCase == ecUpperCase ? text.toUpper() : text.toLower();
  if (cased != text) {
    m_casing = true;
    setPlainText(cased);
    m_casing = false;
  }
}

QStringList TKVXMemo::Lines() const {
  QStringList lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
    lines.append(block.text());
  if (lines.size() == 1 && lines.front().isEmpty())
    lines.clear();
  return lines;
}

void TKVXMemo::setLines(const QStringList& lines) {
  setPlainText(lines.join(u'\n'));
}

} // namespace qv
