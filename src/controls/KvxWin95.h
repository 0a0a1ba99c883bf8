#pragma once

// The library's common controls: page control, track bar, status bar with lock-key panels.

#include "controls/KVXCommon.h"

#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QVector>
#include <functional>

namespace qv {

// The main window's pages.
//
// A page change the user asks for (a click on a tab, the wheel over the tabs, Ctrl+Tab,
// SelectNextPage) first asks the OnChanging handler; when it refuses, the tab does not move.
// setCurrentIndex() from code does not ask.
class TKVXPageControl : public QTabWidget, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  explicit TKVXPageControl(QWidget* parent = nullptr);
  void setHint(const QString& hint) { StoreHint(this, hint); }

  // OnChanging: asked before the user leaves the current page; false keeps it.
  void setOnChanging(std::function<bool()> handler) { m_onChanging = std::move(handler); }
  // The next (or previous) visible tab, round from the last to the first; false when there is
  // none or the change was refused.
  bool SelectNextPage(bool goForward);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  bool CanChange();
  // The visible tab `step` tabs away from the current one; -1 when there is none. Without
  // `wrap` the search stops at either end, as the wheel does.
  int NextVisibleTab(int step, bool wrap) const;
  std::function<bool()> m_onChanging;
};

// A horizontal slider with tick marks below it (set the spacing with setTickInterval).
class TKVXTrackBar : public QSlider, public TKVXHintHolder {
  Q_OBJECT
  Q_PROPERTY(QString Hint READ Hint WRITE setHint)
public:
  explicit TKVXTrackBar(QWidget* parent = nullptr);
  void setHint(const QString& hint) { StoreHint(this, hint); }
};

enum TStatusPanelBevel : std::uint8_t { pbNone = 0, pbLowered = 1, pbRaised = 2 };

struct TStatusPanel {
  QString Text;
  int Width = 50;
  TAlignment Alignment = taLeftJustify;
  TStatusPanelBevel Bevel = pbLowered;
};

// A status bar of panels drawn side by side, 2 pixels apart; the last one reaches the right
// edge. Its last three panels show the lock keys: "CAP", "NUM", "SCR  " (two blanks) or empty,
// 38 pixels wide, centred and lowered; panel 0 takes the width the others leave.
//
// - Constructed with six empty panels (50 pixels each). setPanels() replaces them as a form
//   does when it is loaded, then centres and lowers the last three, lays out the widths and
//   refreshes the key panels.
// - UpdateKeyPanels() reads qv::platform::Keyboard().Toggles() into the last three panels and
//   emits resized() first, on every call. The main window calls it on every key press and
//   release (X switches a lock off on the key's release) and on activation; the bar itself only
//   on construction, setPanels() and size changes.
// - With fewer than three panels nothing is laid out and no key text is shown; addressing a
//   panel that does not exist is ignored (getters give empty values).
// QStatusBar's own message and widget functions are not used by this bar (it paints its
// panels itself); the size grip is off.
class TKVXStatusBar : public QStatusBar {
  Q_OBJECT
public:
  explicit TKVXStatusBar(QWidget* parent = nullptr);
  ~TKVXStatusBar() override { m_destroying = true; }

  int PanelCount() const { return static_cast<int>(m_panels.size()); }
  QVector<TStatusPanel> Panels() const { return m_panels; }
  void setPanels(const QVector<TStatusPanel>& panels);

  QString PanelText(int index) const;
  void setPanelText(int index, const QString& text);
  int PanelWidth(int index) const;
  void setPanelWidth(int index, int width);
  TAlignment PanelAlignment(int index) const;
  void setPanelAlignment(int index, TAlignment alignment);
  TStatusPanelBevel PanelBevel(int index) const;
  void setPanelBevel(int index, TStatusPanelBevel bevel);

  void UpdateKeyPanels();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
  // OnResize: emitted by every UpdateKeyPanels().
  void resized();

protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

private:
  void LayoutPanels();
  bool Has(int index) const { return index >= 0 && index < PanelCount(); }

  QVector<TStatusPanel> m_panels;
  bool m_destroying = false;
};

} // namespace qv
