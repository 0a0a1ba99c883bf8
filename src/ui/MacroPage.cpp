// The Macros page of the main window: the grid, its header buttons and the macro detail panel.
//
// A macro is checked out of macroLines while the focus is in the panel: entering the panel
// removes the selected row's block, leaving it with valid content appends the panel's macro
// again. The focus moving into or out of the panel as a whole is taken from the application's
// focus changes.

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "core/MainProc.h"
#include "ui/Dialogs.h"
#include "ui/MacroGridModel.h"
#include "ui/MacroPage.h"

namespace qv {

using ui::FromGameText;
using ui::Guarded;
using ui::ToGameText;

namespace {

constexpr int kHeaderHeight = 18;
constexpr std::array<int, 6> kColumnWidths = {54, 47, 47, 47, 108, 170};
constexpr int kGridRowHeight = 19;
constexpr int kPanelHeight = 99;
constexpr int kScrollStep = 4;
// The rows of the panel: the key line, then one action row every 24 pixels.
constexpr int kPanelTop = 2;
constexpr int kRowStep = 24;
constexpr int kControlHeight = 22;
constexpr int kPanelMargin = 4;
constexpr int kKeyCount = static_cast<int>(kKeyNames.size());
constexpr int kActionCount = static_cast<int>(kActionNames.size());
// A parameter is read back from the file with at most this many characters.
constexpr int kMaxParameterLength = 99;

const char* const kNeedModifierText = "Must select Alt, Ctrl, or Shift!";
const char* const kDuplicateText = "Duplicate Macros!";
const char* const kNeedParameterText = "Must enter a value in the parameter";

// The sort column's mark: a red downward arrow with a black outline, 9 x 14 pixels.
QIcon SortGlyph() {
  QPixmap pixmap(9, 14);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const QPolygon arrow({{3, 0}, {5, 0}, {5, 7}, {8, 7}, {4, 13}, {0, 7}, {3, 7}});
  painter.setPen(Qt::black);
  painter.setBrush(QColor(Qt::red));
  painter.drawPolygon(arrow);
  return QIcon(pixmap);
}

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool IsYes(const std::string& cell) {
  return cell == "Yes";
}

// Removes the entries added after a box's own items (an unknown name shown from the file).
void DropExtraItems(TKVXComboBox* box, int ownCount) {
  while (box->count() > ownCount)
    box->removeItem(box->count() - 1);
}

// Selects the entry for a name read from the file: its own item found without regard to case,
// or else the name itself as an extra entry at the end, so that it is stored again unchanged. The
// entry shows the name cut as the grid shows it and holds the whole name (ItemName).
void SelectOrAppend(TKVXComboBox* box, int ownCount, int index, const std::string& name) {
  DropExtraItems(box, ownCount);
  if (index < 0 && !name.empty()) {
    box->addItem(ShownGameText(name), FromGameText(name));
    index = ownCount;
  }
  box->setCurrentIndex(index);
}

// The name an entry of a list stands for: an extra entry's whole name, else its text.
std::string ItemName(const TKVXComboBox* box, int index) {
  const QVariant whole = box->itemData(index);
  return ToGameText(whole.isValid() ? whole.toString() : box->itemText(index));
}

// The control that a click on `widget` gives the focus to: it or the nearest parent that takes
// the focus by click.
bool TakesClickFocus(const QWidget* widget) {
  for (const QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
    if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus)
      return true;
  }
  return false;
}

} // namespace

bool MacroPage::IsUnknownAction(int row) const {
  return cboxMacro[row]->currentIndex() >= kActionCount;
}

// Lays out the panel's controls for the scroll box's width and sizes its contents to the
// lowest visible row, so that the scroll range grows with the rows shown.
void MacroPage::LayoutMacroPanel() {
  QWidget* contents = sclData->widget();
  if (!contents)
    return;
  const QFontMetrics metrics(contents->font());
  const int labelWidth = std::max(metrics.horizontalAdvance(lblKey->text()),
                                  metrics.horizontalAdvance(lblMacro[0]->text())) +
                         2;
  const int boxLeft = kPanelMargin + labelWidth + 6;
  int boxWidth = cboxKey->sizeHint().width();
  for (const TKVXComboBox* box : cboxMacro)
    boxWidth = std::max(boxWidth, box->sizeHint().width());
  const int parmLabelLeft = boxLeft + boxWidth + 12;
  const int parmLabelWidth = metrics.horizontalAdvance(lblParm[0]->text()) + 2;
  const int parmLeft = parmLabelLeft + parmLabelWidth + 6;
  const int width = sclData->viewport()->width();
  const int parmWidth = std::max(120, width - parmLeft - kPanelMargin);

  lblKey->setGeometry(kPanelMargin, kPanelTop, labelWidth, kControlHeight);
  cboxKey->setGeometry(boxLeft, kPanelTop, boxWidth, kControlHeight);
  int checkLeft = boxLeft + boxWidth + 16;
  for (TKVXCheckBox* check : {chkAlt, chkCtrl, chkShift}) {
    const int checkWidth = check->sizeHint().width();
    check->setGeometry(checkLeft, kPanelTop, checkWidth, kControlHeight);
    checkLeft += checkWidth + 20;
  }

  int bottom = kPanelTop + kControlHeight;
  for (std::size_t i = 0; i < 10; ++i) {
    const int top = kPanelTop + kRowStep * static_cast<int>(i + 1);
    lblMacro[i]->setGeometry(kPanelMargin, top, labelWidth, kControlHeight);
    cboxMacro[i]->setGeometry(boxLeft, top, boxWidth, kControlHeight);
    lblParm[i]->setGeometry(parmLabelLeft, top, parmLabelWidth, kControlHeight);
    edParm[i]->setGeometry(parmLeft, top, parmWidth, kControlHeight);
    cboxParm[i]->setGeometry(parmLeft, top, parmWidth, kControlHeight);
    if (!cboxMacro[i]->isHidden())
      bottom = top + kControlHeight;
  }
  contents->resize(std::max(width, parmLeft + parmWidth + kPanelMargin), bottom + kPanelTop);
}

// Lays the six header buttons over the grid's columns; the last one reaches the right edge.
void MacroPage::LayoutMacroHeader() {
  const std::array<TKVXButton*, 6>& buttons = btnS;
  const int left = grdMacro->x() - pnlMacroHeader->x() + grdMacro->frameWidth();
  int x = 0;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const int column = static_cast<int>(i);
    const int end = i + 1 < buttons.size() ? left + grdMacro->columnViewportPosition(column) +
                                                 grdMacro->columnWidth(column)
                                           : pnlMacroHeader->width();
    buttons[i]->setGeometry(x, 0, std::max(0, end - x), kHeaderHeight);
    x = end;
  }
}

// The grid shows state.macroGrid; `row` becomes the selected row (kept within the grid).
// The model reads the rows where they lie: only the rows in sight are converted and drawn.
void MacroPage::ShowGridRows(int row) {
  const QScopedValueRollback<bool> busy(gridBusy, true);
  if (state.macroGrid.empty())
    state.macroGrid.emplace_back();
  const int count = static_cast<int>(state.macroGrid.size());
  macroGridModel->Reset();
  grdMacro->setCurrentCell(std::clamp(row, 0, count - 1), 0);
}

int MacroPage::CurrentGridRow() const {
  return std::max(0, grdMacro->currentRow());
}

MacroGridRow MacroPage::SelectedGridRow() const {
  const int row = grdMacro->currentRow();
  if (row < 0 || row >= static_cast<int>(state.macroGrid.size()))
    return {};
  return state.macroGrid[static_cast<std::size_t>(row)];
}

// The grid row of a macro, or -1.
int MacroPage::GridRowOf(const MacroPanel& macro) const {
  const auto& rows = state.macroGrid;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto& cells = rows[r].cells;
    if (TrimBlanks(cells[MacroGridRow::Key]) == TrimBlanks(macro.keyName) &&
        IsYes(cells[MacroGridRow::Alt]) == macro.alt &&
        IsYes(cells[MacroGridRow::Ctrl]) == macro.ctrl &&
        IsYes(cells[MacroGridRow::Shift]) == macro.shift)
      return static_cast<int>(r);
  }
  return -1;
}

// A grid row's key and modifiers into cboxKey, chkAlt, chkCtrl and chkShift.
void MacroPage::TakeMacroKey(const MacroGridRow& row) {
  const std::string key = TrimBlanks(row.cells[MacroGridRow::Key]);
  SelectOrAppend(cboxKey, kKeyCount, IndexOfText(kKeyNames, key), key);
  chkAlt->setChecked(IsYes(row.cells[MacroGridRow::Alt]));
  chkCtrl->setChecked(IsYes(row.cells[MacroGridRow::Ctrl]));
  chkShift->setChecked(IsYes(row.cells[MacroGridRow::Shift]));
}

void MacroPage::ScrollPanelToTop() {
  sclData->verticalScrollBar()->setValue(0);
}

// Row `row` (0 to 9) shows the parameter control its action takes.
void MacroPage::ActionChanged(std::size_t row) {
  if (row + 1 < 10) {
    cboxMacro[row + 1]->show();
    lblMacro[row + 1]->show();
  }
  edParm[row]->hide();
  cboxParm[row]->hide();
  lblParm[row]->hide();

  const int action = cboxMacro[row]->currentIndex();
  if (action >= kActionCount) {
    // An action the editor does not know keeps its parameter as free text.
    edParm[row]->show();
    lblParm[row]->show();
  } else if (action >= 0) {
    const MacroParameterKind kind = ParameterKindOf(kActionNames[static_cast<std::size_t>(action)]);
    if (kind == MacroParameterKind::FreeText) {
      edParm[row]->show();
      lblParm[row]->show();
    } else if (kind != MacroParameterKind::None) {
      const std::vector<std::string>& entries = ParameterList(state, kind);
      TKVXComboBox* list = cboxParm[row];
      list->clear();
      for (const std::string& entry : entries)
        list->addItem(FromGameText(entry));
      list->setCurrentIndex(IndexOfText(entries, ToGameText(edParm[row]->Text())));
      list->show();
      lblParm[row]->show();
    }
  }
  LayoutMacroPanel();
}

// After a refused leave step: the focus goes back to the offending control. While the page is
// being switched away the switch is let finish first, then the Macros page comes back; focus
// moves until then are no second leave.
void MacroPage::FocusMacroControl(QWidget* target) {
  QPointer<QWidget> control(target);
  if (isVisible() && pageData->currentWidget() == this) {
    control->setFocus(Qt::OtherFocusReason);
    sclData->ensureWidgetVisible(control);
    return;
  }
  macroReturning = true;
  QTimer::singleShot(0, this, [this, control] {
    macroReturning = false;
    if (pageData->currentWidget() != this)
      pageData->setCurrentWidget(this);
    if (!control)
      return;
    control->setFocus(Qt::OtherFocusReason);
    sclData->ensureWidgetVisible(control);
  });
}

bool MacroPage::Refuse(QWidget* target, const char* text) {
  ui::ShowError(QString::fromLatin1(text));
  FocusMacroControl(target);
  return false;
}

// Events of the page's controls that have no signal: the grid's focus-enter, the sizes of the
// header strip and the scroll box, and the wheel over a list box of the panel without focus.
class MacroPage::MacroPageWatcher : public QObject {
public:
  explicit MacroPageWatcher(MacroPage* form) : QObject(form), form_(form) {}

  void Watch(QObject* control, QObject*& slot) {
    slot = control;
    control->installEventFilter(this);
  }
  void WatchList(TKVXComboBox* box) { box->installEventFilter(this); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    MacroPage& form = *form_;
    switch (event->type()) {
    case QEvent::FocusIn:
      if (watched == grid_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Coming back to the window or from a drop-down is not entering the grid.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
          ui::RunAction([&form] { form.grdMacroClick(); });
      }
      break;
    case QEvent::Resize:
      if (watched == viewport_)
        form.LayoutMacroPanel();
      else if (watched == header_ || watched == grid_)
        form.LayoutMacroHeader();
      break;
    case QEvent::Wheel:
      // Turning the wheel over the panel scrolls it; it changes a list only when focused.
      if (auto* box = qobject_cast<TKVXComboBox*>(watched); box && !box->hasFocus()) {
        QCoreApplication::sendEvent(form.sclData->verticalScrollBar(), event);
        return true;
      }
      break;
    default:
      break;
    }
    return false;
  }

private:
  MacroPage* form_;

public:
  QObject* grid_ = nullptr;
  QObject* header_ = nullptr;
  QObject* viewport_ = nullptr;
};

bool MacroPage::LeaveMacroPanel() {
  const QScopedValueRollback<bool> leaving(macroLeaving, true);
  if (!pnlMacroExit())
    return false;
  macroCheckedOut = false;
  return true;
}

// A click that moves the focus out of the panel runs the leave step before the clicked control
// sees the click, and is dropped when the leave step refuses: else Add, Delete, Save or a grid
// row would act on a macro that is still checked out, and a click answered by a message box
// would leave its button pressed.
class MacroPage::MacroClickGuard : public QObject {
public:
  explicit MacroClickGuard(MacroPage* form) : QObject(form), form_(form) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
      return false;
    if (!form_->macroCheckedOut)
      return false;
    // The window's mouse event, before it is handed to the control under the pointer.
    if (watched == form_->window()->windowHandle()) {
      const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
      QWidget* target = form_->window()->childAt(at);
      if (!target || form_->pnlMacro->isAncestorOf(target) || !TakesClickFocus(target))
        return false;
      bool stored = false;
      ui::RunAction([&] { stored = form_->LeaveMacroPanel(); });
      return !stored;
    }
    // A click handed to a control directly: the focus has moved already, and the leave step has
    // refused when the focus is still in the panel.
    if (!watched->isWidgetType())
      return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != form_->window() || form_->pnlMacro->isAncestorOf(widget))
      return false;
    const QWidget* focused = QApplication::focusWidget();
    return focused && form_->pnlMacro->isAncestorOf(focused) && TakesClickFocus(widget);
  }

private:
  MacroPage* form_;
};

namespace {

// The columns' widths: the designed ones, wider where this platform's font needs more room for
// a key or action name or for a header caption with the glyph. The Parameters column gives up
// what the others took, as far as it can.
std::array<int, 6> ColumnWidths(const QFontMetrics& cells, const QFontMetrics& headers) {
  const auto cell = [&](std::string_view text) {
    return cells.horizontalAdvance(ui::FromUtf8(text) + QLatin1Char(' ')) + 8;
  };
  const auto header = [&](const char* caption) {
    return headers.horizontalAdvance(QString::fromLatin1(caption)) + 9 + 4 + 10;
  };
  std::array<int, 6> widths = kColumnWidths;
  for (std::string_view key : kKeyNames)
    widths[0] = std::max(widths[0], cell(key));
  widths[0] = std::max(widths[0], header("Key"));
  const std::array<const char*, 3> modifiers = {"Alt", "Ctrl", "Shift"};
  for (std::size_t i = 0; i < modifiers.size(); ++i)
    widths[i + 1] = std::max({widths[i + 1], cell("Yes"), header(modifiers[i])});
  for (std::string_view action : kActionNames)
    widths[4] = std::max(widths[4], cell(action));
  widths[4] = std::max(widths[4], header("Macro"));
  int designed = 0;
  int taken = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    designed += kColumnWidths[i];
    taken += widths[i];
  }
  widths[5] = std::max({kColumnWidths[5] - (taken - designed), 120, header("Parameters")});
  return widths;
}

TKVXComboBox* MakeList(QWidget* parent, const QString& name, const QString& hint) {
  auto* box = new TKVXComboBox(parent);
  box->setObjectName(name);
  box->setEditable(false);
  box->setMaxVisibleItems(16);
  if (!hint.isEmpty())
    box->setHint(hint);
  return box;
}

TKVXLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, QWidget* buddy) {
  auto* label = new TKVXLabel(caption, parent);
  label->setObjectName(name);
  label->setBuddy(buddy);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Building the page

MacroPage::MacroPage(MainState& mainState, TKVXPageControl* pageData, QWidget* parent)
    : QWidget(parent), state(mainState), pageData(pageData) {
  setObjectName(QStringLiteral("tabMacro"));
  QWidget* tab = this;
  auto* watcher = new MacroPageWatcher(this);
  auto* page = new QVBoxLayout(tab);
  page->setContentsMargins(4, 4, 4, 4);
  page->setSpacing(0);

  // The header strip: one button per column, the sort column's with the glyph.
  pnlMacroHeader = new QWidget(tab);
  pnlMacroHeader->setObjectName(QStringLiteral("pnlMacroHeader"));
  pnlMacroHeader->setFixedHeight(kHeaderHeight);
  const std::array<const char*, 6> captions = {"Key",   "Alt",   "Ctrl",
                                               "Shift", "Macro", "Parameters"};
  std::array<TKVXButton*, 6> headers{};
  for (std::size_t i = 0; i < headers.size(); ++i) {
    auto* button = new TKVXButton(QString::fromLatin1(captions[i]), pnlMacroHeader);
    button->setObjectName(QStringLiteral("btnS") + QString::number(i));
    // Not a tab stop; a click takes the focus, so a macro being edited is stored first.
    button->setFocusPolicy(Qt::ClickFocus);
    button->setAutoDefault(false);
    button->setIconSize(QSize(9, 14));
    connect(button, &QAbstractButton::clicked, this,
            Guarded([this, column = static_cast<int>(i)](bool) { btnS0Click(column); }));
    headers[i] = button;
  }
  btnS = headers;
  btnS[0]->setIcon(SortGlyph());
  sortCol = 0;
  page->addWidget(pnlMacroHeader);

  grdMacro = new TKVXGridView(tab);
  grdMacro->setObjectName(QStringLiteral("grdMacro"));
  macroGridModel = new MacroGridModel(state.macroGrid, grdMacro);
  grdMacro->setModel(macroGridModel);
  grdMacro->horizontalHeader()->hide();
  grdMacro->verticalHeader()->hide();
  grdMacro->horizontalHeader()->setMinimumSectionSize(1);
  grdMacro->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  const std::array<int, 6> widths = ColumnWidths(grdMacro->fontMetrics(), btnS[0]->fontMetrics());
  int columnsWidth = 0;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    grdMacro->setColumnWidth(static_cast<int>(i), widths[i]);
    columnsWidth += widths[i];
  }
  grdMacro->horizontalHeader()->setStretchLastSection(true);
  grdMacro->verticalHeader()->setMinimumSectionSize(1);
  grdMacro->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grdMacro->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
  grdMacro->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdMacro->setSelectionMode(QAbstractItemView::SingleSelection);
  grdMacro->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdMacro->setShowGrid(true);
  grdMacro->setWordWrap(false);
  grdMacro->setTabKeyNavigation(false);
  grdMacro->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grdMacro->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The grid takes the height the page leaves; its columns always fit.
  grdMacro->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
  grdMacro->setMinimumHeight(kGridRowHeight * 4 + 2 * grdMacro->frameWidth());
  grdMacro->setMinimumWidth(columnsWidth + 2 * grdMacro->frameWidth() +
                            grdMacro->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  page->addWidget(grdMacro, 1);
  page->addSpacing(4);

  // The detail panel with its scroll box.
  pnlMacro = new TKVXPanel(tab);
  pnlMacro->setObjectName(QStringLiteral("pnlMacro"));
  pnlMacro->setBevelOuter(bvLowered);
  pnlMacro->setFixedHeight(kPanelHeight);
  sclData = new QScrollArea(pnlMacro);
  sclData->setObjectName(QStringLiteral("sclData"));
  sclData->setFrameShape(QFrame::NoFrame);
  sclData->setWidgetResizable(false);
  sclData->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sclData->setFocusPolicy(Qt::NoFocus);
  sclData->verticalScrollBar()->setSingleStep(kScrollStep);
  auto* panelLayout = new QVBoxLayout(pnlMacro);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(sclData);
  page->addWidget(pnlMacro);

  auto* contents = new QWidget;
  contents->setObjectName(QStringLiteral("sclDataContents"));

  cboxKey = MakeList(contents, QStringLiteral("cboxKey"), QString());
  for (std::string_view key : kKeyNames)
    cboxKey->addItem(ui::FromUtf8(key));
  lblKey = MakeLabel(contents, QStringLiteral("lblKey"), QStringLiteral("Key"), cboxKey);
  chkAlt = new TKVXCheckBox(QStringLiteral("Alt"), contents);
  chkAlt->setObjectName(QStringLiteral("chkAlt"));
  chkAlt->setHint(QStringLiteral("Check this to press the ALT key for the macro"));
  chkCtrl = new TKVXCheckBox(QStringLiteral("Ctrl"), contents);
  chkCtrl->setObjectName(QStringLiteral("chkCtrl"));
  chkCtrl->setHint(QStringLiteral("Check this to press the CTRL key for the macro"));
  chkShift = new TKVXCheckBox(QStringLiteral("Shift"), contents);
  chkShift->setObjectName(QStringLiteral("chkShift"));
  chkShift->setHint(QStringLiteral("Check this to press the SHIFT key for the macro"));

  for (std::size_t i = 0; i < 10; ++i) {
    const QString number = QString::number(i + 1);
    cboxMacro[i] = MakeList(contents, QStringLiteral("cboxMacro") + number,
                            QStringLiteral("Select the Macro you would like"));
    for (std::string_view action : kActionNames)
      cboxMacro[i]->addItem(ui::FromUtf8(action));
    lblMacro[i] = MakeLabel(contents, QStringLiteral("lblMacro") + number, QStringLiteral("Macro"),
                            cboxMacro[i]);
    edParm[i] = new TKVXEdit(contents);
    edParm[i]->setObjectName(QStringLiteral("edParm") + number);
    edParm[i]->setHint(QStringLiteral("Enter the parameter for the macro"));
    edParm[i]->setMaxLength(kMaxParameterLength);
    cboxParm[i] = MakeList(contents, QStringLiteral("cboxParm") + number,
                           QStringLiteral("Enter the parameter for the macro"));
    lblParm[i] = MakeLabel(contents, QStringLiteral("lblParm") + number,
                           QStringLiteral("Parameter"), edParm[i]);
    connect(cboxMacro[i], &TKVXComboBox::changed, this,
            Guarded([this, row = static_cast<int>(i)] { cboxMacro1Change(row); }));
  }
  for (TKVXComboBox* box : cboxMacro)
    watcher->WatchList(box);
  for (TKVXComboBox* box : cboxParm)
    watcher->WatchList(box);
  watcher->WatchList(cboxKey);

  sclData->setWidget(contents);
  watcher->Watch(sclData->viewport(), watcher->viewport_);
  watcher->Watch(pnlMacroHeader, watcher->header_);
  watcher->Watch(grdMacro, watcher->grid_);
  qApp->installEventFilter(new MacroClickGuard(this));

  ClearMacroPanel();
  ShowGridRows(0);

  connect(grdMacro->selectionModel(), &QItemSelectionModel::currentChanged, this,
          Guarded([this](const QModelIndex&, const QModelIndex&) { grdMacroClick(); }));
  connect(grdMacro, &QAbstractItemView::clicked, this,
          Guarded([this](const QModelIndex&) { grdMacroClick(); }));
  connect(grdMacro, &QAbstractItemView::doubleClicked, this,
          Guarded([this](const QModelIndex&) { grdMacroClick(); }));
  connect(grdMacro->horizontalHeader(), &QHeaderView::sectionResized, this,
          [this] { LayoutMacroHeader(); });
  connect(qApp, &QApplication::focusChanged, this,
          Guarded([this](QWidget*, QWidget* now) { MacroFocusChanged(now); }));
}

// ---------------------------------------------------------------------------------------------
// The grid

void MacroPage::ShowMacroGrid() {
  ShowGridRows(CurrentGridRow());
  // The panel always shows the selected row's macro while nothing is checked out, so that
  // entering it never pairs one macro's key with another one's actions.
  if (!macroCheckedOut)
    grdMacroClick();
}

void MacroPage::SortMacroGrid() {
  const QScopedValueRollback<bool> busy(gridBusy, true);
  qv::SortMacroGrid(state.macroGrid, sortCol);
  ShowGridRows(CurrentGridRow());
}

void MacroPage::grdMacroClick() {
  // While a macro is checked out the panel holds its only copy.
  if (gridBusy || macroCheckedOut)
    return;
  ClearMacroPanel();
  ScrollPanelToTop();
  const MacroGridRow row = SelectedGridRow();
  TakeMacroKey(row);
  ShowMacroPanel(FillMacroPanel(state, row.cells[MacroGridRow::Key], chkAlt->isChecked(),
                                chkCtrl->isChecked(), chkShift->isChecked()));
}

void MacroPage::btnS0Click(int column) {
  if (column == sortCol)
    return;
  if (!StoreCheckedOutMacro())
    return;
  TKVXButton* sortBtn = btnS[static_cast<std::size_t>(sortCol)];
  btnS[static_cast<std::size_t>(column)]->setIcon(sortBtn->icon());
  sortBtn->setIcon(QIcon());
  grdMacro->setFocus(Qt::OtherFocusReason);
  sortCol = column;
  SortMacroGrid();
  grdMacroClick();
}

// ---------------------------------------------------------------------------------------------
// The detail panel

void MacroPage::ClearMacroPanel() {
  for (std::size_t i = 0; i < 10; ++i) {
    lblParm[i]->hide();
    edParm[i]->hide();
    cboxParm[i]->hide();
    edParm[i]->setText(QString());
    cboxParm[i]->setCurrentIndex(-1);
    DropExtraItems(cboxMacro[i], kActionCount);
    cboxMacro[i]->setCurrentIndex(-1);
    if (i == 0) {
      DropExtraItems(cboxKey, kKeyCount);
      cboxKey->setCurrentIndex(-1);
      chkAlt->setChecked(false);
      chkCtrl->setChecked(false);
      chkShift->setChecked(false);
    } else {
      lblMacro[i]->hide();
      cboxMacro[i]->hide();
    }
  }
  macroExtraActionLines.clear();
  LayoutMacroPanel();
}

void MacroPage::ShowMacroPanel(const MacroPanel& panel) {
  const std::size_t rows = std::min<std::size_t>(panel.rows.size(), 10);
  for (std::size_t i = 0; i < rows; ++i) {
    const MacroPanelRow& row = panel.rows[i];
    SelectOrAppend(cboxMacro[i], kActionCount, row.actionIndex, row.action);
    edParm[i]->setText(FromGameText(row.parameter));
    ActionChanged(i);
  }
  macroExtraActionLines = panel.extraActionLines;
}

MacroPanel MacroPage::PanelMacro() const {
  MacroPanel macro;
  macro.keyIndex = cboxKey->currentIndex();
  if (macro.keyIndex >= 0)
    macro.keyName = ItemName(cboxKey, macro.keyIndex);
  if (macro.keyIndex >= kKeyCount)
    macro.keyIndex = -1;
  macro.alt = chkAlt->isChecked();
  macro.ctrl = chkCtrl->isChecked();
  macro.shift = chkShift->isChecked();
  for (std::size_t i = 0; i < 10; ++i) {
    const int action = cboxMacro[i]->currentIndex();
    if (cboxMacro[i]->isHidden() || action < 0)
      break;
    MacroPanelRow row;
    row.action = ItemName(cboxMacro[i], action);
    row.actionIndex = action < kActionCount ? action : -1;
    if (!cboxParm[i]->isHidden()) {
      row.parameterIndex = cboxParm[i]->currentIndex();
      if (row.parameterIndex >= 0)
        row.parameter = ToGameText(cboxParm[i]->itemText(row.parameterIndex));
    } else if (!edParm[i]->isHidden()) {
      row.parameter = ToGameText(edParm[i]->Text());
    }
    macro.rows.push_back(std::move(row));
  }
  macro.extraActionLines = macroExtraActionLines;
  return macro;
}

void MacroPage::cboxMacro1Change(int row) {
  ActionChanged(static_cast<std::size_t>(row));
}

void MacroPage::MacroFocusChanged(QWidget* now) {
  // The focus leaving for another window (a message box, a drop-down list) or for nowhere does
  // not leave the panel.
  if (macroLeaving || macroReturning || !now || now->window() != window())
    return;
  const bool inPanel = pnlMacro->isAncestorOf(now);
  if (inPanel == macroCheckedOut)
    return;
  if (inPanel) {
    macroCheckedOut = true;
    pnlMacroEnter();
    return;
  }
  LeaveMacroPanel();
}

void MacroPage::pnlMacroEnter() {
  ScrollPanelToTop();
  if (QWidget* focused = QApplication::focusWidget(); focused && pnlMacro->isAncestorOf(focused))
    sclData->ensureWidgetVisible(focused);
  const MacroGridRow row = SelectedGridRow();
  TakeMacroKey(row);
  RemoveMacro(state, row.cells[MacroGridRow::Key], chkAlt->isChecked(), chkCtrl->isChecked(),
              chkShift->isChecked());
}

bool MacroPage::pnlMacroExit() {
  const MacroPanel macro = PanelMacro();
  if (!macro.alt && !macro.ctrl && !macro.shift && TrimBlanks(macro.keyName).size() < 2)
    return Refuse(chkAlt, kNeedModifierText);
  if (HasMacroKeyLine(state, MacroKeyLine(macro.keyName, macro.alt, macro.ctrl, macro.shift)))
    return Refuse(cboxKey, kDuplicateText);
  for (std::size_t i = 0; i < 10; ++i) {
    if (!cboxParm[i]->isHidden() && cboxParm[i]->currentIndex() < 0)
      return Refuse(cboxParm[i], kNeedParameterText);
    // An unknown action may well take no parameter.
    if (!edParm[i]->isHidden() && TrimControls(edParm[i]->Text()).isEmpty() &&
        !IsUnknownAction(static_cast<int>(i)))
      return Refuse(edParm[i], kNeedParameterText);
  }
  AppendMacro(state, macro);
  FillMacroGrid(state, sortCol);
  // The stored macro stays the selected row, as the panel still shows it.
  const int row = GridRowOf(macro);
  ShowGridRows(row >= 0 ? row : CurrentGridRow());
  return true;
}

bool MacroPage::StoreCheckedOutMacro() {
  if (!macroCheckedOut)
    return true;
  if (!LeaveMacroPanel())
    return false;
  // The panel is left for good: editing on there checks the macro out anew.
  if (grdMacro->isVisible())
    grdMacro->setFocus(Qt::OtherFocusReason);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Add and Delete

void MacroPage::btnAddClick() {
  if (pageData->currentWidget() != this)
    return;
  if (!StoreCheckedOutMacro())
    return;
  state.macroGrid.emplace_back();
  ShowGridRows(static_cast<int>(state.macroGrid.size()) - 1);
  ClearMacroPanel();
  // Entering the panel checks out the new, empty row.
  cboxKey->setFocus(Qt::OtherFocusReason);
}

void MacroPage::btnDeleteClick() {
  if (pageData->currentWidget() != this)
    return;
  if (!StoreCheckedOutMacro())
    return;
  ScrollPanelToTop();
  const MacroGridRow row = SelectedGridRow();
  TakeMacroKey(row);
  RemoveMacro(state, row.cells[MacroGridRow::Key], chkAlt->isChecked(), chkCtrl->isChecked(),
              chkShift->isChecked());
  FillMacroGrid(state, sortCol);
  ShowGridRows(CurrentGridRow());
  grdMacroClick();
}

} // namespace qv
