#include "controls/KVXStCtl.h"

#include <QChildEvent>
#include <QPainter>
#include <QPushButton>
#include <qdrawutil.h>

#include <algorithm>

namespace qv {

TKVXPanel::TKVXPanel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::NoFrame);
  UpdateMargins();
}

void TKVXPanel::setButtonAlign(TAlignment align) {
  m_buttonAlign = align;
  ArrangeButtons();
}

void TKVXPanel::setButtonPanel(bool buttonPanel) {
  m_buttonPanel = buttonPanel;
  ArrangeButtons();
}

void TKVXPanel::setButtonSpace(int space) {
  m_buttonSpace = space;
  ArrangeButtons();
}

void TKVXPanel::setBorderWidth(int width) {
  m_borderWidth = std::max(0, width);
  UpdateMargins();
  ArrangeButtons();
}

void TKVXPanel::setBevelOuter(TBevelCut bevel) {
  m_bevelOuter = bevel;
  UpdateMargins();
  update();
}

void TKVXPanel::setBevelInner(TBevelCut bevel) {
  m_bevelInner = bevel;
  UpdateMargins();
  update();
}

void TKVXPanel::setCaption(const QString& caption) {
  m_caption = caption;
  update();
}

void TKVXPanel::UpdateMargins() {
  const int margin =
      (m_bevelOuter != bvNone ? 1 : 0) + m_borderWidth + (m_bevelInner != bvNone ? 1 : 0);
  setContentsMargins(margin, margin, margin, margin);
}

void TKVXPanel::ArrangeButtons() {
  if (m_arranging || !m_buttonPanel)
    return;
  m_arranging = true;

  QList<QPushButton*> counted;
  int total = 0;
  int highest = 0;
  int lowest = 999;
  int rowTop = -1;
  for (QObject* child : children()) {
    auto* button = qobject_cast<QPushButton*>(child);
    if (!button || !button->isVisibleTo(this))
      continue;
    counted.append(button);
    if (total > 0)
      total += m_buttonSpace;
    const int order = TabOrderOf(button);
    highest = std::max(highest, order);
    if (order < lowest) {
      lowest = order;
      rowTop = button->y();
    }
    total += button->width();
  }

  int x = 0;
  switch (m_buttonAlign) {
  case taLeftJustify:
    x = m_borderWidth + 4;
    break;
  case taCenter:
    x = (width() - 2 * m_borderWidth - total) / 2;
    break;
  default:
    x = width() - (m_borderWidth + 4) - total;
    break;
  }

  if (highest >= lowest) {
    // Every counted button lies between the lowest and the highest order, so a stable sort
    // gives the row: by tab order, equal orders in list order.
    std::stable_sort(
        counted.begin(), counted.end(),
        [](const QPushButton* a, const QPushButton* b) { return TabOrderOf(a) < TabOrderOf(b); });
    for (QPushButton* button : counted) {
      button->move(x, rowTop >= 0 ? rowTop : button->y());
      x += button->width() + m_buttonSpace;
    }
  }
  m_arranging = false;
}

void TKVXPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  ArrangeButtons();
}

void TKVXPanel::childEvent(QChildEvent* event) {
  QFrame::childEvent(event);
  if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType())
    event->child()->installEventFilter(this);
  else if (event->type() == QEvent::ChildRemoved)
    ArrangeButtons();
}

bool TKVXPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched->parent() == this) {
    switch (event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::Resize:
      ArrangeButtons();
      break;
    default:
      break;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void TKVXPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  QRect r = rect();
  if (m_bevelOuter != bvNone) {
    qDrawShadePanel(&painter, r, palette(), m_bevelOuter == bvLowered, 1);
    r.adjust(1, 1, -1, -1);
  }
  r.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
  if (m_bevelInner != bvNone && r.isValid())
    qDrawShadePanel(&painter, r, palette(), m_bevelInner == bvLowered, 1);
  if (!m_caption.isEmpty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextShowMnemonic, m_caption);
  }
}

} // namespace qv
