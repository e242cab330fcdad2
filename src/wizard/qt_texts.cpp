#include "wizard/qt_texts.h"

#include <cstring>

#include "convert/converter_texts.h"

namespace vkdc::ui {

QString QtTexts::translate(const char* context, const char* source, const char*, int) const {
    if (!context || !source || std::strcmp(context, "QMessageBox") != 0)
        return {};
    if (std::strcmp(source, "Show Details...") == 0)
        return QString::fromUtf8(texts::kShowDetails);
    if (std::strcmp(source, "Hide Details...") == 0)
        return QString::fromUtf8(texts::kHideDetails);
    return {};
}

}  // namespace vkdc::ui
