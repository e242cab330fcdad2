#include "win32/launcher_window.h"

namespace vkdc::win32 {
namespace {

int slot(PairId pair) {
    return pair == PairId::k10to20 ? 0 : 1;
}

}  // namespace

LauncherWindow::LauncherWindow(Dialogs& dialogs) : dialogs_(dialogs), presenter_(*this) {
    build(launcherDesign(), nullptr);
    end_program_ = [this] {
        DestroyWindow(hwnd());
        PostQuitMessage(0);
    };
}

LauncherWindow::~LauncherWindow() = default;

void LauncherWindow::show() {
    centre();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    const std::vector<const ControlDesign*> order = tabOrder(design());
    if (!order.empty())
        focus(control(order.front()->name));
}

ConverterWindow* LauncherWindow::converter(PairId pair) const {
    return converters_[slot(pair)].get();
}

void LauncherWindow::onClick(const std::string& name) {
    if (name == "Command1")
        presenter_.openConverter(PairId::k10to20);
    else if (name == "Command2")
        presenter_.openConverter(PairId::k20to30);
    else if (name == "About")
        presenter_.about();
}

void LauncherWindow::onCloseRequest() {
    end_program_();
}

void LauncherWindow::createConverter(PairId pair) {
    auto& window = converters_[slot(pair)];
    window = std::make_unique<ConverterWindow>(pair, dialogs_, hwnd());
    if (converter_setup_)
        converter_setup_(*window);
}

bool LauncherWindow::runConverter(PairId pair) {
    ConverterWindow* window = converter(pair);
    return window && window->run();
}

void LauncherWindow::showAbout(const std::string& text) {
    dialogs_.message(hwnd(), MessageIcon::kInformation, text, {});
}

void LauncherWindow::openSite(const std::string& url) {
    dialogs_.openUrl(url);
}

void LauncherWindow::endProgram() {
    end_program_();
}

}  // namespace vkdc::win32
