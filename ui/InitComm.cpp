#include "ui/InitComm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "register/PortSearch.h"
#include "ui/ProgramSettings.h"
#include "ui/WindowFont.h"

namespace {

constexpr int ClientWidth = 340;
// The four buttons' 83, and below them any other port, the way of exchanging, the
// search and what it does.
constexpr int ClientHeight = 208;
constexpr int SearchPollMs = 50;
const char* const FindCaption = "Найти ККМ";
const char* const StopCaption = "Остановить поиск";
const QString ListSeparator = QStringLiteral(" — ");

// "COM7 — USB-SERIAL CH340", or the device alone where the system has no description.
QString ListEntry(const TSerialPortInfo& port) {
  const QString device = QString::fromStdString(port.Device);
  return port.Description.empty() ? device : device + ListSeparator + QString::fromStdString(port.Description);
}

QString JoinedDevices(const std::vector<std::string>& devices, const std::vector<TSearchState>& states,
                      TSearchState state) {
  QStringList names;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (states[i] == state) names << QString::fromStdString(devices[i]);
  }
  return names.join(QStringLiteral(", "));
}

struct TRadioPlace {
  const char* Name;
  QRect Bounds;
};

constexpr std::array<TRadioPlace, 4> RadioPlaces = {{
    {"RadioButton1", QRect(16, 16, 57, 17)},
    {"RadioButton2", QRect(96, 16, 57, 17)},
    {"RadioButton3", QRect(176, 16, 65, 17)},
    {"RadioButton4", QRect(256, 16, 57, 17)},
}};

}  // namespace

TInit_Com::TInit_Com(TKkmSession& session, TUserMessages& messages, TPortSystem ports, QWidget* parent)
    : QDialog(parent), Session(session), UserMessages(messages), Ports(std::move(ports)) {
  setObjectName(QStringLiteral("Init_Com"));
  setWindowTitle(QStringLiteral("Настройка последовательного интерфейса"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  // A title bar with no buttons; its whole title shows.
  setFixedSize(std::max(ClientWidth, TitleBarWidth(windowTitle(), 0)), ClientHeight);
  QFont font(WindowFontFamily());
  font.setPixelSize(11);
  setFont(font);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);

  Button1 = AddButton("Button1", "Установить интерфейс", QRect(56, 48, 129, 25));
  Button3 = AddButton("Button3", "Закрыть", QRect(192, 48, 81, 25));
  connect(Button1, &QPushButton::clicked, this, &TInit_Com::Button1Click);
  connect(Button3, &QPushButton::clicked, this, &TInit_Com::Button3Click);

  auto* group = new QButtonGroup(this);
  for (std::size_t i = 0; i < RadioPlaces.size(); ++i) {
    const int port = static_cast<int>(i) + 1;
    auto* radio = new QRadioButton(QStringLiteral("COM%1").arg(port), this);
    radio->setObjectName(QString::fromLatin1(RadioPlaces[i].Name));
    radio->setGeometry(RadioPlaces[i].Bounds);
    // Tells which system device the button opens.
    radio->setToolTip(QString::fromStdString(Ports.ButtonDevice(port)));
    group->addButton(radio, port);
    RadioButtons[i] = radio;
  }
  RadioButtons[0]->setChecked(true);

  group->addButton(RadioButton5 = new QRadioButton(QStringLiteral("Другой порт:"), this), 0);
  BuildOtherPort();

  setTabOrder(Button1, Button3);
  setTabOrder(Button3, RadioButtons[0]);
  for (std::size_t i = 1; i < RadioButtons.size(); ++i) setTabOrder(RadioButtons[i - 1], RadioButtons[i]);
  setTabOrder(RadioButtons.back(), RadioButton5);
  setTabOrder(RadioButton5, ComboBox1);
  setTabOrder(ComboBox1, CheckBox1);
  setTabOrder(CheckBox1, Button2);
}

TInit_Com::~TInit_Com() = default;

void TInit_Com::BuildOtherPort() {
  RadioButton5->setObjectName(QStringLiteral("RadioButton5"));
  RadioButton5->setGeometry(16, 92, 89, 17);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setGeometry(106, 90, 218, 21);
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  // Picking or typing a port is choosing it.
  connect(ComboBox1, &QComboBox::currentTextChanged, RadioButton5, [this] { RadioButton5->setChecked(true); });
  // An entry is read from its start, the device's name.
  connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { ComboBox1->lineEdit()->setCursorPosition(0); });
  BuildTransferWay();
  Button2 = AddButton("Button2", FindCaption, QRect(56, 142, 129, 25));
  connect(Button2, &QPushButton::clicked, this, &TInit_Com::Button2Click);
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(16, 170, 308, 17);
  // Receipt printers and customer displays on other ports get the address bytes too.
  auto* note = new QLabel(QStringLiteral("Поиск посылает адресные байты во все порты."), this);
  note->setObjectName(QStringLiteral("Label2"));
  note->setGeometry(16, 187, 308, 17);
  SearchTimer = new QTimer(this);
  SearchTimer->setInterval(SearchPollMs);
  connect(SearchTimer, &QTimer::timeout, this, &TInit_Com::PollSearch);
}

// Read and write a byte an exchange, as the register's first programs did, for a
// register or an adapter that does not take 16-byte frames; kept between runs.
void TInit_Com::BuildTransferWay() {
  CheckBox1 = new QCheckBox(QStringLiteral("Побайтный обмен"), this);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  // As wide as its text, so that a click beside it is not taken as one on it.
  CheckBox1->move(16, 118);
  CheckBox1->resize(CheckBox1->sizeHint().width(), 17);
  CheckBox1->setToolTip(
      QStringLiteral("Чтение и запись по одному байту за обмен: медленнее, как в прежних программах"));
  CheckBox1->setChecked(ProgramSettings().value(QString::fromLatin1(BytewiseKey), false).toBool());
  Session.SetTransferWay(CheckBox1->isChecked() ? TTransferWay::Bytewise : TTransferWay::Fast);
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool bytewise) {
    ProgramSettings().setValue(QString::fromLatin1(BytewiseKey), bytewise);
    Session.SetTransferWay(bytewise ? TTransferWay::Bytewise : TTransferWay::Fast);
  });
}

// Made anew at each showing: adapters come and go. What the user typed stays.
void TInit_Com::FillPortList() {
  const QString typed = ComboBox1->currentText();
  const QSignalBlocker quiet(ComboBox1);
  ComboBox1->clear();
  for (const TSerialPortInfo& port : Ports.List())
    ComboBox1->addItem(ListEntry(port), QString::fromStdString(port.Device));
  // The entry shown before stays shown; the first is shown where none was.
  ComboBox1->setCurrentIndex(typed.isEmpty() ? 0 : ComboBox1->findText(typed));
  if (ComboBox1->currentIndex() < 0) ComboBox1->setEditText(typed);
  ComboBox1->lineEdit()->setCursorPosition(0);
}

// The last port connected in an earlier run, where it still is; else COM1.
void TInit_Com::ChooseLastPort() {
  const std::string last = ProgramSettings().value(QString::fromLatin1(LastPortKey)).toString().toStdString();
  const bool listed = ComboBox1->findData(QString::fromStdString(last)) >= 0;
  bool button = false;
  for (int n = FirstPortNumber; n <= LastPortNumber; ++n) button = button || Ports.ButtonDevice(n) == last;
  if (!last.empty() && (button || listed)) ChooseDevice(last);
}

void TInit_Com::ChooseDevice(const std::string& device) {
  for (std::size_t i = 0; i < RadioButtons.size(); ++i) {
    if (Ports.ButtonDevice(static_cast<int>(i) + 1) == device) return RadioButtons[i]->setChecked(true);
  }
  const int index = ComboBox1->findData(QString::fromStdString(device));
  if (index >= 0) {
    ComboBox1->setCurrentIndex(index);
  } else {
    ComboBox1->setEditText(QString::fromStdString(device));
  }
  RadioButton5->setChecked(true);
}

QPushButton* TInit_Com::AddButton(const char* name, const char* caption, QRect bounds) {
  auto* button = new QPushButton(QString::fromUtf8(caption), this);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(bounds);
  // Enter presses the button that has the focus, as in the system's own dialogs.
  button->setAutoDefault(true);
  return button;
}

std::string TInit_Com::CheckedDevice() const {
  for (std::size_t i = 0; i < RadioButtons.size(); ++i) {
    if (RadioButtons[i]->isChecked()) return Ports.ButtonDevice(static_cast<int>(i) + 1);
  }
  const int index = ComboBox1->findText(ComboBox1->currentText());
  if (index >= 0) return ComboBox1->itemData(index).toString().toStdString();
  // A typed name, perhaps copied from an entry with its description.
  return ComboBox1->currentText().section(ListSeparator, 0, 0).trimmed().toStdString();
}

void TInit_Com::Button1Click() { Connected(Session.Connect(CheckedDevice(), *this)); }

void TInit_Com::Connected(bool connected) {
  ConnectedFlag = connected;
  if (!connected) return;
  ProgramSettings().setValue(QString::fromLatin1(LastPortKey), QString::fromStdString(Session.Connection().Device));
  accept();
}

void TInit_Com::Button2Click() {
  if (Search) {
    SearchStopped = true;
    Search->Stop();
    return;
  }
  StartSearch();
}

// A search is a connect attempt: the register connected before is forgotten, and its
// port closed so that the search can open it.
void TInit_Com::StartSearch() {
  ConnectedFlag = false;
  Session.Forget();
  const TPortOpener opener = Ports.Open;
  const std::string chosen = RadioButton5->isChecked() ? CheckedDevice() : "";
  Search = std::make_unique<TPortSearch>(SearchDevices(Ports, chosen), [opener](const std::string&) {
    return std::make_unique<TKkmLink>(SteadyClock(), opener);
  });
  SearchStopped = false;
  SetSearching(true);
  SearchTimer->start();
  PollSearch();
}

void TInit_Com::PollSearch() {
  if (!Search) return;
  const std::vector<TSearchState> states = Search->States();
  const QString searching = JoinedDevices(Search->Devices(), states, TSearchState::Searching);
  const QString unavailable = JoinedDevices(Search->Devices(), states, TSearchState::Unavailable);
  QString text = searching.isEmpty() ? QString() : QStringLiteral("Поиск ККМ: %1…").arg(searching);
  if (!unavailable.isEmpty()) text += QStringLiteral(" Не открываются: %1").arg(unavailable);
  Label1->setText(text.trimmed());
  if (Search->Done()) EndSearch();
}

void TInit_Com::EndSearch() {
  SearchTimer->stop();
  std::optional<TFoundKkm> found = Search->TakeFound();
  Search.reset();  // the other probes have been told to stop and end within 100 ms
  SetSearching(false);
  if (SearchStopped) return;
  if (!found) {
    UserMessages.Show(TMessageKind::Information, NoRegisterFound);
    return;
  }
  ChooseDevice(found->Device);
  Connected(Session.ConnectFound(std::move(*found), *this));
}

void TInit_Com::SetSearching(bool searching) {
  for (QWidget* control : std::initializer_list<QWidget*>{Button1, Button3, RadioButton5, ComboBox1})
    control->setEnabled(!searching);
  for (QRadioButton* radio : RadioButtons) radio->setEnabled(!searching);
  Button2->setText(QString::fromUtf8(searching ? StopCaption : FindCaption));
}

// Escape does nothing while the search runs; "Остановить поиск" ends it.
void TInit_Com::reject() {
  if (!Search) QDialog::reject();
}

void TInit_Com::Button3Click() { reject(); }

void TInit_Com::FormActivate() {
  ConnectedFlag = false;
  Button3->setEnabled(true);
}

void TInit_Com::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FillPortList();
  if (!std::exchange(ShownBefore, true)) ChooseLastPort();
  if (screen() != nullptr) move(screen()->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  FormActivate();
}

bool TInit_Com::event(QEvent* event) {
  // An activation that arrives after the dialog closed must not undo its outcome.
  if (event->type() == QEvent::WindowActivate && isVisible()) FormActivate();
  return QDialog::event(event);
}
