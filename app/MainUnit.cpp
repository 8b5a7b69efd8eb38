#include "app/MainUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QShortcut>
#include <QSysInfo>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#ifdef ORBI7_PRINTING
#include <QPrinter>
#endif
#include <algorithm>

#include "app/Pictures.h"
#include "link/KkmConnect.h"
#include "link/TraceRing.h"
#include "register/Connect.h"
#include "register/DocumentOrigin.h"
#include "register/PortSearch.h"
#include "register/TransferCommands.h"
#include "settingsfile/Diagnostics.h"
#include "settingsfile/SettingsFile.h"
#include "ui/ApplicationTitle.h"
#include "ui/ComparisonDialog.h"
#include "ui/GroupsPage.h"
#include "ui/InitComm.h"
#include "ui/JournalDialog.h"
#include "ui/ProgramSettings.h"
#include "ui/RatesPage.h"
#include "ui/SheetPdf.h"
#include "ui/TaxesPage.h"
#include "ui/WindowFont.h"

namespace {

// The window's described size; it opens so unless its title needs more width, and may
// grow from there, the pages taking what it grows by.
constexpr int ClientWidth = 520;
constexpr int ClientHeight = 364;
constexpr int ToolBarHeight = 42;
constexpr int PageHeight = 276;
constexpr int StatusTop = 317;
constexpr int StatusHeight = 22;
constexpr int BandHeight = 24;
constexpr int CaptionX = 157;
constexpr int ProgressX = 392;
constexpr int ButtonWidth = 39;
constexpr int ButtonHeight = 38;
constexpr int DividerWidth = 8;
constexpr int ImageSize = 32;
constexpr int ImageCount = 11;
// Read, write and compare: on only while connected.
constexpr std::size_t RegisterButtons[] = {3, 4, 6};

const char* const CloseQuestion = "Закрыть приложение?";

QFont WindowFont() {
  // Where the window's own fonts are missing, take the narrow metric-compatible
  // ones, so that the captions fit the widths they were laid out for.
  QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
  QFont font(WindowFontFamily());
  font.setPixelSize(11);
  return font;
}

}  // namespace

TMainForm::TMainForm(TUserMessages& messages, TPortSystem ports, QWidget* parent)
    : QWidget(parent), UserMessages(messages), KkmSession(SteadyClock(), ports.Open) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromUtf8(ApplicationTitle));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setMinimumSize(ClientWidth, ClientHeight);
  resize(std::max(ClientWidth, TitleBarWidth(windowTitle(), 3)), ClientHeight);
  setFont(WindowFont());
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  for (int i = 0; i < ImageCount; ++i) ImageList1.push_back(ProgramPicture(i));
  BuildToolBar();
  BuildPages();
  BuildStatusLine();
  BuildBottomBand();
  RestoreSize();
  LayOut();
  KkmSettings.Watch(this);
  // The window paints while the link waits; user input stays with the disabled
  // toolbar and pages, or the modal port dialog.
  KkmSession.Link().SetPump([] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  KkmSession.SetWatcher([this] { ShowSession(); });
  KkmSession.SetRegisterWait(this);
  Ports = ports;
  FormCreate();
  // The port dialog comes after the window, hidden until the port command shows it.
  Init_Com = new TInit_Com(KkmSession, Recorder, std::move(ports), this);
  KeepJournalIn(DefaultJournalFolder(false));
}

void TMainForm::KeepJournalIn(const std::filesystem::path& folder) {
  WorkJournal = std::make_unique<TJournal>(folder, LocalTimeNow);
  WorkJournal->RemoveOlderThan(JournalKeptDays);
}

void TMainForm::AddToJournal(const char* command, bool done, const std::string& file, bool withRegister) {
  TJournalEntry entry = Recorder.Entry(command, withRegister ? Connection() : TKkmConnection(), done);
  if (withRegister && entry.Port.empty()) entry.Port = Init_Com->CheckedDevice();
  if (!entry.Port.empty()) entry.Port = ListedPortText(Ports.List(), entry.Port);
  entry.File = file;
  WorkJournal->Add(entry);
  if (WorkJournal->FirstFailure()) {
    PanelStatus->setText(PanelStatus->text() + QStringLiteral(" Журнал работы не записан."));
  }
}

TMainForm::~TMainForm() {
  FormDestroy();
  // The pages refer to the document, which as a member goes before the child widgets.
  KkmSettings.Watch(nullptr);
  // Nothing may ask the pages while they are being destroyed.
  PageControl1->findChild<QTabBar*>()->removeEventFilter(this);
  PageControl1->removeEventFilter(this);
  delete PageControl1;
}

void TMainForm::FormCreate() {
  ButtonDisabled();
  GroupsPage->FillGrid();
  RatesPage->FillGrids();
}

void TMainForm::FormDestroy() {
  KkmSession.Link().ClosePort();
  ProgramSettings().setValue(QString::fromLatin1(WindowSizeKey), saveGeometry());
}

// The size and place of the last run, maximised or not; centred at the first run.
void TMainForm::RestoreSize() {
  Placed = restoreGeometry(ProgramSettings().value(QString::fromLatin1(WindowSizeKey)).toByteArray());
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

// The places of the window's parts, the one place that sets them: the described layout,
// grown by what the window has grown by. The pages take all of it, the status line and
// the band stay at the bottom.
void TMainForm::LayOut() {
  const int wider = width() - ClientWidth;
  const int taller = height() - ClientHeight;
  ToolBar1->resize(width(), ToolBarHeight);
  PageControl1->setGeometry(0, ToolBarHeight, width(), PageHeight + taller);
  GroupsPage->Grow(wider, taller);
  TaxesPage->Grow(wider, taller);
  RatesPage->Grow(wider, taller);
  PanelStatus->setGeometry(0, StatusTop + taller, width(), StatusHeight);
  PlaceConnection();
  Panel1->setGeometry(0, height() - BandHeight, width(), BandHeight);
  for (int layer = 0; layer < 2; ++layer) BandCaption[layer]->move(CaptionX + wider / 2 + layer, 3 + layer);
  TransferProgress->move(ProgressX + wider, 5);
}

QToolButton* TMainForm::AddToolButton(const char* name, int x, int image, const char* hint,
                                      void (TMainForm::*command)(), QKeySequence key) {
  auto* button = new QToolButton(ToolBar1);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(x, 2, ButtonWidth, ButtonHeight);
  button->setIcon(ImageList1.at(image));
  button->setIconSize(QSize(ImageSize, ImageSize));
  button->setToolTip(QString::fromUtf8(hint));
  button->setAutoRaise(true);
  // Toolbar buttons take no focus, so using them does not run a grid's leave rule.
  button->setFocusPolicy(Qt::NoFocus);
  connect(button, &QToolButton::clicked, this, command);
  // The key clicks the button, and so does nothing while it or the toolbar is off.
  connect(new QShortcut(key, this), &QShortcut::activated, button, &QToolButton::click);
  return button;
}

void TMainForm::AddDivider(const char* name, int x) {
  auto* divider = new QFrame(ToolBar1);
  divider->setObjectName(QString::fromLatin1(name));
  divider->setFrameShape(QFrame::VLine);
  divider->setFrameShadow(QFrame::Sunken);
  divider->setGeometry(x, 2, DividerWidth, ButtonHeight);
}

void TMainForm::BuildToolBar() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolButtons[0] = AddToolButton("ToolButton1", 0, 0, "Чтение установок из файла", &TMainForm::ToolButton1Click,
                                 Qt::CTRL | Qt::Key_O);
  ToolButtons[1] = AddToolButton("ToolButton2", 39, 1, "Сохранение установок в файл", &TMainForm::ToolButton2Click,
                                 Qt::CTRL | Qt::Key_S);
  ToolButtons[9] =
      AddToolButton("ToolButton13", 78, 10, "Сохранить лист установок", &TMainForm::ToolButton13Click, Qt::Key_F12);
  // The dividers are named after the buttons, which the comparisons' ToolButton7 and
  // ToolButton12, the journal's ToolButton11 and the sheet's ToolButton13 join.
  AddDivider("ToolButton8", 117);
  ToolButtons[2] =
      AddToolButton("ToolButton3", 125, 3, "Установка интерфейса с ККМ", &TMainForm::ToolButton3Click, Qt::Key_F2);
  AddDivider("ToolButton9", 164);
  ToolButtons[3] =
      AddToolButton("ToolButton4", 172, 4, "Чтение установок из ККМ", &TMainForm::ToolButton4Click, Qt::Key_F5);
  ToolButtons[4] =
      AddToolButton("ToolButton5", 211, 5, "Запись установок в ККМ", &TMainForm::ToolButton5Click, Qt::Key_F9);
  ToolButtons[6] =
      AddToolButton("ToolButton7", 250, 7, "Сравнение установок с ККМ", &TMainForm::ToolButton7Click, Qt::Key_F6);
  ToolButtons[8] = AddToolButton("ToolButton12", 289, 9, "Сравнение установок с файлом", &TMainForm::ToolButton12Click,
                                 Qt::SHIFT | Qt::Key_F6);
  ToolButtons[7] = AddToolButton("ToolButton11", 328, 8, "Журнал работы", &TMainForm::ToolButton11Click, Qt::Key_F11);
  AddDivider("ToolButton10", 367);
  ToolButtons[5] = AddToolButton("ToolButton6", 375, 6, "Выход", &TMainForm::ToolButton6Click, Qt::CTRL | Qt::Key_Q);
  AddPrinting();
}

// Pressed and held, the sheet's button offers printing too; Ctrl+P prints at once.
void TMainForm::AddPrinting() {
#ifdef ORBI7_PRINTING
  QToolButton* sheet = ToolButtons[9];
  auto* menu = new QMenu(sheet);
  menu->setObjectName(QStringLiteral("SheetMenu"));
  menu->addAction(QStringLiteral("Сохранить лист установок…"), this, &TMainForm::ToolButton13Click);
  QAction* print = menu->addAction(QStringLiteral("Печать…"), this, &TMainForm::PrintSheet);
  print->setObjectName(QStringLiteral("PrintSheet"));
  sheet->setMenu(menu);
  sheet->setPopupMode(QToolButton::DelayedPopup);
  connect(new QShortcut(Qt::CTRL | Qt::Key_P, this), &QShortcut::activated, this, [this, sheet] {
    if (sheet->isEnabled()) PrintSheet();
  });
#endif
}

void TMainForm::BuildPages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setUsesScrollButtons(false);
  QFont bold = PageControl1->font();
  bold.setBold(true);
  PageControl1->setFont(bold);
  // The sheet stays on the tab bar: on the page control it would keep the pages from
  // taking over its font. A click on a tab takes the focus, so that a grid is left
  // before its page goes.
  auto* tabs = PageControl1->findChild<QTabBar*>();
  tabs->setStyleSheet(QStringLiteral("QTabBar::tab { width: 170px; }"));
  tabs->setFocusPolicy(Qt::StrongFocus);
  tabs->installEventFilter(this);
  PageControl1->installEventFilter(this);
  // Built inside the page control so that their labels size themselves in its font.
  GroupsPage = new TGroupsPage(KkmSettings, *this, PageControl1);
  TaxesPage = new TTaxesPage(KkmSettings, PageControl1);
  RatesPage = new TRatesPage(KkmSettings, *this, PageControl1);
  PageControl1->addTab(GroupsPage, QStringLiteral("Товарные группы"));
  PageControl1->addTab(TaxesPage, QStringLiteral("Налоги"));
  PageControl1->addTab(RatesPage, QStringLiteral("Скидки / Надбавки"));
  PageControl1->setCurrentIndex(0);
}

namespace {

// The page control's own page switch from the keyboard.
bool IsPageSwitchKey(const QKeyEvent& key) {
  return (key.modifiers() & Qt::ControlModifier) && (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab);
}

}  // namespace

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (PageControl1 != nullptr && PageControl1->currentWidget() == RatesPage) {
    const bool tabBar = watched == PageControl1->findChild<QTabBar*>();
    if (tabBar && event->type() == QEvent::MouseButtonPress && RatesPage->TakeRefusedTabClick()) return true;
    if (watched == PageControl1 && event->type() == QEvent::KeyPress &&
        IsPageSwitchKey(*static_cast<QKeyEvent*>(event)) && !RatesPage->LeaveForAnotherPage()) {
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TMainForm::BuildStatusLine() {
  PanelStatus = new QLabel(this);
  PanelStatus->setObjectName(QStringLiteral("PanelStatus"));
  PanelStatus->setAlignment(Qt::AlignCenter);
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(15);
  font.setBold(true);
  PanelStatus->setFont(font);
  QPalette palette = PanelStatus->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  PanelStatus->setPalette(palette);
  // The window's button-face background would otherwise draw the text in ButtonText.
  PanelStatus->setForegroundRole(QPalette::WindowText);
  PanelStatus->setFrameShape(QFrame::Panel);
  PanelStatus->setFrameShadow(QFrame::Raised);
  PanelConnection = new QLabel(PanelStatus);
  PanelConnection->setObjectName(QStringLiteral("PanelConnection"));
  PanelConnection->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  PanelConnection->setFont(this->font());
  PanelConnection->setPalette(this->palette());
}

// The session as the window shows it, the one place that does: read, write and compare
// on only while a register is connected, and the register beside the status text, in
// the window's own font so that it stays out of the way; empty when there is none.
void TMainForm::ShowSession() {
  for (const std::size_t i : RegisterButtons) ToolButtons[i]->setEnabled(KkmSession.HasRegister());
  PlaceConnection();
}

// The connection gets the room its text needs and is never cut; where the whole text
// would take more than half the line, the device is shortened to its last path part
// (the whole text stays in the tooltip). The status text is centred in what is left.
void TMainForm::PlaceConnection() {
  const QString whole = QString::fromStdString(SessionText(KkmSession));
  PanelConnection->setToolTip(whole);
  const QFontMetrics metrics = PanelConnection->fontMetrics();
  const bool fits = metrics.horizontalAdvance(whole) <= width() / 2;
  const QString shown = fits ? whole : QString::fromStdString(SessionText(KkmSession, true));
  PanelConnection->setText(shown);
  const int room = shown.isEmpty() ? 0 : metrics.horizontalAdvance(shown) + 8;
  PanelConnection->setGeometry(width() - room - 4, 1, room, StatusHeight - 2);
  PanelStatus->setContentsMargins(0, 0, room, 0);
}

void TMainForm::BuildBottomBand() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  QFont font(WindowFontFamily());
  font.setPixelSize(13);
  font.setBold(true);
  const QString caption = QStringLiteral("Сервисная программа ОРБИ-7");
  // The caption is drawn twice, black and then white one pixel lower right, to look embossed.
  const std::array<std::tuple<const char*, QColor, int>, 2> layers = {{
      {"Label1", Qt::black, 0},
      {"Label2", Qt::white, 1},
  }};
  for (const auto& [name, colour, offset] : layers) {
    auto* label = new QLabel(caption, Panel1);
    BandCaption[offset] = label;
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->adjustSize();
  }
  // Shows the share of a transfer's exchanges done; hidden otherwise.
  TransferProgress = new QProgressBar(Panel1);
  TransferProgress->setObjectName(QStringLiteral("TransferProgress"));
  TransferProgress->resize(120, 14);
  TransferProgress->setTextVisible(false);
  TransferProgress->hide();
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Placed || screen() == nullptr) return;
  Placed = true;
  const QRect area = screen()->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void TMainForm::SetStatus(const std::string& text) {
  PanelStatus->setText(QString::fromStdString(text));
  if (!text.empty()) Recorder.Status = text;
}

void TMainForm::SetAll() {
  ToolBar1->setEnabled(true);
  PageControl1->setEnabled(true);
}

// The commands tell when read and write go on or off; what that means follows from the
// session's state.
void TMainForm::ButtonEnabled() { ShowSession(); }

void TMainForm::ButtonDisabled() { ShowSession(); }

void TMainForm::DisableToolbarAndPages() {
  ToolBar1->setEnabled(false);
  PageControl1->setEnabled(false);
}

void TMainForm::RepaintToolbar() { ToolBar1->repaint(); }

void TMainForm::ProcessMessages() { QApplication::processEvents(); }

void TMainForm::ToolButton1Click() {
  RepaintToolbar();
  const auto fileName = FileDialogs->OpenDialog1();
  if (!fileName) return;
  Recorder.Begin();
  TDocumentOrigin origin;
  const bool loaded = LoadSettingsFile(*fileName, KkmSettings, Recorder, &origin);
  if (loaded) DocumentOrigin = origin;
  AddToJournal("загрузка файла", loaded, *fileName, false);
}

void TMainForm::ToolButton2Click() {
  RepaintToolbar();
  const auto fileName = FileDialogs->SaveDialog1();
  if (!fileName) return;
  Recorder.Begin();
  AddToJournal("сохранение файла", SaveSettingsFile(*fileName, KkmSettings, Recorder, DocumentOrigin), *fileName,
               false);
}

void TMainForm::ToolButton3Click() {
  RepaintToolbar();
  Recorder.Begin();
  Init_Com->exec();
  // A failed attempt has forgotten the register connected before; closing the dialog
  // without one keeps it. The session says which.
  SetStatus(Init_Com->ConnectedFlag ? "Установлен интерфейс с ККМ" : NoConnectionText);
  ShowSession();
  AddToJournal("подключение", Init_Com->ConnectedFlag);
}

// A transfer pumps window messages, so the close box still works meanwhile: a
// confirmed close then waits until the command has ended.
template <typename Command>
void TMainForm::RunTransfer(const char* name, Command command) {
  Transferring = true;
  Recorder.Begin();
  const std::string file = command();
  AddToJournal(name, Recorder.End == TCommandEnd::Done, file);
  Transferring = false;
  if (QuitAfterTransfer) QApplication::exit(0);
}

void TMainForm::ToolButton4Click() {
  RunTransfer("чтение", [this] {
    if (KkmSession.Read(KkmSettings, *this)) DocumentOrigin = RegisterOriginOf(Connection(), LocalTimeNow());
    return std::string();
  });
}

void TMainForm::ToolButton5Click() {
  RunTransfer("запись", [this] {
    TKeptBackup kept(*Backup);
    if (!ConfirmOtherRegister(DocumentOrigin, Connection(), Recorder)) {
      Ended(TCommandEnd::Declined);
      return std::string();
    }
    if (KkmSession.Write(KkmSettings, *this, *this, kept))
      DocumentOrigin = RegisterOriginOf(Connection(), LocalTimeNow());
    return kept.File;
  });
}

void TMainForm::ToolButton7Click() {
  RunTransfer("сравнение", [this] {
    KkmSession.Compare(KkmSettings, *this, *this);
    return std::string();
  });
}

// The document against a settings file chosen as for a load: what the file holds
// otherwise, field by field, document first. The document stays as it is.
void TMainForm::ToolButton12Click() {
  RepaintToolbar();
  const auto fileName = FileDialogs->OpenDialog1();
  if (!fileName) return;
  Recorder.Begin();
  TKkmSettings file;
  const bool loaded = LoadSettingsFile(*fileName, file, Recorder);
  if (loaded) {
    const std::vector<std::string> lines = FileComparisonLines(SettingsChanges(KkmSettings, file));
    Recorder.Status = lines.front();
    const QString name = QFileInfo(QString::fromStdString(*fileName)).fileName();
    TComparisonDialog dialog(lines, QStringLiteral("Сравнение с файлом ") + name, this);
    dialog.exec();
  }
  AddToJournal("сравнение с файлом", loaded, *fileName, false);
}

std::string TMainForm::ProposedSheetName() const {
  const std::string day = TimeStampText(LocalTimeNow()).substr(0, 10);
  // A number edited by hand into something else stays out of a file name.
  const std::string& number = DocumentOrigin ? DocumentOrigin->Number : std::string();
  const bool named = !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
  return "Лист установок " + (named ? "ККМ " + number + " " : std::string()) + day + ".pdf";
}

// The customer's sheet of the document as a PDF, written whole or not at all.
void TMainForm::ToolButton13Click() {
  RepaintToolbar();
  const auto fileName = FileDialogs->SheetDialog(ProposedSheetName());
  if (!fileName) return;
  Recorder.Begin();
  std::string error;
  const bool written = WriteSheetPdf(SettingsSheet(KkmSettings, DocumentOrigin), *fileName, error);
  if (written) {
    SetStatus("Лист установок сохранён: " + QFileInfo(QString::fromStdString(*fileName)).fileName().toStdString());
  } else {
    Recorder.Show(TMessageKind::Error, error);
  }
  AddToJournal("лист установок", written, *fileName, false);
}

void TMainForm::PrintSheet() {
#ifdef ORBI7_PRINTING
  RepaintToolbar();
  QPrinter printer(QPrinter::HighResolution);
  UseSheetPage(printer);
  printer.setDocName(QStringLiteral("Лист установок ККМ"));
  if (!FileDialogs->PrintDialog(printer)) return;
  Recorder.Begin();
  const bool printed = PaintSheet(printer, SettingsSheet(KkmSettings, DocumentOrigin)) > 0;
  if (printed) {
    const std::string name = printer.printerName().toStdString();
    SetStatus("Лист установок отправлен на печать" + (name.empty() ? std::string() : ": " + name));
  } else {
    Recorder.Show(TMessageKind::Error, "Не удалось напечатать лист установок.");
  }
  AddToJournal("печать листа установок", printed, {}, false);
#endif
}

void TMainForm::ToolButton11Click() {
  RepaintToolbar();
  TJournalDialog dialog(
      WorkJournal->LastLines(JournalShownDays), [this] { return DiagnosticsText(); },
      WorkJournal->Folder().parent_path(), *FileDialogs, UserMessages, this);
  dialog.exec();
}

// What support asks for, as the window knows it at this moment.
std::string TMainForm::DiagnosticsText() const {
  TDiagnostics facts;
  facts.Writer = "окно программы";
  facts.System = (QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() + QLatin1Char(' ') +
                  QSysInfo::kernelVersion() + QLatin1Char(' ') + QSysInfo::currentCpuArchitecture())
                     .toStdString();
  facts.Toolkit = qVersion();
  for (const TSerialPortInfo& port : Ports.List()) facts.Ports.push_back(PortText(port));
  QSettings settings = ProgramSettings();
  for (const char* key : DiagnosedSettingKeys) {
    const QVariant value = settings.value(QString::fromLatin1(key));
    if (value.isValid()) facts.Settings.emplace_back(key, value.toString().toStdString());
  }
  facts.Journal = WorkJournal->LastLines(JournalShownDays);
  facts.Traces = ProgramTraces().Traces();
  return ::DiagnosticsText(facts, LocalTimeNow());
}

void TMainForm::Begin(const std::string& text) {
  WaitBox = new QProgressDialog(QString::fromStdString(text), QStringLiteral("Отмена"), 0, 0, this);
  WaitBox->setObjectName(QStringLiteral("WaitBox"));
  WaitBox->setWindowTitle(QString::fromUtf8(ApplicationTitle));
  WaitBox->setWindowModality(Qt::WindowModal);
  WaitBox->setMinimumDuration(0);
  WaitBox->show();
}

std::vector<std::string> TMainForm::Devices() { return SearchDevices(Ports, {}); }

bool TMainForm::Cancelled() {
  QApplication::processEvents();
  return WaitBox != nullptr && WaitBox->wasCanceled();
}

void TMainForm::End() {
  delete WaitBox;
  WaitBox = nullptr;
}

void TMainForm::ShowComparison(const std::vector<std::string>& lines) {
  // The comparison's outcome, as its journal line tells it, is its first line.
  if (!lines.empty()) Recorder.Status = lines.front();
  TComparisonDialog dialog(lines, QStringLiteral("Сравнение с ККМ"), this);
  dialog.exec();
}

void TMainForm::SetProgress(int done, int total) {
  TransferProgress->setVisible(total > 0);
  if (total > 0) {
    TransferProgress->setRange(0, total);
    TransferProgress->setValue(done);
  }
}

void TMainForm::ShowGroupCell(int g, TGroupField field) {
  ShowPage(TSettingsPage::Groups);
  GroupsPage->MakeCellCurrent(g, field);
}

bool TMainForm::AskToClose() {
  RepaintToolbar();
  return UserMessages.Confirm(CloseQuestion);
}

void TMainForm::ToolButton6Click() {
  if (!AskToClose()) return;
  ExitConfirmed = true;
  QApplication::exit(0);
}

bool TMainForm::FormCloseQuery() { return ExitConfirmed || AskToClose(); }

void TMainForm::closeEvent(QCloseEvent* event) {
  if (Transferring) {
    if (!QuitAfterTransfer && AskToClose()) QuitAfterTransfer = true;
    event->ignore();
    return;
  }
  if (FormCloseQuery()) {
    ExitConfirmed = true;
    event->accept();
  } else {
    event->ignore();
  }
}

void TMainForm::ShowPage(TSettingsPage page) { PageControl1->setCurrentIndex(static_cast<int>(page)); }

void TMainForm::FocusTaxRate(int tax) { TaxesPage->FocusRate(tax); }

void TMainForm::MakeRateRowCurrent(TRateList list, int n) { RatesPage->MakeRowCurrent(list, n); }

void TMainForm::SettingsChanged(TSection section, int index) {
  switch (section) {
    case TSection::Taxes: return TaxesPage->ShowTaxes(index);
    case TSection::Discounts: return RatesPage->ShowRates(TRateList::Discounts, index);
    case TSection::Surcharges: return RatesPage->ShowRates(TRateList::Surcharges, index);
    case TSection::Groups: return GroupsPage->ShowGroups(index);
  }
}
