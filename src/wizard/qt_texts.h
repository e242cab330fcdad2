// Qt's own texts that show inside the program's windows, in the program's language.
#pragma once

#include <QTranslator>

namespace vkdc::ui {

// Installed on the application (applyProgramLook). Gives the toggle of a message box's
// details area its Persian captions: every box that has details is a Persian one. Any other
// text of Qt's stays as Qt has it.
class QtTexts : public QTranslator {
    Q_OBJECT
  public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return false; }
};

}  // namespace vkdc::ui
