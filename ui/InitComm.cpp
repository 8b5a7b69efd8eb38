#include "ui/InitComm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <utility>

#include "ui/WindowFont.h"

namespace {

constexpr int ClientWidth = 340;
constexpr int ClientHeight = 83;

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

TInit_Com::TInit_Com(TKkmLink& link, TKkmConnection& connection, TUserMessages& messages, TPortSystem ports,
                     QWidget* parent)
    : QDialog(parent), Link(link), Connection(connection), UserMessages(messages), Ports(std::move(ports)) {
  setObjectName(QStringLiteral("Init_Com"));
  setWindowTitle(QStringLiteral("Настройка последовательного интерфейса"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(ClientWidth, ClientHeight);
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

  setTabOrder(Button1, Button3);
  setTabOrder(Button3, RadioButtons[0]);
  for (std::size_t i = 1; i < RadioButtons.size(); ++i) setTabOrder(RadioButtons[i - 1], RadioButtons[i]);
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
  return Ports.ButtonDevice(FirstPortNumber);
}

void TInit_Com::Button1Click() {
  Connection = {};
  const std::optional<TKkmConnection> found = Connect(Link, CheckedDevice(), *this);
  ConnectedFlag = found.has_value();
  if (!found) return;
  Connection = *found;
  accept();
}

void TInit_Com::Button3Click() { reject(); }

void TInit_Com::FormActivate() {
  ConnectedFlag = false;
  Button3->setEnabled(true);
}

void TInit_Com::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (screen() != nullptr) move(screen()->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  FormActivate();
}

bool TInit_Com::event(QEvent* event) {
  // An activation that arrives after the dialog closed must not undo its outcome.
  if (event->type() == QEvent::WindowActivate && isVisible()) FormActivate();
  return QDialog::event(event);
}
