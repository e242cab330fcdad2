// The launcher `Main` without a window toolkit: its two buttons each open one converter
// window, and About shows the maker's details, then opens the maker's site. The view calls
// the event methods when the user acts and answers through LauncherView.
#pragma once

#include "convert/launcher_view.h"
#include "store/version_pair.h"

namespace vkdc {

class LauncherPresenter {
  public:
    // `view` must outlive the presenter.
    explicit LauncherPresenter(LauncherView& view) : view_(view) {}

    LauncherPresenter(const LauncherPresenter&) = delete;
    LauncherPresenter& operator=(const LauncherPresenter&) = delete;

    // Command1 (k10to20) and Command2 (k20to30): creates the pair's converter window on first
    // use, then shows it modally; a save there ends the program.
    void openConverter(PairId pair);
    // The menu item About: the message, then, once the box is closed in whatever way, the site.
    void about();

    // Whether the converter window of `pair` has been created.
    bool created(PairId pair) const { return created_[index(pair)]; }

  private:
    static int index(PairId pair) { return pair == PairId::k10to20 ? 0 : 1; }

    LauncherView& view_;
    bool created_[2] = {false, false};
};

}  // namespace vkdc
