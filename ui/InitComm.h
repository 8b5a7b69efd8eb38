#pragma once

#include <QDialog>
#include <array>

#include "document/UserMessages.h"
#include "link/PortSystem.h"
#include "link/TKkmLink.h"
#include "register/Connect.h"

class QPushButton;
class QRadioButton;

// The port dialog: choose COM1 to COM4 and connect. Created once, hidden between
// showings; the chosen port stays chosen.
class TInit_Com : public QDialog, public TConnectView {
  Q_OBJECT

 public:
  // The connection is the main window's: a connect that succeeds sets it, every
  // attempt forgets the one before.
  TInit_Com(TKkmLink& link, TKkmConnection& connection, TUserMessages& messages, TPortSystem ports,
            QWidget* parent = nullptr);

  // The outcome of the last connect attempt of this showing.
  bool ConnectedFlag = false;

  // The device of the chosen port.
  std::string CheckedDevice() const;

  // TConnectView
  TUserMessages& Messages() override { return UserMessages; }

 public slots:
  void Button1Click();
  void Button3Click();

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void FormActivate();
  QPushButton* AddButton(const char* name, const char* caption, QRect bounds);

  TKkmLink& Link;
  TKkmConnection& Connection;
  TUserMessages& UserMessages;
  TPortSystem Ports;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  std::array<QRadioButton*, 4> RadioButtons{};
};
