#pragma once

#include <QDialog>
#include <array>

#include "document/UserMessages.h"
#include "link/KkmConnect.h"
#include "link/TKkmLink.h"
#include "register/Firmware.h"

class QPushButton;
class QRadioButton;

// The port dialog: choose COM1 to COM4 and connect. Created once, hidden between
// showings; the chosen port stays chosen.
class TInit_Com : public QDialog, public TConnectView {
  Q_OBJECT

 public:
  TInit_Com(TKkmLink& link, TKkmConnection& connection, TUserMessages& messages, QWidget* parent = nullptr);

  // The outcome of the last connect attempt of this showing.
  bool ConnectedFlag = false;

  // The port of the checked radio button, 1 to 4.
  int CheckedPort() const;

  // TConnectView
  TUserMessages& Messages() override { return UserMessages; }
  bool SelectRamMap(std::int32_t firmwareVersion) override;
  void ForgetRamMap() override;
  void CloseDialog() override { accept(); }

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
  TKkmConnection& Connection;  // set by a connect that succeeds, forgotten by every attempt
  TUserMessages& UserMessages;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  std::array<QRadioButton*, 4> RadioButtons{};
};
