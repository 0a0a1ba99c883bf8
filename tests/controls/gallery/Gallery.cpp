// A window with every control of the library in the states worth looking at: fields with and
// without the find action, both markers, a masked field, the coded combo box, check boxes, a
// track bar, a memo, the button panel and the status bar. Not a test; run it by hand.

#include "controls/KVXAdCtl.h"
#include "controls/KVXStCtl.h"
#include "controls/KvxWin95.h"
#include "platform/Keyboard.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QVBoxLayout>

using namespace qv;

namespace {

// Caps Lock and Num Lock on, whatever the display's keyboard says.
class ShownKeyboard : public platform::KeyboardState {
public:
  platform::KeyToggles Toggles() override { return {true, true, false}; }
};

TKVXEdit* Field(QWidget* page, int x, int y, const QString& caption, const QString& hint) {
  auto* label = new TKVXLabel(caption, page);
  label->setGeometry(x, y, 125, 21);
  auto* field = new TKVXEdit(page);
  field->move(x + 128, y);
  field->setHint(hint);
  return field;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ShownKeyboard keyboard;
  platform::SetKeyboardState(&keyboard);

  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Quorvel - control gallery"));
  auto* menu = new TKVXMainMenu;
  menu->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
  menu->addMenu(QStringLiteral("&Configuration"));
  menu->addMenu(QStringLiteral("&Help"));
  window.setMenuBar(menu);

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* pnlData = new TKVXPanel;
  pnlData->setBevelOuter(bvNone);
  pnlData->setBorderWidth(5);
  auto* dataLayout = new QVBoxLayout(pnlData);
  dataLayout->setContentsMargins(0, 0, 0, 0);
  auto* pageData = new TKVXPageControl;
  dataLayout->addWidget(pageData);
  layout->addWidget(pnlData, 1);

  auto* tabSys = new QWidget;
  pageData->addTab(tabSys, QStringLiteral("System Config"));
  pageData->addTab(new QWidget, QStringLiteral("Macros"));
  pageData->addTab(new QWidget, QStringLiteral("Journal"));
  pageData->addTab(new QWidget, QStringLiteral("Server"));

  TKVXEdit* edUOIns = Field(tabSys, 8, 8, QStringLiteral("UO Install Directory"),
                            QStringLiteral("This is where UO was installed"));
  edUOIns->setText(QStringLiteral("C:\\Program Files\\Ultima Online"));
  edUOIns->setKVXEnabled(false);
  TKVXEdit* edJrnl = Field(tabSys, 8, 34, QStringLiteral("Journal File"),
                           QStringLiteral("File for saving your journal entries"));
  edJrnl->setFind(true);
  edJrnl->setText(QStringLiteral("C:\\UO\\Journal.Log"));
  TKVXEdit* edServ = Field(tabSys, 8, 60, QStringLiteral("Login Server #1"), QString());
  edServ->setRequired(rtRequired);
  TKVXEdit* edPort = Field(tabSys, 8, 86, QStringLiteral("Port"), QString());
  edPort->setRequired(rtWarning);
  TKVXEdit* edCache = Field(tabSys, 8, 112, QStringLiteral("Cache Size (in MB)"), QString());
  edCache->setEditMask(QStringLiteral("999;0; "));
  edCache->setText(QStringLiteral("16"));

  auto* lblPage = new TKVXLabel(QStringLiteral("Page Flipping"), tabSys);
  lblPage->setGeometry(8, 138, 125, 21);
  auto* cboxPage = new TKVXComboBox(tabSys);
  cboxPage->addItems({"Y - Yes", "N - No", "G - GDI"});
  cboxPage->setGeometry(136, 138, 100, 21);
  cboxPage->setValue(QStringLiteral("G"));
  cboxPage->setHint(QStringLiteral("UO video card display mode"));
  auto* cboxJrnl = new TKVXComboBox(tabSys);
  cboxJrnl->setBoxType(btYesNo);
  cboxJrnl->setValue(QStringLiteral("N"));
  cboxJrnl->setGeometry(243, 138, 70, 21);
  cboxJrnl->setKVXEnabled(false);

  auto* gboxMisc = new TKVXGroupBox(QStringLiteral("Miscellaneous Options"), tabSys);
  gboxMisc->setGeometry(328, 4, 170, 100);
  const char* checks[] = {"Notoriety Query", "Obscenity Filter", "Transparency Circle"};
  for (int i = 0; i < 3; ++i) {
    auto* check = new TKVXCheckBox(QString::fromLatin1(checks[i]), gboxMisc);
    check->setGeometry(8, 20 + 24 * i, 154, 21);
    check->setChecked(i != 1);
  }
  auto* slideSound = new TKVXTrackBar(tabSys);
  slideSound->setRange(1, 255);
  slideSound->setTickInterval(5);
  slideSound->setValue(180);
  slideSound->setGeometry(328, 110, 170, 30);
  slideSound->setHint(QStringLiteral("Move the slidebar to adjust the volume"));

  auto* memo = new TKVXMemo(tabSys);
  memo->setGeometry(8, 168, 490, 44);
  memo->setLines({QStringLiteral("A not-enabled memo: read-only, button-face colour,"),
                  QStringLiteral("its text can still be selected and copied.")});
  memo->setKVXEnabled(false);

  auto* pnlBtn = new TKVXPanel;
  pnlBtn->setFixedHeight(32);
  layout->addWidget(pnlBtn);
  const char* captions[] = {"&Add", "&Delete", "&Find", "&Print", "&Clear", "&Save", "E&xit"};
  QList<TKVXButton*> buttons;
  for (const char* caption : captions) {
    auto* button = new TKVXButton(QString::fromLatin1(caption), pnlBtn);
    button->setGeometry(0, 4, 75, 25);
    buttons.append(button);
  }
  buttons[2]->hide();
  buttons[4]->hide();
  buttons[5]->setKVXDefault(true);
  buttons[5]->setHint(QStringLiteral("Save all the changes to Ulitma Online"));
  buttons[6]->setCancel(true);
  QObject::connect(buttons[6], &QPushButton::clicked, &window, &QWidget::close);
  pnlBtn->setButtonPanel(true);

  auto* sbarHint = new TKVXStatusBar;
  QVector<TStatusPanel> panels(5);
  const int widths[] = {224, 175, 38, 38, 38};
  for (int i = 0; i < 5; ++i)
    panels[i].Width = widths[i];
  sbarHint->setPanels(panels);
  window.setStatusBar(sbarHint);
  window.setCentralWidget(central);

  // The main window's hint refresh: long part in panel 0, a different short part in panel 1.
  auto refresh = [sbarHint] {
    const QString hint = ControlHint(QApplication::focusWidget());
    const QString longHint = GetLongHint(hint);
    const QString shortHint = GetShortHint(hint);
    sbarHint->setPanelText(0, longHint);
    sbarHint->setPanelText(1, shortHint != longHint ? shortHint : QString());
  };
  QObject::connect(&app, &QApplication::focusChanged, refresh);
  QObject::connect(TKVXHintNotifier::instance(), &TKVXHintNotifier::hintChanged, refresh);

  window.resize(521, 420);
  window.show();
  window.activateWindow();
  QApplication::setActiveWindow(&window);

  // Visit the required fields so that their markers show, then rest on the find field.
  QTimer::singleShot(200, [=] {
    edServ->setFocus(Qt::TabFocusReason);
    edPort->setFocus(Qt::TabFocusReason);
    edCache->setFocus(Qt::TabFocusReason);
    edJrnl->setFocus(Qt::TabFocusReason);
  });
  return app.exec();
}
