// The Server page: the four login servers of LOGIN.CFG. A change made to a server name or a port
// is carried over to every field of the same kind that held the same text.

#include <QApplication>
#include <QGridLayout>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include "controls/KVXStCtl.h"
#include "core/MainState.h"
#include "ui/Dialogs.h"
#include "ui/ServerPage.h"

namespace qv {

using ui::FromGameText;
using ui::Guarded;
using ui::ToGameText;

ServerPage::ServerPage(MainState& mainState, QWidget* parent) : QWidget(parent), state(mainState) {
  setObjectName(QStringLiteral("tabServer"));
  QWidget* tab = this;
  auto* page = new QVBoxLayout(tab);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(6);

  memoNote = new TKVXMemo(tab);
  memoNote->setObjectName(QStringLiteral("memoNote"));
  memoNote->setKVXEnabled(false);
  memoNote->setFrameShape(QFrame::NoFrame);
  memoNote->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memoNote->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The second sentence is held together (no-break spaces): where the line does not fit the
  // page, it wraps between the sentences rather than leave "caution." alone on a third line.
  memoNote->setLines({QStringLiteral("Login servers for Ultima Online"),
                      QStringLiteral("Editing these entries could prevent you from logging into "
                                     "UO.  Please\u00a0proceed\u00a0with\u00a0caution.")});
  QTextOption centred = memoNote->document()->defaultTextOption();
  centred.setAlignment(Qt::AlignHCenter);
  memoNote->document()->setDefaultTextOption(centred);
  const QFontMetrics metrics(memoNote->font());
  // Room for the two lines, and for a third should the second wrap.
  memoNote->setFixedHeight(metrics.lineSpacing() * 3 + 8);
  page->addWidget(memoNote);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(8);
  for (int i = 0; i < 4; ++i) {
    const QString number = QString::number(i + 1);
    edServ[i] = new TKVXEdit(tab);
    edServ[i]->setObjectName(QStringLiteral("edServ") + number);
    lblServ[i] = new TKVXLabel(QStringLiteral("Login Server #") + number, tab);
    lblServ[i]->setBuddy(edServ[i]);
    edPort[i] = new TKVXEdit(tab);
    edPort[i]->setObjectName(QStringLiteral("edPort") + number);
    edPort[i]->setFixedWidth(70);
    lblPort[i] = new TKVXLabel(QStringLiteral("Port"), tab);
    lblPort[i]->setBuddy(edPort[i]);
    grid->addWidget(lblServ[i], i, 0);
    grid->addWidget(edServ[i], i, 1);
    grid->addWidget(lblPort[i], i, 2);
    grid->addWidget(edPort[i], i, 3);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(1, 220);
  auto* row = new QHBoxLayout;
  row->addSpacing(20);
  row->addLayout(grid, 1);
  row->addSpacing(20);
  page->addLayout(row);
  page->addStretch(1);

  for (int i = 0; i < 4; ++i) {
    QWidget::setTabOrder(edServ[i], edPort[i]);
    if (i < 3)
      QWidget::setTabOrder(edPort[i], edServ[i + 1]);
    connect(edServ[i], &TKVXEdit::entered, this, Guarded([this, i] { edServ1Enter(i); }));
    connect(edServ[i], &TKVXEdit::exited, this, Guarded([this, i] { edServ1Exit(i); }));
    connect(edPort[i], &TKVXEdit::entered, this, Guarded([this, i] { edPort1Enter(i); }));
    connect(edPort[i], &TKVXEdit::exited, this, Guarded([this, i] { edPort1Exit(i); }));
  }
}

void ServerPage::edServ1Enter(int i) {
  servEnter = edServ[static_cast<std::size_t>(i)]->Text();
}

void ServerPage::edServ1Exit(int i) {
  const QString text = edServ[static_cast<std::size_t>(i)]->Text();
  for (TKVXEdit* field : edServ) {
    if (field->Text() == servEnter)
      field->setText(text);
  }
}

void ServerPage::edPort1Enter(int i) {
  portEnter = edPort[static_cast<std::size_t>(i)]->Text();
}

void ServerPage::edPort1Exit(int i) {
  const QString text = edPort[static_cast<std::size_t>(i)]->Text();
  for (TKVXEdit* field : edPort) {
    if (field->Text() == portEnter)
      field->setText(text);
  }
}

void ServerPage::PushServerPage() {
  for (std::size_t i = 0; i < 4; ++i) {
    edServ[i]->setText(FromGameText(state.servers[i]));
    edPort[i]->setText(FromGameText(state.ports[i]));
  }
}

void ServerPage::PullServerPage() {
  for (std::size_t i = 0; i < 4; ++i) {
    state.servers[i] = ToGameText(edServ[i]->Text());
    state.ports[i] = ToGameText(edPort[i]->Text());
  }
}

} // namespace qv
