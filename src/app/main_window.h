// The launcher `Main`: two big buttons that open the converter windows, and the About
// command of its menu bar. Closing it ends the program. The window lays out its design
// (launcherDesign()) and is a view of LauncherPresenter, which decides what each click does.
#pragma once

#include <QMainWindow>

#include <functional>

#include "convert/launcher_presenter.h"
#include "convert/launcher_view.h"
#include "store/version_pair.h"

namespace vkdc {

class ConverterWindow;
class Dialogs;

class MainWindow : public QMainWindow, private LauncherView {
    Q_OBJECT
  public:
    // `dialogs` must outlive the window.
    explicit MainWindow(Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The converter window of `pair`: nullptr until its button is first clicked, then the same
    // object for every later click.
    ConverterWindow* converter(PairId pair) const;

    // Runs on each converter window right after it is created (tests point it at their own
    // template folder).
    void setConverterSetup(std::function<void(ConverterWindow&)> setup) {
        converter_setup_ = std::move(setup);
    }
    // What ending the program does; by default closes every window and quits the event loop.
    void setEndProgram(std::function<void()> end) { end_program_ = std::move(end); }

  public slots:
    void openConverter12();  // Command1
    void openConverter23();  // Command2
    void about();            // the menu item About

  private:
    // LauncherView
    void createConverter(PairId pair) override;
    bool runConverter(PairId pair) override;
    void showAbout(const std::string& text) override;
    void openSite(const std::string& url) override;
    void endProgram() override;

    Dialogs& dialogs_;
    ConverterWindow* vkdc12_ = nullptr;
    ConverterWindow* vkdc23_ = nullptr;
    std::function<void(ConverterWindow&)> converter_setup_;
    std::function<void()> end_program_;
    LauncherPresenter presenter_;
};

}  // namespace vkdc
