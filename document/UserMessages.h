#pragma once

#include <string>

// Modal message boxes, as every layer asks for them. The kind fixes the caption,
// the icon and the buttons; the user interface shows them, tests answer them.
enum class TMessageKind {
  Plain,                // the application title as caption, no icon, OK
  Information,          // "Информация", information icon, OK
  Confirmation,         // "Подтверждение", question icon, Yes and No
  CarefulConfirmation,  // the same, No the default
  Warning,              // "Предупреждение", warning icon, OK
  Error,                // "Ошибка", error icon, OK
  BrokenWrite,          // "Информация", information icon, OK and "Повторить запись"
};

enum class TAnswer { Ok, Yes, No, Retry };

class TUserMessages {
 public:
  // Returns when the user has closed the box.
  virtual TAnswer Show(TMessageKind kind, const std::string& text) = 0;

  // A confirmation counts as yes for every answer other than No.
  bool Confirm(const std::string& text) { return Show(TMessageKind::Confirmation, text) != TAnswer::No; }
  // A careful one counts as yes only for Yes.
  bool ConfirmCarefully(const std::string& text) {
    return Show(TMessageKind::CarefulConfirmation, text) == TAnswer::Yes;
  }
  static bool IsQuestion(TMessageKind kind) {
    return kind == TMessageKind::Confirmation || kind == TMessageKind::CarefulConfirmation;
  }

 protected:
  ~TUserMessages() = default;
};
