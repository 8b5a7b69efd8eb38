#pragma once

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <functional>

// A control of the window by its object name; a missing one ends the test program.
template <typename T>
T* Control(const QWidget& form, const char* name) {
  auto* child = form.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) qFatal("no control %s", name);
  return child;
}

// A key on the window, given back the focus as the system gives it after a dialog,
// whether the dialog was kept or is gone.
inline void Press(QWidget& window, QKeyCombination key) {
  window.activateWindow();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, key.key(), key.keyboardModifiers());
}

// Does what `use` does with the modal dialog `name` once it shows: the watch looks for
// it while the window waits in the dialog.
inline void WhenShown(QTimer& watch, const char* name, std::function<void(QWidget&)> use) {
  QObject::connect(&watch, &QTimer::timeout, [=] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog != nullptr && dialog->objectName() == QLatin1String(name)) use(*dialog);
  });
}
