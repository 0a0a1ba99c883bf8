#pragma once

// TKVXPanel: the panel that lines up its push buttons. Included by KVXStCtl.h; include that.

#include "controls/KVXCommon.h"

#include <QFrame>

namespace qv {

enum TBevelCut : std::uint8_t { bvNone = 0, bvLowered = 1, bvRaised = 2 };

// A panel (raised outer bevel by default, like the toolkit's). With ButtonPanel on it arranges
// its visible push buttons (QPushButton and TKVXButton children) in one row in tab order
// (TabOrderOf, KVXStCtl.h), ButtonSpace pixels apart, at the top edge of the button with the
// lowest tab order, aligned by ButtonAlign (left/right at BorderWidth + 4 from the edge, or
// centred). Other children are not moved.
//
// The row is re-arranged when the panel is resized, when a child widget is added, removed,
// shown, hidden or resized, when a TKVXButton's tab order changes, and when ButtonAlign,
// ButtonSpace or ButtonPanel (True) is set. ArrangeButtons() runs it on demand.
//
// BorderWidth is the inner border: the contents margins are the bevels plus BorderWidth, so a
// layout set on the panel keeps inside it. Caption is drawn centred (empty by default).
class TKVXPanel : public QFrame {
  Q_OBJECT
  Q_PROPERTY(qv::TAlignment ButtonAlign READ ButtonAlign WRITE setButtonAlign)
  Q_PROPERTY(bool ButtonPanel READ ButtonPanel WRITE setButtonPanel)
  Q_PROPERTY(int ButtonSpace READ ButtonSpace WRITE setButtonSpace)
  Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
  Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
public:
  explicit TKVXPanel(QWidget* parent = nullptr);

  TAlignment ButtonAlign() const { return m_buttonAlign; }
  void setButtonAlign(TAlignment align);
  bool ButtonPanel() const { return m_buttonPanel; }
  void setButtonPanel(bool buttonPanel);
  int ButtonSpace() const { return m_buttonSpace; }
  void setButtonSpace(int space);

  int BorderWidth() const { return m_borderWidth; }
  void setBorderWidth(int width);
  TBevelCut BevelOuter() const { return m_bevelOuter; }
  void setBevelOuter(TBevelCut bevel);
  TBevelCut BevelInner() const { return m_bevelInner; }
  void setBevelInner(TBevelCut bevel);
  QString Caption() const { return m_caption; }
  void setCaption(const QString& caption);

  void ArrangeButtons();

protected:
  void resizeEvent(QResizeEvent* event) override;
  void childEvent(QChildEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void UpdateMargins();

  TAlignment m_buttonAlign = taRightJustify;
  bool m_buttonPanel = false;
  int m_buttonSpace = 0;
  int m_borderWidth = 0;
  TBevelCut m_bevelOuter = bvRaised;
  TBevelCut m_bevelInner = bvNone;
  QString m_caption;
  bool m_arranging = false;
};

} // namespace qv
