#pragma once

#include <QString>
#include <QWidget>

// A control of the window by its object name; a missing one ends the test program.
template <typename T>
T* Control(const QWidget& form, const char* name) {
  auto* child = form.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) qFatal("no control %s", name);
  return child;
}
