#include "convert/converter_texts.h"

namespace vkdc {

const ConverterTexts& converterTexts(PairId id) {
    static const ConverterTexts k12{
        "VKDC12",
        "VKDC v1.0 to v2.0",
        "وارد کردن فايل پشتيبان نسخه 1 ولکور",
        "Velkor-DB.dbb",
        "پشتيبان گيري",
        "Velkor v2.0 Backup File",
        "banner-vkdc12.png",
        texts::kNotVersion1,
    };
    static const ConverterTexts k23{
        "VKDC23",
        "VKDC v2.0 to v3.0",
        "Import",
        "VKDB.dbb",
        "Export",
        "Velkor v3.0 Backup File",
        "banner-vkdc23.png",
        texts::kNotVersion2,
    };
    return id == PairId::k10to20 ? k12 : k23;
}

const char* messageText(PairId pair, MessageId id) {
    switch (id) {
        case MessageId::kNoSourcePath:
            return texts::kNoSourcePath;
        case MessageId::kSourceMissing:
            return texts::kSourceMissing;
        case MessageId::kSourceUnreadable:
            return texts::kSourceUnreadable;
        case MessageId::kSourceInvalid:
            return texts::kSourceInvalid;
        case MessageId::kSourceUnsupported:
            return texts::kSourceUnsupported;
        case MessageId::kSourceInUse:
            return texts::kSourceInUse;
        case MessageId::kWrongVersion:
            return converterTexts(pair).wrongVersion;
        case MessageId::kTemplateMissing:
            return texts::kTemplateMissing;
        case MessageId::kConverted:
            return texts::kConverted;
        case MessageId::kRowsLost:
            return texts::kRowsLost;
        case MessageId::kTooLarge:
            return texts::kTooLarge;
        case MessageId::kNoDestination:
            return texts::kNoDestination;
        case MessageId::kSaveFailed:
            return texts::kSaveFailed;
        case MessageId::kDestinationInUse:
            return texts::kDestinationInUse;

        case MessageId::kSaved:
            return texts::kSavedMessage;
    }
    return texts::kSourceInvalid;
}

}  // namespace vkdc
