// vkdc: the desktop program. Starts in the launcher; closing it ends the program.
#include <QApplication>

#include "app/main_window.h"
#include "wizard/dialogs.h"
#include "wizard/ui_look.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vkdc"));
    QApplication::setApplicationVersion(QStringLiteral(VKDC_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("vkdc"));
    vkdc::ui::applyProgramLook(app);
    QApplication::setWindowIcon(vkdc::ui::programIcon({16, 24, 32, 48, 256}));

    vkdc::QtDialogs dialogs;
    vkdc::MainWindow launcher(dialogs);
    launcher.show();
    return app.exec();
}
