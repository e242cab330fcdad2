#include "wizard/converter_texts.h"

namespace vkdc {

const ConverterTexts& converterTexts(PairId id) {
    static const ConverterTexts k12{
        QStringLiteral("VKDC12"),
        QStringLiteral("VKDC v1.0 to v2.0"),
        QStringLiteral("وارد کردن فايل پشتيبان نسخه 1 ولکور"),
        QStringLiteral("Velkor-DB.dbb"),
        QStringLiteral("پشتيبان گيري"),
        QStringLiteral("Velkor v2.0 Backup File"),
        QStringLiteral("banner-vkdc12.png"),
        texts::kNotVersion1,
    };
    static const ConverterTexts k23{
        QStringLiteral("VKDC23"),
        QStringLiteral("VKDC v2.0 to v3.0"),
        QStringLiteral("Import"),
        QStringLiteral("VKDB.dbb"),
        QStringLiteral("Export"),
        QStringLiteral("Velkor v3.0 Backup File"),
        QStringLiteral("banner-vkdc23.png"),
        texts::kNotVersion2,
    };
    return id == PairId::k10to20 ? k12 : k23;
}

}  // namespace vkdc
