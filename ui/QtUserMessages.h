#pragma once

#include <QString>

#include "document/UserMessages.h"

// The one way the program shows a message box: modal over the active window, the
// caption, icon and buttons fixed by the kind.
class TQtUserMessages : public TUserMessages {
 public:
  explicit TQtUserMessages(QString applicationTitle);
  TAnswer Show(TMessageKind kind, const std::string& text) override;

 private:
  QString ApplicationTitle;
};

QString CaptionOf(TMessageKind kind, const QString& applicationTitle);
