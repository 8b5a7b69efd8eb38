#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "document/UserMessages.h"
#include "link/PortSystem.h"
#include "link/TKkmLink.h"
#include "register/KkmSession.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class TPortSearch;

// The port dialog: choose COM1 to COM4 or any other port of the system and connect,
// or let it search every port for the register. Created once, hidden between
// showings; the chosen port stays chosen, and the last port connected is chosen
// again in the next run.
class TInit_Com : public QDialog, public TConnectView {
  Q_OBJECT

 public:
  // The session is the main window's: a connect that succeeds connects it, every
  // attempt forgets the register before.
  TInit_Com(TKkmSession& session, TUserMessages& messages, TPortSystem ports, QWidget* parent = nullptr);
  ~TInit_Com() override;

  // The outcome of the last connect attempt of this showing.
  bool ConnectedFlag = false;

  // The device of the chosen port.
  std::string CheckedDevice() const;

  // TConnectView
  TUserMessages& Messages() override { return UserMessages; }

 public slots:
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void FormActivate();
  QPushButton* AddButton(const char* name, const char* caption, QRect bounds);
  void BuildOtherPort();
  void BuildTransferWay();
  void FillPortList();
  void ChooseLastPort();
  void ChooseDevice(const std::string& device);
  void Connected(bool connected);
  void StartSearch();
  void PollSearch();
  void EndSearch();
  void SetSearching(bool searching);

  TKkmSession& Session;
  TUserMessages& UserMessages;
  TPortSystem Ports;
  QPushButton* Button1 = nullptr;
  QPushButton* Button3 = nullptr;
  std::array<QRadioButton*, 4> RadioButtons{};
  QRadioButton* RadioButton5 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;  // "Побайтный обмен"
  QPushButton* Button2 = nullptr;
  QLabel* Label1 = nullptr;
  std::unique_ptr<TPortSearch> Search;
  QTimer* SearchTimer = nullptr;
  bool SearchStopped = false;
  bool ShownBefore = false;
};
