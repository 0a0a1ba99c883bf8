#include "controls/KvxWin95.h"

#include "platform/Keyboard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <algorithm>
#include <cstdlib>

namespace qv {

// ---------------------------------------------------------------------------------------------
// TKVXPageControl

TKVXPageControl::TKVXPageControl(QWidget* parent) : QTabWidget(parent) {
  tabBar()->installEventFilter(this);
}

bool TKVXPageControl::CanChange() {
  return !m_onChanging || m_onChanging();
}

int TKVXPageControl::NextVisibleTab(int step, bool wrap) const {
  const int n = count();
  int index = currentIndex();
  for (int i = 1; i < n; ++i) {
    index += step;
    if (wrap)
      index = (index + n) % n;
    else if (index < 0 || index >= n)
      return -1;
    if (isTabVisible(index) && isTabEnabled(index))
      return index;
  }
  return -1;
}

bool TKVXPageControl::SelectNextPage(bool goForward) {
  const int index = NextVisibleTab(goForward ? 1 : -1, true);
  if (index < 0 || !CanChange())
    return false;
  setCurrentIndex(index);
  return true;
}

bool TKVXPageControl::eventFilter(QObject* watched, QEvent* event) {
  // The tab bar moves its selection before any signal could stop it, so the handler is asked
  // here, before the tab bar sees the click or the wheel.
  if (watched == tabBar()) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const int index = tabBar()->tabAt(mouse->position().toPoint());
      if (mouse->button() == Qt::LeftButton && index >= 0 && index != currentIndex() &&
          !CanChange())
        return true;
      break;
    }
    case QEvent::Wheel: {
      const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
      const int along = std::abs(delta.y()) > std::abs(delta.x()) ? delta.y() : delta.x();
      if (along != 0 && NextVisibleTab(along > 0 ? -1 : 1, false) >= 0 && !CanChange())
        return true;
      break;
    }
    default:
      break;
    }
  }
  return QTabWidget::eventFilter(watched, event);
}

void TKVXPageControl::keyPressEvent(QKeyEvent* event) {
  // Ctrl+Tab and Ctrl+Shift+Tab, which QTabWidget turns into a page change.
  const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
  if (tab && (event->modifiers() & Qt::ControlModifier) && count() > 1 && !CanChange()) {
    event->accept();
    return;
  }
  QTabWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TKVXTrackBar

TKVXTrackBar::TKVXTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setTickPosition(QSlider::TicksBelow);
}

// ---------------------------------------------------------------------------------------------
// TKVXStatusBar

namespace {
constexpr int kKeyPanelWidth = 38;
constexpr int kPanelGap = 2;
} // namespace

TKVXStatusBar::TKVXStatusBar(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  m_panels.resize(6);
  UpdateKeyPanels();
}

void TKVXStatusBar::setPanels(const QVector<TStatusPanel>& panels) {
  m_panels = panels;
  const int n = PanelCount();
  if (n >= 3) {
    for (int i = n - 3; i < n; ++i) {
      m_panels[i].Alignment = taCenter;
      m_panels[i].Bevel = pbLowered;
    }
  }
  LayoutPanels();
  UpdateKeyPanels();
  update();
}

QString TKVXStatusBar::PanelText(int index) const {
  return Has(index) ? m_panels[index].Text : QString();
}

void TKVXStatusBar::setPanelText(int index, const QString& text) {
  if (!Has(index) || m_panels[index].Text == text)
    return;
  m_panels[index].Text = text;
  update();
}

int TKVXStatusBar::PanelWidth(int index) const {
  return Has(index) ? m_panels[index].Width : 0;
}

void TKVXStatusBar::setPanelWidth(int index, int width) {
  if (!Has(index))
    return;
  m_panels[index].Width = width;
  update();
}

TAlignment TKVXStatusBar::PanelAlignment(int index) const {
  return Has(index) ? m_panels[index].Alignment : taLeftJustify;
}

void TKVXStatusBar::setPanelAlignment(int index, TAlignment alignment) {
  if (!Has(index))
    return;
  m_panels[index].Alignment = alignment;
  update();
}

TStatusPanelBevel TKVXStatusBar::PanelBevel(int index) const {
  return Has(index) ? m_panels[index].Bevel : pbNone;
}

void TKVXStatusBar::setPanelBevel(int index, TStatusPanelBevel bevel) {
  if (!Has(index))
    return;
  m_panels[index].Bevel = bevel;
  update();
}

void TKVXStatusBar::LayoutPanels() {
  const int n = PanelCount();
  if (n < 3)
    return;
  for (int i = n - 3; i < n; ++i)
    m_panels[i].Width = kKeyPanelWidth;
  int others = 0;
  for (int i = 1; i < n; ++i)
    others += m_panels[i].Width + kPanelGap;
  m_panels[0].Width = width() - others;
  update();
}

void TKVXStatusBar::UpdateKeyPanels() {
  if (m_destroying)
    return;
  Q_EMIT resized();
  const int n = PanelCount();
  if (n < 3)
    return;
  const platform::KeyToggles toggles = platform::Keyboard().Toggles();
  setPanelText(n - 3, toggles.capsLock ? QStringLiteral("CAP") : QString());
  setPanelText(n - 2, toggles.numLock ? QStringLiteral("NUM") : QString());
  setPanelText(n - 1, toggles.scrollLock ? QStringLiteral("SCR  ") : QString());
}

void TKVXStatusBar::resizeEvent(QResizeEvent* event) {
  if (m_destroying)
    return;
  QStatusBar::resizeEvent(event);
  LayoutPanels();
  UpdateKeyPanels();
}

QSize TKVXStatusBar::sizeHint() const {
  return {QStatusBar::sizeHint().width(), std::max(19, fontMetrics().height() + 6)};
}

void TKVXStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const int n = PanelCount();
  int x = 0;
  for (int i = 0; i < n && x < width(); ++i) {
    const TStatusPanel& panel = m_panels[i];
    // The last panel reaches the right edge.
    const int w = i == n - 1 ? width() - x : std::max(0, panel.Width);
    const QRect box(x, 2, w, height() - 2);
    if (panel.Bevel != pbNone && w > 1)
      qDrawShadePanel(&painter, box, palette(), panel.Bevel == pbLowered, 1);
    const QRect textBox = box.adjusted(2, 1, -2, -1);
    if (!panel.Text.isEmpty() && textBox.width() > 0) {
      const int align = panel.Alignment == taCenter         ? Qt::AlignHCenter
                        : panel.Alignment == taRightJustify ? Qt::AlignRight
                                                            : Qt::AlignLeft;
      painter.save();
      painter.setClipRect(textBox);
      painter.setPen(palette().color(QPalette::WindowText));
      painter.drawText(textBox, align | Qt::AlignVCenter | Qt::TextSingleLine, panel.Text);
      painter.restore();
    }
    x += w + kPanelGap;
  }
}

} // namespace qv
