#include "ui/QtUserMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

TQtUserMessages::TQtUserMessages(QString applicationTitle) : ApplicationTitle(std::move(applicationTitle)) {}

QString CaptionOf(TMessageKind kind, const QString& applicationTitle) {
  switch (kind) {
    case TMessageKind::Plain: return applicationTitle;
    case TMessageKind::Information:
    case TMessageKind::BrokenWrite: return QStringLiteral("Информация");
    case TMessageKind::Confirmation:
    case TMessageKind::CarefulConfirmation: return QStringLiteral("Подтверждение");
    case TMessageKind::Warning: return QStringLiteral("Предупреждение");
    case TMessageKind::Error: return QStringLiteral("Ошибка");
  }
  return applicationTitle;
}

namespace {

QMessageBox::Icon IconOf(TMessageKind kind) {
  switch (kind) {
    case TMessageKind::Plain: return QMessageBox::NoIcon;
    case TMessageKind::Information:
    case TMessageKind::BrokenWrite: return QMessageBox::Information;
    case TMessageKind::Confirmation:
    case TMessageKind::CarefulConfirmation: return QMessageBox::Question;
    case TMessageKind::Warning: return QMessageBox::Warning;
    case TMessageKind::Error: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

TAnswer TQtUserMessages::Show(TMessageKind kind, const std::string& text) {
  const bool question = TUserMessages::IsQuestion(kind);
  QMessageBox box(IconOf(kind), CaptionOf(kind, ApplicationTitle), QString::fromStdString(text),
                  question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, QApplication::activeWindow());
  if (question) {
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    if (kind == TMessageKind::CarefulConfirmation) box.setDefaultButton(QMessageBox::No);
  }
  QPushButton* retry = kind == TMessageKind::BrokenWrite
                           ? box.addButton(QStringLiteral("Повторить запись"), QMessageBox::ActionRole)
                           : nullptr;
  if (retry != nullptr) retry->setObjectName(QStringLiteral("RetryWrite"));
  const int pressed = box.exec();
  if (retry != nullptr && box.clickedButton() == retry) return TAnswer::Retry;
  if (!question) return TAnswer::Ok;
  return pressed == QMessageBox::No ? TAnswer::No : TAnswer::Yes;
}
