// The fixed texts of the converter windows: what differs between VKDC12 and VKDC23, and the
// messages both show. The Persian texts keep their Arabic Yeh (U+064A) and Keheh (U+06A9)
// and the blanks at their ends exactly; those blanks belong to the texts.
#pragma once

#include <QString>

#include "store/version_pair.h"

namespace vkdc {

struct ConverterTexts {
    QString window;          // object name: "VKDC12"
    QString caption;         // "VKDC v1.0 to v2.0"
    QString openTitle;       // title of the open dialog `Opens`
    QString openFileName;    // its preset file name; also what a browse takes for no choice
    QString saveTitle;       // title of the save dialog `Saves`
    QString saveFilterName;  // "Velkor v2.0 Backup File"
    QString banner;          // picture file of `Image1`
    QString wrongVersion;    // message for a source that the pair's password does not open
};

const ConverterTexts& converterTexts(PairId id);

namespace texts {

// Frames, labels and buttons.
inline const QString kStep1Frame = QStringLiteral(" مرحله 1 (وارد کردن فايل بکاپ) ");
inline const QString kStep2Frame = QStringLiteral(" مرحله 2 (ذخيره فايل بانک اطلاعات) ");
inline const QString kBrowse = QStringLiteral("انتخاب");
inline const QString kConvert = QStringLiteral("تبديل بانک اطلاعات");
inline const QString kSave = QStringLiteral("ذخيره بانک اطلاعات");
inline const QString kAnalyse = QStringLiteral("تحليل اطلاعات");
inline const QString kFileLabel = QStringLiteral(":فايل");
inline const QString kAddressLabel = QStringLiteral(":آدرس");
inline const QString kNotYet = QStringLiteral("...");
inline const QString kAnalysed = QStringLiteral("تحليل انجام شد");
inline const QString kSaved = QStringLiteral("ذخيره شد.");

// Dialog values both windows share.
inline const QString kDesignFolder = QStringLiteral("D:\\");
inline const QString kOpenFilterName = QStringLiteral("Velkor Backup(*.mdb,*.dbb)");
inline const QString kSaveFileName = QStringLiteral("VKDB");

// Messages.
inline const QString kNoSourcePath = QStringLiteral(" لطفاً آدرس فايل بکاپ را وارد کنيد ");
inline const QString kConverted = QStringLiteral(" تبديل اطلاعات به نسخه جديد انجام شد ");
inline const QString kNoDestination = QStringLiteral(" لطفاً آدرس محل ذخيره فايل را وارد کنيد ");
inline const QString kSavedMessage =
    QStringLiteral(" بانک اطلاعات جديد در آدرس وارد شده ذخيره شد ");

// Messages for the faults the windows report beyond the design.
inline const QString kSourceMissing = QStringLiteral(" فايل بکاپ پيدا نشد ");
inline const QString kSourceUnreadable = QStringLiteral(" فايل بکاپ خوانده نشد ");
inline const QString kSourceInvalid = QStringLiteral(" اين فايل بانک اطلاعات معتبر نيست ");
inline const QString kSourceUnsupported =
    QStringLiteral(" نسخه اين فايل بانک اطلاعات پشتيباني نمي شود ");
inline const QString kNotVersion1 = QStringLiteral(" اين فايل بانک اطلاعات نسخه 1 نيست ");
inline const QString kNotVersion2 = QStringLiteral(" اين فايل بانک اطلاعات نسخه 2 نيست ");
inline const QString kRowsLost = QStringLiteral(" برخي رکوردها منتقل نشدند ");
inline const QString kTemplateMissing = QStringLiteral(" فايل الگوي بانک اطلاعات پيدا نشد ");
inline const QString kSaveFailed = QStringLiteral(" بانک اطلاعات جديد ذخيره نشد ");
inline const QString kTooLarge =
    QStringLiteral(" بانک اطلاعات جديد از حد 2 گيگابايت فايل بزرگتر مي شود و ذخيره نمي شود ");

}  // namespace texts
}  // namespace vkdc
