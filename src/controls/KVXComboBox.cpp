#include "controls/KVXStCtl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QProxyStyle>

namespace qv {

namespace {

// Styles that open the list over the box (Fusion, GTK) show every item at once: a list of 86
// keys ran the full height of the screen. Lists here drop down below the box and scroll past
// maxVisibleItems() rows, as they do on Windows.
class DropDownListStyle : public QProxyStyle {
public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_ComboBox_Popup)
      return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

// One for every box, made on first use over the application's style and owned by the application.
QStyle* DropDownStyle() {
  static QPointer<QStyle> style;
  if (!style) {
    style = new DropDownListStyle(QApplication::style()->name());
    style->setParent(qApp);
  }
  return style;
}

} // namespace

QStringList TKVXComboBox::ItemsOf(TBoxTypes boxType) {
  switch (boxType) {
  case btAccident:
    return {QStringLiteral("A - Auto Accident"), QStringLiteral("O - Other"),
            QStringLiteral("  - N/A")};
  case btAccountType:
    return {QStringLiteral("1 - Monthly"), QStringLiteral("2 - Standard"),
            QStringLiteral("3 - No Bill"), QStringLiteral("6 - Courtesy"),
            QStringLiteral("8 - Coupon"),  QStringLiteral("9 - Collection")};
  case btCondition:
    return {QStringLiteral("E - Employment Related"), QStringLiteral("F - Family Planning"),
            QStringLiteral("P - EPSDT")};
  case btMS:
    return {QStringLiteral("D - Divorced"), QStringLiteral("M - Married"),
            QStringLiteral("S - Single"), QStringLiteral("W - Widowed")};
  case btReason:
    return {QStringLiteral("E - Emergency Related"), QStringLiteral("I - Initial Examination"),
            QStringLiteral("N - Newborn"), QStringLiteral("R - Routine"),
            QStringLiteral("U - Urgent")};
  case btRel:
    return {QStringLiteral("C - Child"), QStringLiteral("S - Self"), QStringLiteral("M - Married"),
            QStringLiteral("O - Other")};
  case btSex:
    return {QStringLiteral("F - Female"), QStringLiteral("M - Male")};
  case btSexBoth:
    return {QStringLiteral("B - Both"), QStringLiteral("F - Female"), QStringLiteral("M - Male")};
  case btYesNo:
    return {QStringLiteral("Y - Yes"), QStringLiteral("N - No")};
  case btNormal:
  case btOther:
    break;
  }
  return {};
}

QString TKVXComboBox::CodeOf(const QString& item) {
  return item.left(1);
}

TKVXComboBox::TKVXComboBox(QWidget* parent) : QComboBox(parent) {
  setStyle(DropDownStyle());
  resize(width(), 21);
  setKVXEnabled(true);
  m_savedValue = m_valueDefault;
  // activated() comes from the user only: mouse, keys and wheel.
  connect(this, &QComboBox::activated, this, &TKVXComboBox::UserPicked);
}

QSize TKVXComboBox::sizeHint() const {
  return QComboBox::sizeHint();
}

void TKVXComboBox::setBoxType(TBoxTypes boxType) {
  m_boxType = boxType;
  const QStringList items = ItemsOf(boxType);
  if (items.isEmpty())
    return;
  clear();
  setEditable(false);
  addItems(items);
  // Qt selects the first item of a filled empty box; the list starts without a selection.
  setCurrentIndex(-1);
}

void TKVXComboBox::setKVXEnabled(bool enabled) {
  m_enabled = enabled;
  setFocusPolicy(enabled ? Qt::StrongFocus : Qt::ClickFocus);
  // The window colour while editable, the button face while not: a pick-only box is drawn
  // with the Button role, an editable one with Base.
  const QPalette standard = QApplication::palette(this);
  const QColor face = standard.color(enabled ? QPalette::Base : QPalette::Button);
  QPalette pal = palette();
  pal.setColor(QPalette::Base, face);
  pal.setColor(QPalette::Button, face);
  setPalette(pal);
}

void TKVXComboBox::setHint(const QString& hint) {
  StoreHint(this, ApplyHintRule(hint, m_scrollable));
  if (m_scrollable)
    setCursor(Qt::PointingHandCursor);
  else
    unsetCursor();
}

void TKVXComboBox::setScrollable(bool scrollable) {
  m_scrollable = scrollable;
  setHint(Hint());
}

QString TKVXComboBox::Value() const {
  if (m_boxType == btOther)
    return {};
  const int index = currentIndex();
  if (index >= 0 && index < count())
    return CodeOf(itemText(index));
  return {};
}

void TKVXComboBox::setValue(const QString& value) {
  if (m_boxType == btOther)
    return;
  setCurrentIndex(-1);
  const QString code = TrimControls(value);
  for (int i = 0; i < count(); ++i) {
    if (CodeOf(itemText(i)) == code) {
      setCurrentIndex(i);
      break;
    }
  }
  if (currentIndex() < 0 && !m_valueGuard) {
    m_valueGuard = true;
    setValue(m_valueDefault);
    m_valueGuard = false;
  }
}

void TKVXComboBox::UserPicked(int) {
  if (m_enabled) {
    m_savedValue = Value();
    Q_EMIT changed();
  } else {
    setValue(m_savedValue);
  }
}

void TKVXComboBox::DblClick() {
  if (m_enabled)
    Q_EMIT doubleClicked();
}

void TKVXComboBox::keyPressEvent(QKeyEvent* event) {
  QComboBox::keyPressEvent(event);
  if (m_scrollable && event->key() == Qt::Key_F &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier)
    DblClick();
}

void TKVXComboBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QComboBox::mouseDoubleClickEvent(event);
  DblClick();
}

} // namespace qv
