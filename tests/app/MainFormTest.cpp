#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>
#include <optional>

#include "app/MainUnit.h"
#include "support/Controls.h"
#include "support/IsolatedSettings.h"
#include "support/RecordingMessages.h"
#include "ui/FileDialogs.h"
#include "ui/QtTranslation.h"
#include "ui/StringGrid.h"

namespace {

const TRecordingMessages::TShown CloseQuestion{TMessageKind::Confirmation, "Закрыть приложение?"};

int RowsShown(const QTableWidget& grid) {
  const int last = grid.rowAt(grid.viewport()->height() - 1);
  return (last < 0 ? grid.rowCount() : last + 1) - grid.rowAt(0);
}

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private:
  std::optional<TIsolatedSettings> Settings;  // the window's size, of each test's own

  template <typename T>
  static T* Child(QWidget& form, const char* name) {
    return Control<T>(form, name);
  }

 private slots:
  void init() { Settings.emplace(); }
  void cleanup() { Settings.reset(); }

  void StartsNotConnected() {
    TRecordingMessages messages;
    TMainForm form(messages);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("ККМ ОРБИ-7 Программирование скидок,надбавок и товарных групп"));
    QCOMPARE(form.size(), QSize(520, 364));  // no title bar offscreen to widen it for
    QCOMPARE(form.minimumSize(), QSize(520, 364));
    QVERIFY(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!Child<QToolButton>(form, "ToolButton4")->isEnabled());
    QVERIFY(!Child<QToolButton>(form, "ToolButton5")->isEnabled());
    QVERIFY(!Child<QToolButton>(form, "ToolButton7")->isEnabled());
    for (const char* available : {"ToolButton1", "ToolButton2", "ToolButton3", "ToolButton6"}) {
      QVERIFY2(Child<QToolButton>(form, available)->isEnabled(), available);
    }
    auto* status = Child<QLabel>(form, "PanelStatus");
    QCOMPARE(status->text(), QString());
    // The colour the text is drawn in, not just a colour the palette holds.
    QCOMPARE(status->palette().color(status->foregroundRole()), QColor(Qt::blue));
    QVERIFY(status->font().bold());
    QCOMPARE(status->alignment(), Qt::AlignCenter);
    auto* pages = Child<QTabWidget>(form, "PageControl1");
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("TabSheet5"));
    QCOMPARE(pages->count(), 3);
    QCOMPARE(pages->tabText(0), QStringLiteral("Товарные группы"));
    QCOMPARE(pages->tabText(1), QStringLiteral("Налоги"));
    QCOMPARE(pages->tabText(2), QStringLiteral("Скидки / Надбавки"));
    QCOMPARE(pages->widget(1)->objectName(), QStringLiteral("TabSheet4"));
    QCOMPARE(pages->widget(2)->objectName(), QStringLiteral("TabSheet6"));
    QVERIFY(messages.Shown.empty());
    QCOMPARE(form.Settings(), TKkmSettings());
  }

  void ToolbarButtonsInOrderWithTheirHints() {
    TRecordingMessages messages;
    TMainForm form(messages);
    const std::vector<std::tuple<const char*, int, const char*>> buttons = {
        {"ToolButton1", 0, "Чтение установок из файла"},
        {"ToolButton2", 39, "Сохранение установок в файл"},
        {"ToolButton13", 78, "Сохранить лист установок"},
        {"ToolButton3", 125, "Установка интерфейса с ККМ"},
        {"ToolButton4", 172, "Чтение установок из ККМ"},
        {"ToolButton5", 211, "Запись установок в ККМ"},
        {"ToolButton7", 250, "Сравнение установок с ККМ"},
        {"ToolButton12", 289, "Сравнение установок с файлом"},
        {"ToolButton11", 328, "Журнал работы"},
        {"ToolButton6", 375, "Выход"},
    };
    for (const auto& [name, x, hint] : buttons) {
      auto* button = Child<QToolButton>(form, name);
      QCOMPARE(button->toolTip(), QString::fromUtf8(hint));
      QCOMPARE(button->geometry().x(), x);
      QCOMPARE(button->size(), QSize(39, 38));
      QVERIFY(button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly);
      const QImage image = button->icon().pixmap(32, 32).toImage();
      QCOMPARE(image.size(), QSize(32, 32));
      QVERIFY2(image.pixelColor(16, 16).alpha() > 0 || image.pixelColor(10, 20).alpha() > 0, name);
      QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    }
    for (const auto& [name, x] :
         std::vector<std::pair<const char*, int>>{{"ToolButton8", 117}, {"ToolButton9", 164}, {"ToolButton10", 367}}) {
      auto* divider = Child<QWidget>(form, name);
      QCOMPARE(divider->geometry(), QRect(x, 2, 8, 38));
    }
    QCOMPARE(Child<QWidget>(form, "ToolBar1")->geometry(), QRect(0, 0, 520, 42));
    QCOMPARE(Child<QWidget>(form, "PageControl1")->geometry(), QRect(0, 42, 520, 276));
    QCOMPARE(Child<QWidget>(form, "PanelStatus")->geometry(), QRect(0, 317, 520, 22));
  }

  // The commands' calls, with no register connected: read, write and compare stay off
  // whatever a command says, since they follow the session; the rest is the window's.
  void EnableOperations() {
    TRecordingMessages messages;
    TMainForm form(messages);
    TWindowView& view = form;
    auto* read = Child<QToolButton>(form, "ToolButton4");
    auto* toolbar = Child<QWidget>(form, "ToolBar1");
    auto* pages = Child<QWidget>(form, "PageControl1");
    view.ButtonEnabled();
    QVERIFY(!read->isEnabled());
    view.DisableToolbarAndPages();
    QVERIFY(!toolbar->isEnabled() && !pages->isEnabled());
    view.SetAll();
    QVERIFY(toolbar->isEnabled() && pages->isEnabled());
    view.SetStatus("Нет связи с ККМ");
    QCOMPARE(Child<QLabel>(form, "PanelStatus")->text(), QStringLiteral("Нет связи с ККМ"));
  }

  void ExitButtonWithNoKeepsRunning() {
    TRecordingMessages messages;
    messages.Answers = {TAnswer::No};
    TMainForm form(messages);
    form.show();
    Child<QToolButton>(form, "ToolButton4")->setEnabled(true);
    form.SetStatus("text");
    // If the button ended the loop, exec would return 0 at once instead of 7.
    QTimer::singleShot(0, &form, [&] { Child<QToolButton>(form, "ToolButton6")->click(); });
    QTimer::singleShot(100, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 7);
    QCOMPARE(messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
    QVERIFY(form.isVisible());
    QVERIFY(Child<QToolButton>(form, "ToolButton4")->isEnabled());
    QCOMPARE(Child<QLabel>(form, "PanelStatus")->text(), QStringLiteral("text"));
  }

  void ExitButtonWithYesEndsTheApplicationAskingOnce() {
    TRecordingMessages messages;
    messages.Answers = {TAnswer::Yes};
    TMainForm form(messages);
    form.show();
    QTimer::singleShot(0, &form, [&] { Child<QToolButton>(form, "ToolButton6")->click(); });
    QTimer::singleShot(2000, [] { QCoreApplication::exit(7); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
    form.close();  // the question is not asked again
    QCOMPARE(messages.Shown.size(), size_t{1});
  }

  void CloseBoxWithNoKeepsTheWindow() {
    TRecordingMessages messages;
    messages.Answers = {TAnswer::No};
    TMainForm form(messages);
    form.show();
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QCOMPARE(messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
  }

  void CloseBoxWithYesClosesAskingOnce() {
    TRecordingMessages messages;
    messages.Answers = {TAnswer::Yes};
    TMainForm form(messages);
    form.show();
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QCOMPARE(messages.Shown, std::vector<TRecordingMessages::TShown>{CloseQuestion});
  }

  // Each key clicks its button: once while it is on, never while it or the toolbar is off.
  void KeysStartTheirCommandsOnlyWhileTheirButtonsAreOn() {
    struct TKey {
      QKeyCombination Key;
      const char* Button;
    };
    const TKey keys[] = {
        {Qt::CTRL | Qt::Key_O, "ToolButton1"},          {Qt::CTRL | Qt::Key_S, "ToolButton2"},
        {QKeyCombination(Qt::Key_F2), "ToolButton3"},   {QKeyCombination(Qt::Key_F5), "ToolButton4"},
        {QKeyCombination(Qt::Key_F6), "ToolButton7"},   {QKeyCombination(Qt::Key_F9), "ToolButton5"},
        {QKeyCombination(Qt::Key_F11), "ToolButton11"}, {Qt::SHIFT | Qt::Key_F6, "ToolButton12"},
        {QKeyCombination(Qt::Key_F12), "ToolButton13"}, {Qt::CTRL | Qt::Key_Q, "ToolButton6"},
    };
    TRecordingMessages messages;  // says no to the close question
    TNamedFileDialogs dialogs;    // cancels every dialog
    TMainForm form(messages);
    form.UseFileDialogs(dialogs);
    form.show();
    for (const TKey& key : keys) {
      auto* button = Child<QToolButton>(form, key.Button);
      QSignalSpy clicks(button, &QToolButton::clicked);
      for (const char* state : {"on", "toolbar off", "button off"}) {
        form.SetAll();
        button->setEnabled(true);
        if (state == std::string("toolbar off")) form.DisableToolbarAndPages();
        if (state == std::string("button off")) button->setEnabled(false);
        // The port dialog is modal: it is closed as soon as it shows.
        QTimer::singleShot(0, [] {
          if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        Press(form, key.Key);
        QCOMPARE(clicks.count(), 1);
        button->setEnabled(true);
      }
    }
  }

  // Grown to twice its size, the window shows more groups, with the button still under
  // the grid; the next start opens at that size.
  void WindowGrowsWithItsGridsAndKeepsItsSize() {
    TRecordingMessages messages;
    QSize grown;
    {
      TMainForm form(messages);
      form.show();
      auto* grid = Child<TStringGrid>(form, "StringGrid1");
      auto* button = Child<QPushButton>(form, "Button10");
      const int rows = RowsShown(*grid);
      const int below = button->y() - grid->geometry().bottom();
      grown = form.size() * 2;
      form.resize(grown);
      QApplication::processEvents();
      QVERIFY2(RowsShown(*grid) > rows * 2, qPrintable(QString::number(RowsShown(*grid))));
      QCOMPARE(button->y() - grid->geometry().bottom(), below);
      QCOMPARE(Child<QLabel>(form, "PanelStatus")->geometry().bottom(), grown.height() - 26);  // above the band
    }
    TMainForm again(messages);
    again.show();
    QCOMPARE(again.size(), grown);
  }

  // Qt's own texts, as in a dialog's buttons and an edit box's menu, are Russian.
  void QtsOwnTextsAreRussian() {
    QVERIFY(InstallQtTranslation(*qApp));
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
    QLineEdit edit;
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QVERIFY(menu->actions().first()->text().startsWith(QStringLiteral("&Отменить")));
  }
};

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
