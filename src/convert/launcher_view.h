// What the launcher window must be able to do for LauncherPresenter, in no toolkit's terms.
// The Qt launcher is one such view; tests use a scripted one. Texts are UTF-8.
#pragma once

#include <string>

#include "store/version_pair.h"

namespace vkdc {

class LauncherView {
  public:
    virtual ~LauncherView() = default;

    // Makes the converter window of `pair`, owned by the launcher. Called once per pair, on
    // the first click of its button; the window is kept for later clicks.
    virtual void createConverter(PairId pair) = 0;
    // Shows that window modally over the launcher, reloaded from its design, and returns when
    // it has closed: true when it closed after a save (ConverterView::endProgram).
    virtual bool runConverter(PairId pair) = 0;
    // The About box: `text` alone, an empty title, the information icon, OK only; returns
    // however the user closed it (OK, Esc or the close button).
    virtual void showAbout(const std::string& text) = 0;
    // Opens `url` in the desktop's browser, maximized where the platform can; does not wait.
    virtual void openSite(const std::string& url) = 0;
    // Closes every window and ends the program.
    virtual void endProgram() = 0;
};

}  // namespace vkdc
