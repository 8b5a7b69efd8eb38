#include "ui/QtUserMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

TQtUserMessages::TQtUserMessages(QString applicationTitle) : ApplicationTitle(std::move(applicationTitle)) {}

QString CaptionOf(TMessageKind kind, const QString& applicationTitle) {
  switch (kind) {
    case TMessageKind::Plain: return applicationTitle;
    case TMessageKind::Information: return QStringLiteral("Информация");
    case TMessageKind::Confirmation: return QStringLiteral("Подтверждение");
    case TMessageKind::Warning: return QStringLiteral("Предупреждение");
    case TMessageKind::Error: return QStringLiteral("Ошибка");
  }
  return applicationTitle;
}

namespace {

QMessageBox::Icon IconOf(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Plain: return QMessageBox::NoIcon;
    case TMessageKind::Information: return QMessageBox::Information;
    case TMessageKind::Confirmation: return QMessageBox::Question;
    case TMessageKind::Warning: return QMessageBox::Warning;
    case TMessageKind::Error: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

TAnswer TQtUserMessages::Show(TMessageKind kind, const std::string& text) {
  const bool question = kind == TMessageKind::Confirmation;
  QMessageBox box(IconOf(kind), CaptionOf(kind, ApplicationTitle), QString::fromStdString(text),
                  question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, QApplication::activeWindow());
  if (question) {
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  }
  const int pressed = box.exec();
  if (!question) return TAnswer::Ok;
  return pressed == QMessageBox::No ? TAnswer::No : TAnswer::Yes;
}
