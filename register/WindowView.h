#pragma once

#include <string>

#include "document/UserMessages.h"

// What the register commands may do to the main window; the window implements it,
// tests record it. A command never reaches into widgets.
class TWindowView {
 public:
  virtual TUserMessages& Messages() = 0;

  virtual void SetStatus(const std::string& text) = 0;  // the status line
  virtual void SetAll() = 0;                             // enables toolbar and pages
  virtual void ButtonEnabled() = 0;                      // enables read and write
  virtual void ButtonDisabled() = 0;                     // disables read and write
  virtual void DisableToolbarAndPages() = 0;
  virtual void RepaintToolbar() = 0;
  virtual void ProcessMessages() = 0;  // handles pending window messages once

 protected:
  ~TWindowView() = default;
};
