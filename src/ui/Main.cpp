// The main window: frame, menu, button panel, status bar and the application-wide handlers.

#include "ui/Main.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QTextEdit>
#include <QVBoxLayout>
#include <array>

#include "controls/JournalView.h"
#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "core/MainProc.h"
#include "core/SaveGuards.h"
#include "ui/About.h"
#include "ui/Config.h"
#include "ui/Dialogs.h"
#include "ui/JournalPage.h"
#include "ui/Log.h"
#include "ui/MacroPage.h"
#include "ui/ServerPage.h"
#include "ui/SystemPage.h"
#include "ui/UOX.h"

namespace qv {

using ui::Guarded;
using ui::RunAction;

namespace {

// The client area the window was designed for; the window grows where this platform's fonts
// need more room.
constexpr int kDesignClientWidth = 521;
constexpr int kDesignClientHeight = 378;

TKVXButton* MakeButton(TKVXPanel* panel, const QString& caption, const QString& hint) {
  auto* button = new TKVXButton(caption, panel);
  button->setHint(hint);
  button->resize(button->sizeHint().expandedTo(QSize(75, 25)));
  return button;
}

bool IsMultiLineText(const QWidget* widget) {
  return qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
         qobject_cast<const TKVXJournalView*>(widget);
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Quorvel - Beta 6 (Final Beta)"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

  CreateShell();
  CreateMenu();
  ConnectPageHandlers();
  tabSys->PushSystemPage();
  tabServer->PushServerPage();

  FormCreate();
  FixWindowSize();
}

TfrmMain::~TfrmMain() {
  // The controls go before the connections of this window and its pages do: nothing may reach
  // a handler while they are being taken apart.
  qApp->removeEventFilter(this);
  const std::array<QObject*, 5> receivers = {this, tabSys, tabMacro, tabJournal, tabServer};
  const QList<QObject*> children = findChildren<QObject*>();
  for (QObject* receiver : receivers) {
    disconnect(qApp, nullptr, receiver, nullptr);
    disconnect(TKVXHintNotifier::instance(), nullptr, receiver, nullptr);
    for (QObject* child : children)
      disconnect(child, nullptr, receiver, nullptr);
  }
}

void TfrmMain::CreateShell() {
  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pnlData = new TKVXPanel(client);
  pnlData->setObjectName(QStringLiteral("pnlData"));
  pnlData->setBevelOuter(bvNone);
  pnlData->setBorderWidth(5);
  pageData = new TKVXPageControl(pnlData);
  pageData->setObjectName(QStringLiteral("pageData"));
  // The tabs are reached with the mouse and Page Up / Page Down, not with Tab.
  pageData->setFocusPolicy(Qt::NoFocus);
  pageData->tabBar()->setFocusPolicy(Qt::NoFocus);
  auto* dataLayout = new QVBoxLayout(pnlData);
  dataLayout->setContentsMargins(5, 5, 5, 5);
  dataLayout->addWidget(pageData);
  layout->addWidget(pnlData, 1);

  pnlBtn = new TKVXPanel(client);
  pnlBtn->setObjectName(QStringLiteral("pnlBtn"));
  btnAdd = MakeButton(pnlBtn, QStringLiteral("&Add"),
                      QStringLiteral("Add an empty macro into the list"));
  btnDelete =
      MakeButton(pnlBtn, QStringLiteral("&Delete"), QStringLiteral("Delete a macro from the list"));
  btnFind = MakeButton(pnlBtn, QStringLiteral("&Find"), QStringLiteral("Find text in the journal"));
  // Wide enough for "&Find Again", so the row does not jump when the caption changes.
  {
    TKVXButton probe(QStringLiteral("&Find Again"));
    btnFind->resize(std::max(btnFind->width(), probe.sizeHint().width()), btnFind->height());
  }
  btnPrint = MakeButton(pnlBtn, QStringLiteral("&Print"),
                        QStringLiteral("Print the contents of the journal"));
  btnClear =
      MakeButton(pnlBtn, QStringLiteral("&Clear"), QStringLiteral("Empty the journal entries"));
  btnSave = MakeButton(pnlBtn, QStringLiteral("&Save"),
                       QStringLiteral("Save all the changes to Ulitma Online"));
  btnExit = MakeButton(pnlBtn, QStringLiteral("E&xit"), QString());
  const QList<TKVXButton*> buttons = {btnAdd,   btnDelete, btnFind, btnPrint,
                                      btnClear, btnSave,   btnExit};
  int order = 0;
  int buttonHeight = 25;
  for (TKVXButton* button : buttons)
    buttonHeight = std::max(buttonHeight, button->height());
  for (TKVXButton* button : buttons) {
    button->resize(button->width(), buttonHeight);
    button->move(0, 4);
    button->setKVXTabOrder(order++);
  }
  btnAdd->setObjectName(QStringLiteral("btnAdd"));
  btnDelete->setObjectName(QStringLiteral("btnDelete"));
  btnFind->setObjectName(QStringLiteral("btnFind"));
  btnPrint->setObjectName(QStringLiteral("btnPrint"));
  btnClear->setObjectName(QStringLiteral("btnClear"));
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnExit->setObjectName(QStringLiteral("btnExit"));
  btnAdd->hide();
  btnDelete->hide();
  btnFind->hide();
  btnPrint->hide();
  btnClear->hide();
  btnClear->setEnabled(false);
  btnSave->setKVXDefault(true);
  btnExit->setCancel(true);
  pnlBtn->setFixedHeight(std::max(32, buttonHeight + 8));
  pnlBtn->setButtonSpace(4);
  pnlBtn->setButtonPanel(true);
  layout->addWidget(pnlBtn, 0);

  // The pages join the window after the button panel: Tab from a page's last control goes on to
  // the buttons, as it always has.
  tabSys = new SystemPage(state);
  tabMacro = new MacroPage(state, pageData);
  tabJournal = new JournalPage(state, pageData, btnFind, btnPrint, btnClear);
  tabServer = new ServerPage(state);
  pageData->addTab(tabSys, QStringLiteral("System Config"));
  pageData->addTab(tabMacro, QStringLiteral("Macros"));
  pageData->addTab(tabJournal, QStringLiteral("Journal"));
  pageData->addTab(tabServer, QStringLiteral("Server"));
  setCentralWidget(client);

  sbarHint = new TKVXStatusBar(this);
  sbarHint->setObjectName(QStringLiteral("sbarHint"));
  sbarHint->setPanels({TStatusPanel{QString(), 224}, TStatusPanel{QString(), 175},
                       TStatusPanel{QString(), 38}, TStatusPanel{QString(), 38},
                       TStatusPanel{QString(), 38}});
  setStatusBar(sbarHint);
  // The journal's reading progress shares the second help-line panel with the hints.
  connect(tabJournal, &JournalPage::statusChanged, this, [this](const QString& text) {
    if (text.isEmpty()) {
      sbarHint->setPanelText(1, QString());
      RefreshHint();
      return;
    }
    FitHintPanels(sbarHint->PanelText(0), text);
    sbarHint->setPanelText(1, text);
  });

  connect(btnSave, &QAbstractButton::clicked, this, Guarded([this](bool) { btnSaveClick(); }));
  connect(btnExit, &QAbstractButton::clicked, this, Guarded([this](bool) { btnExitClick(); }));
  connect(btnAdd, &QAbstractButton::clicked, this,
          Guarded([this](bool) { tabMacro->btnAddClick(); }));
  connect(btnDelete, &QAbstractButton::clicked, this,
          Guarded([this](bool) { tabMacro->btnDeleteClick(); }));
  connect(btnFind, &QAbstractButton::clicked, this,
          Guarded([this](bool) { tabJournal->btnFindClick(); }));
  connect(btnPrint, &QAbstractButton::clicked, this, Guarded([this](bool) { btnPrintClick(); }));
  connect(btnClear, &QAbstractButton::clicked, this,
          Guarded([this](bool) { tabJournal->btnClearClick(); }));
}

void TfrmMain::CreateMenu() {
  menuMain = new TKVXMainMenu(this);
  menuMain->setObjectName(QStringLiteral("menuMain"));
  File1 = menuMain->addMenu(QStringLiteral("&File"));
  File1->setObjectName(QStringLiteral("File1"));
  ViewPatchlog1 = File1->addAction(QStringLiteral("View &Patchlog"));
  ViewPatchlog1->setObjectName(QStringLiteral("ViewPatchlog1"));
  ViewPatchlog1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  File1->addSeparator();
  Exit1 = File1->addAction(QStringLiteral("E&xit"));
  Exit1->setObjectName(QStringLiteral("Exit1"));

  Setup1 = menuMain->addMenu(QStringLiteral("&Configuration"));
  Setup1->setObjectName(QStringLiteral("Setup1"));
  mnuUOX = Setup1->addAction(QStringLiteral("&Multiple Configurations"));
  mnuUOX->setObjectName(QStringLiteral("mnuUOX"));
  mnuUOX->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  mnuUOX->setEnabled(false);
  Setup1->addSeparator();
  Options1 = Setup1->addAction(QStringLiteral("&Options"));
  Options1->setObjectName(QStringLiteral("Options1"));

  Help1 = menuMain->addMenu(QStringLiteral("&Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Notes1 = Help1->addAction(QStringLiteral("&Notes"));
  Notes1->setObjectName(QStringLiteral("Notes1"));
  Help1->addSeparator();
  About1 = Help1->addAction(QStringLiteral("&About"));
  About1->setObjectName(QStringLiteral("About1"));
  setMenuBar(menuMain);

  // The shortcuts work while the focus is anywhere in the window, also with the menu closed.
  for (QAction* action : {ViewPatchlog1, mnuUOX})
    action->setShortcutContext(Qt::WindowShortcut);
  addAction(ViewPatchlog1);
  addAction(mnuUOX);

  connect(ViewPatchlog1, &QAction::triggered, this,
          Guarded([this](bool) { ViewPatchlog1Click(); }));
  connect(Exit1, &QAction::triggered, this, Guarded([this](bool) { btnExitClick(); }));
  connect(mnuUOX, &QAction::triggered, this, Guarded([this](bool) { mnuUOXClick(); }));
  connect(Options1, &QAction::triggered, this, Guarded([this](bool) { Options1Click(); }));
  connect(Notes1, &QAction::triggered, this, Guarded([this](bool) { Notes1Click(); }));
  connect(About1, &QAction::triggered, this, Guarded([this](bool) { About1Click(); }));
}

void TfrmMain::ConnectPageHandlers() {
  pageData->setOnChanging([this] {
    bool allowChange = true;
    if (!RunAction([&] { pageDataChanging(allowChange); }))
      allowChange = false;
    return allowChange;
  });
  connect(pageData, &QTabWidget::currentChanged, this, Guarded([this](int) { pageDataChange(); }));
  connect(tabSys, &SystemPage::installDirectoryWidened, this, [this] { FixWindowSize(); });
}

void TfrmMain::FixWindowSize() {
  // Lay everything out once so that the size hints are final.
  centralWidget()->layout()->activate();
  const QSize content = minimumSizeHint().expandedTo(sizeHint());
  const int menuHeight = menuMain->sizeHint().height();
  const QSize wanted(std::max(kDesignClientWidth, content.width()),
                     std::max(kDesignClientHeight + menuHeight, content.height()));
  setFixedSize(wanted);
  // Centred already now, so that the loading window, centred over it, is centred on the screen.
  CenterOnScreen();
}

void TfrmMain::CenterOnScreen() {
  if (const QScreen* screen = this->screen()) {
    const QRect available = screen->availableGeometry();
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(available.center() - QPoint(frame.width() / 2, frame.height() / 2));
  }
}

// ---------------------------------------------------------------------------------------------
// Start and end

void TfrmMain::FormCreate() {
  RunAction([this] {
    // What StartUp read before a bad registry value is in force all the same; the Options
    // dialog would otherwise write defaults over the user's settings.
    auto applyProgramOptions = [this] {
      mnuUOX->setEnabled(state.uoxSupport);
      QFont font(QString::fromStdString(state.printerFont.name));
      font.setPointSize(state.printerFont.size > 0 ? state.printerFont.size : 10);
      font.setBold(state.printerFont.bold);
      font.setItalic(state.printerFont.italic);
      font.setUnderline(state.printerFont.underline);
      printFont = font;
    };
    try {
      StartUp(state);
    } catch (...) {
      applyProgramOptions();
      // The game directory is known even when a registry value was unreadable.
      tabSys->PushSystemPage();
      throw;
    }
    applyProgramOptions();
    pageData->setCurrentIndex(0);
    if (!state.currentSetProblem.empty())
      ui::ShowWarning(QString::fromStdString(state.currentSetProblem));
    MakeFirstRunCopies(state);
  });

  qApp->installEventFilter(this);
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (now && now != menuMain && now->window() == this)
      lastControl = now;
    AppHint();
  });
  connect(TKVXHintNotifier::instance(), &TKVXHintNotifier::hintChanged, this,
          [this] { AppHint(); });
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState appState) {
            if (appState == Qt::ApplicationActive)
              AppActivate();
          });
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous() || shown)
    return;
  shown = true;
  CenterOnScreen();
  RunAction([this] { FormShow(); });
}

void TfrmMain::FormShow() {
  // The window is ready before a load error is shown: the Loading window gone and the focus on
  // the first field, not on Save, where the next Enter would write what could not be read.
  auto finish = [this] {
    if (loadingWindow) {
      loadingWindow->close();
      delete loadingWindow.data();
    }
    pageDataChange();
    FocusFirstControl();
    firstShowLoaded = true;
    // On the ready window, and before a load error (RunAction shows that once this returns).
    const std::string unfinished = UnfinishedSaveText(state);
    if (!unfinished.empty())
      ui::ShowWarning(QString::fromStdString(unfinished));
  };
  try {
    LoadPages();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TfrmMain::FocusFirstControl() {
  QWidget* page = pageData->currentWidget();
  for (QWidget* widget = page->nextInFocusChain(); widget != page;
       widget = widget->nextInFocusChain()) {
    if (page->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) &&
        widget->isEnabled() && widget->isVisibleTo(page)) {
      widget->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  bool canClose = true;
  if (!RunAction([&] { FormCloseQuery(canClose); }))
    canClose = false;
  if (canClose)
    event->accept();
  else
    event->ignore();
}

void TfrmMain::FormCloseQuery(bool& CanClose) {
  CanClose = ui::Confirm(QStringLiteral("Are you sure you want to exit?"));
}

void TfrmMain::btnExitClick() {
  close();
}

// ---------------------------------------------------------------------------------------------
// The state and the pages

void TfrmMain::LoadPages() {
  // Fields that the files do not mention keep what they show, so the state starts from them.
  PullPages();
  try {
    // Before the read, so that a change made while it runs is asked about at the save, not missed.
    RememberSetFiles(state);
    LoadCurrentSet(state, tabMacro->SortColumn());
  } catch (...) {
    // What was read before the error is shown all the same.
    tabSys->PushSystemPage();
    tabJournal->PushJournalPage();
    tabServer->PushServerPage();
    tabMacro->ShowMacroGrid();
    throw;
  }
  tabSys->PushSystemPage();
  tabJournal->PushJournalPage();
  tabServer->PushServerPage();
  tabMacro->ShowMacroGrid();
}

void TfrmMain::PullPages() {
  tabSys->PullSystemPage();
  tabJournal->PullJournalPage();
  tabServer->PullServerPage();
}

void TfrmMain::pageDataChanging(bool& AllowChange) {
  // Asked before the tab moves, so that a refusal leaves the tab on the page still shown.
  if (pageData->currentWidget() == tabMacro)
    AllowChange = tabMacro->StoreCheckedOutMacro();
}

void TfrmMain::pageDataChange() {
  QWidget* page = pageData->currentWidget();
  if (page == tabJournal)
    tabJournal->cboxJrnlChange();
  else
    btnClear->hide();
  btnFind->setVisible(page == tabJournal);
  btnPrint->setVisible(page == tabMacro || page == tabJournal);
  btnAdd->setVisible(page == tabMacro);
  btnDelete->setVisible(page == tabMacro);
  tabJournal->UpdateFindCaption();
}

bool TfrmMain::CheckFieldsBeforeSave() {
  // Enter saves from any field, so a field that is still being edited is checked here too; the
  // message names it and the user is taken to it.
  auto showPage = [this](QWidget* page) {
    pageData->setCurrentWidget(page);
    pageDataChange();
  };
  if (!tabSys->CacheSizeIsWhole()) {
    showPage(tabSys);
    tabSys->FocusCacheSize();
    ui::ShowError(QStringLiteral("Enter the Cache Size (in MB) as a whole number of megabytes."));
    return false;
  }
  if (!tabJournal->JournalNameIsGameText()) {
    tabJournal->AcceptJournalName(); // says why and brings the previous name back
    showPage(tabJournal);
    tabJournal->FocusJournalName();
    return false;
  }
  return true;
}

void TfrmMain::btnSaveClick() {
  if (!tabMacro->StoreCheckedOutMacro() || !CheckFieldsBeforeSave() || !ConfirmSaveGuards())
    return;
  PullPages();
  SaveReport report;
  bool complete = false;
  try {
    complete = SaveCurrentSet(state, &report);
    // What this window wrote is no change by another program.
    RememberSetFiles(state);
  } catch (...) {
    tabSys->PushSystemPage();
    throw;
  }
  // The options were read back after writing: the cache size shows as the file now holds it.
  tabSys->PushSystemPage();
  tabJournal->PushJournalPage();
  pageDataChange();
  if (complete) {
    ui::ShowInformation(ui::FromUtf8(kSaveSucceededText));
  } else if (!report.notInstalled.empty()) {
    QString text = ui::FromUtf8(kSaveFailedText);
    if (!report.installError.empty())
      text += QLatin1Char('\n') + QString::fromStdString(report.notInstalled.front()) +
              QStringLiteral(": ") + QString::fromStdString(report.installError);
    ui::ShowError(text);
  } else {
    QString text = QStringLiteral(
        "Ultima Online has been configured off-line, except for these files, which could not be "
        "read when the configuration was loaded and were left as they are:");
    for (const std::string& path : report.notSaved)
      text += QLatin1Char('\n') + QString::fromStdString(path);
    ui::ShowWarning(text);
  }
}

// ---------------------------------------------------------------------------------------------
// Menu

void TfrmMain::ViewPatchlog1Click() {
  ui::TfrmLog::ShowPatchLog(this, state.gameDir, state.programDir);
}

void TfrmMain::Notes1Click() {
  ui::TfrmLog::ShowNotes(this, state.gameDir, state.programDir);
}

void TfrmMain::About1Click() {
  ui::TfrmAbout about(this);
  ui::ExecModal(about);
}

void TfrmMain::Options1Click() {
  ui::TfrmConfig config(printFont, mnuUOX, this);
  ui::ExecModal(config);
}

void TfrmMain::mnuUOXClick() {
  if (!tabMacro->StoreCheckedOutMacro())
    return;
  {
    ui::TfrmUOX sets(state, this);
    ui::ExecModal(sets);
  }
  // Whatever happened in the dialog, the pages show the current set as stored.
  LoadPages();
  pageDataChange();
}

// ---------------------------------------------------------------------------------------------
// Application-wide handlers

TKVXButton* TfrmMain::MnemonicButton(const QKeyEvent* event) const {
  if (event->modifiers() != Qt::AltModifier || QApplication::activeModalWidget() ||
      QApplication::activeWindow() != this)
    return nullptr;
  const QKeySequence pressed(event->modifiers() | event->key());
  for (TKVXButton* button : {btnAdd, btnDelete, btnFind, btnPrint, btnClear, btnSave, btnExit}) {
    if (button->isVisible() && button->isEnabled() &&
        QKeySequence::mnemonic(button->text()) == pressed)
      return button;
  }
  return nullptr;
}

bool TfrmMain::FirstKeyPass(const QKeyEvent* key, QWidget* widget) {
  // A key the focused control leaves is offered to each of its parents in turn, the same event
  // each time. Only the address tells that, and a later key may well get the same address, so
  // the key is remembered only while its delivery can still go on.
  const bool again = key == keyInDelivery && key->type() == keyInDeliveryType && keyOfferedTo &&
                     keyOfferedTo->parentWidget() == widget;
  // A key goes no further than the window (a drop-down list's pop-up is one).
  keyInDelivery = widget->isWindow() ? nullptr : key;
  keyInDeliveryType = key->type();
  keyOfferedTo = widget;
  return !again;
}

void TfrmMain::LeaveMenuBar() {
  if (lastControl && lastControl->window() == this && lastControl->isVisible() &&
      lastControl->isEnabled())
    lastControl->setFocus(Qt::MenuBarFocusReason);
  else
    FocusFirstControl();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::ShortcutOverride:
    // Every key press, from the window system or a test, is announced by one: whatever key was
    // on its way has arrived.
    keyInDelivery = nullptr;
    // A button's Alt key wins over the menu title with the same letter ("&Find" and "&File",
    // "&Clear" and "&Configuration"), as it does on the native platform.
    if (watched->isWidgetType() && MnemonicButton(static_cast<QKeyEvent*>(event))) {
      event->accept();
      return true;
    }
    return QMainWindow::eventFilter(watched, event);
  case QEvent::KeyPress:
  case QEvent::KeyRelease:
    break;
  default:
    return QMainWindow::eventFilter(watched, event);
  }
  if (!watched->isWidgetType()) {
    // A key from the window system reaches its QWindow before any widget: a new delivery.
    keyInDelivery = nullptr;
    return false;
  }
  auto* key = static_cast<QKeyEvent*>(event);
  auto* widget = static_cast<QWidget*>(watched);
  if (!FirstKeyPass(key, widget))
    return false;

  AppMessage();
  if (event->type() != QEvent::KeyPress || widget->window() != this ||
      QApplication::activeModalWidget())
    return false;
  if (TKVXButton* button = MnemonicButton(key)) {
    // Clicked where the focus is, as the native platform does: the focus does not move.
    button->click();
    return true;
  }
  if (widget == menuMain && key->key() == Qt::Key_Escape &&
      (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
      !QApplication::activePopupWidget()) {
    // The menu bar keeps the focus after its menu closed, at times without knowing any more
    // where it came from, and would use up every Esc: Esc asks to exit all the same.
    LeaveMenuBar();
    if (btnExit->isVisible() && btnExit->isEnabled())
      btnExit->click();
    return true;
  }
  // The page keys never reach the focused control: a list box on the page left would change
  // unseen, and one on a page that may not be left would change instead of the page.
  bool used = false;
  RunAction([&] { used = FormKeyDown(key); });
  return used;
}

void TfrmMain::AppMessage() {
  // Also on the release: X switches a lock off when its key comes up.
  sbarHint->UpdateKeyPanels();
}

void TfrmMain::AppActivate() {
  sbarHint->UpdateKeyPanels();
}

void TfrmMain::AppHint() {
  RefreshHint();
}

void TfrmMain::RefreshHint() {
  const QWidget* focused = QApplication::focusWidget();
  // An open drop-down list is part of its combo box, which keeps its help line meanwhile.
  if (!focused || focused->window()->windowType() == Qt::Popup)
    return;
  const QString hint = ControlHint(focused);
  const QString longHint = GetLongHint(hint);
  const QString shortHint = GetShortHint(hint);
  const QString second = shortHint != longHint ? shortHint : QString();
  FitHintPanels(longHint, second);
  sbarHint->setPanelText(0, longHint);
  sbarHint->setPanelText(1, second);
}

void TfrmMain::FitHintPanels(const QString& first, const QString& second) {
  // The second panel keeps its designed width where both texts fit; otherwise the two panels
  // share their room so that neither text is cut (this platform's font may be wider).
  constexpr int kDesignWidth = 175;
  const QFontMetrics metrics(sbarHint->font());
  const auto need = [&metrics](const QString& text) {
    return text.isEmpty() ? 0 : metrics.horizontalAdvance(text) + 8;
  };
  const int pool = sbarHint->PanelWidth(0) + sbarHint->PanelWidth(1);
  int width = std::max(kDesignWidth, need(second));
  if (pool - width < need(first))
    width = std::max(need(second), pool - need(first));
  sbarHint->setPanelWidth(1, width);
  sbarHint->setPanelWidth(0, pool - width);
}

bool TfrmMain::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate)
    AppActivate();
  return QMainWindow::event(event);
}

bool TfrmMain::FormKeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_PageDown && event->key() != Qt::Key_PageUp)
    return false;
  if (IsMultiLineText(focusWidget()))
    return false;
  // Asks pageDataChanging first; the page control's change event runs pageDataChange.
  pageData->SelectNextPage(event->key() == Qt::Key_PageDown);
  return true;
}

} // namespace qv
