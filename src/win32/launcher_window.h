// The launcher `Main` as a native Win32 window, made from its design: its two buttons each
// open one converter window modally, and About on its menu bar shows the maker's details, then
// opens the maker's site. It is a view of LauncherPresenter. Closing it ends the program.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "convert/launcher_presenter.h"
#include "convert/launcher_view.h"
#include "win32/converter_window.h"
#include "win32/design_window.h"
#include "win32/dialogs.h"

namespace vkdc::win32 {

class LauncherWindow : public DesignWindow, private LauncherView {
  public:
    // `dialogs` must outlive the window. It is made hidden; show() puts it on screen.
    explicit LauncherWindow(Dialogs& dialogs);
    ~LauncherWindow() override;

    // Centred on the screen, with the focus on the first button.
    void show();

    // The converter window of `pair`: nullptr until its button is first clicked, then the
    // same object for every later click.
    ConverterWindow* converter(PairId pair) const;
    // Runs on each converter window right after it is made (tests point it at their own
    // template folder).
    void setConverterSetup(std::function<void(ConverterWindow&)> setup) {
        converter_setup_ = std::move(setup);
    }
    // What ending the program does; by default closes the launcher and ends the message loop.
    void setEndProgram(std::function<void()> end) { end_program_ = std::move(end); }

  private:
    void onClick(const std::string& name) override;
    void onCloseRequest() override;

    // LauncherView
    void createConverter(PairId pair) override;
    bool runConverter(PairId pair) override;
    void showAbout(const std::string& text) override;
    void openSite(const std::string& url) override;
    void endProgram() override;

    Dialogs& dialogs_;
    std::unique_ptr<ConverterWindow> converters_[2];
    std::function<void(ConverterWindow&)> converter_setup_;
    std::function<void()> end_program_;
    LauncherPresenter presenter_;
};

}  // namespace vkdc::win32
