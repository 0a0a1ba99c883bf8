#pragma once

#include <QString>
#include <QWidget>
#include <array>

namespace qv {

struct MainState;
class TKVXEdit;
class TKVXLabel;
class TKVXMemo;

// The Server page (tab "tabServer"): the four login servers of LOGIN.CFG. A change made to a
// server name or a port is carried over to every field of the same kind that held the same text.
//
// The shell asks it to fill itself from MainState (PushServerPage) after core has read the login
// file, and to store its fields back (PullServerPage) before core writes it.
class ServerPage : public QWidget {
  Q_OBJECT

public:
  explicit ServerPage(MainState& state, QWidget* parent = nullptr);

  void PushServerPage();
  void PullServerPage();

  // Focus enter / leave of edServ1..4 and edPort1..4; i is the field's index (0 is #1).
  void edServ1Enter(int i);
  void edServ1Exit(int i);
  void edPort1Enter(int i);
  void edPort1Exit(int i);

private:
  MainState& state;

  TKVXMemo* memoNote = nullptr;
  // Index 0 is #1.
  std::array<TKVXLabel*, 4> lblServ{};
  std::array<TKVXEdit*, 4> edServ{};
  std::array<TKVXLabel*, 4> lblPort{};
  std::array<TKVXEdit*, 4> edPort{};
  // What the field held when the focus entered it.
  QString servEnter;
  QString portEnter;
};

} // namespace qv
