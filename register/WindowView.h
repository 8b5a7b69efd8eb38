#pragma once

#include <string>
#include <vector>

#include "document/SettingsChanges.h"
#include "document/TKkmSettings.h"
#include "document/UserMessages.h"
#include "register/CommandEnd.h"

// What the register commands may do to the main window; the window implements it,
// tests record it. A command never reaches into widgets.
class TWindowView {
 public:
  virtual TUserMessages& Messages() = 0;

  virtual void SetStatus(const std::string& text) = 0;  // the status line
  virtual void SetAll() = 0;                            // enables toolbar and pages
  virtual void ButtonEnabled() = 0;                     // enables read and write
  virtual void ButtonDisabled() = 0;                    // disables read and write
  virtual void DisableToolbarAndPages() = 0;
  virtual void RepaintToolbar() = 0;
  virtual void ProcessMessages() = 0;  // handles pending window messages once

  // The share of a transfer's exchanges done so far, done of total; a total of 0
  // means no transfer is under way and the indicator is hidden.
  virtual void SetProgress(int /*done*/, int /*total*/) {}
  // Brings the group page to the front with the cell of group g (1 to 108) and that
  // field current, so that the user sees which entry a write refused.
  virtual void ShowGroupCell(int /*g*/, TGroupField /*field*/) {}
  // The comparison with the register, its lines as ComparisonLines gives them; a view
  // without a list of its own shows them in an information box.
  virtual void ShowComparison(const std::vector<std::string>& lines);
  // The fields a write of the document would change; the window lists them as
  // ComparisonLines words them (ShowComparison).
  virtual void ShowDifferences(const std::vector<TSettingsChange>& changes);
  // How the command ended, told once as it ends.
  virtual void Ended(TCommandEnd /*end*/) {}
  // The command has lost the link to the register; read and write go off next.
  virtual void LinkLost() {}

 protected:
  ~TWindowView() = default;
};

// Gives the toolbar and pages back (SetAll) when a command that has taken them ends,
// at every exit; after a lost link it then turns read and write off (ButtonDisabled).
class TCommandExit {
 public:
  explicit TCommandExit(TWindowView& view) : View(view) {}
  TCommandExit(const TCommandExit&) = delete;
  TCommandExit& operator=(const TCommandExit&) = delete;
  ~TCommandExit() {
    View.SetAll();
    if (!LinkLost) return;
    View.LinkLost();
    View.ButtonDisabled();
  }

  void LoseLink() { LinkLost = true; }

 private:
  TWindowView& View;
  bool LinkLost = false;
};
