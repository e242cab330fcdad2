// The fixed texts of the converter windows, as UTF-8 strings that any window toolkit can show:
// what differs between VKDC12 and VKDC23, and the captions, dialog values and messages both
// share. The Persian texts keep their Arabic Yeh (U+064A) and Keheh (U+06A9) and the blanks
// at their ends exactly; those blanks belong to the texts.
#pragma once

#include "store/version_pair.h"

namespace vkdc {

struct ConverterTexts {
    const char* window;          // object name: "VKDC12"
    const char* caption;         // "VKDC v1.0 to v2.0"
    const char* openTitle;       // title of the open dialog `Opens`
    const char* openFileName;    // its preset file name; also what a browse takes for no choice
    const char* saveTitle;       // title of the save dialog `Saves`
    const char* saveFilterName;  // "Velkor v2.0 Backup File"
    const char* banner;          // picture file of `Image1`
    const char* wrongVersion;    // message for a source that the pair's password does not open
};

const ConverterTexts& converterTexts(PairId id);

// Every message a converter window shows, by the outcome it reports.
enum class MessageId {
    kNoSourcePath,       // ConvertDB with an empty path box
    kSourceMissing,      // no file there (or a path of blanks only)
    kSourceUnreadable,   // a folder, FIFO or device, or the system refused to read it
    kSourceInvalid,      // not a Jet database of the pair's source version
    kSourceUnsupported,  // a Jet-family format we do not read
    kSourceInUse,        // the contact manager has the backup open
    kWrongVersion,       // another version of Velkor's database (ConverterTexts::wrongVersion)
    kTemplateMissing,    // the installed template is missing or unusable
    kConverted,          // the conversion ran to its end
    kRowsLost,           // ... but some rows did not reach the new database
    kTooLarge,           // the result would pass the 2 GB limit; nothing can be saved
    kNoDestination,      // SaveDB with an empty, blank or relative destination
    kSaveFailed,         // the destination was refused or could not be written, or the working
                         // copy could not (a full temporary folder)
    kDestinationInUse,   // another program has the destination open
    kSaved,              // the new database is at the destination
};

// The text of `id` in the windows of `pair`.
const char* messageText(PairId pair, MessageId id);

namespace texts {

// Frames, labels and buttons.
inline constexpr char kStep1Frame[] = " مرحله 1 (وارد کردن فايل بکاپ) ";
inline constexpr char kStep2Frame[] = " مرحله 2 (ذخيره فايل بانک اطلاعات) ";
inline constexpr char kBrowse[] = "انتخاب";
inline constexpr char kConvert[] = "تبديل بانک اطلاعات";
inline constexpr char kSave[] = "ذخيره بانک اطلاعات";
inline constexpr char kAnalyse[] = "تحليل اطلاعات";
inline constexpr char kFileLabel[] = ":فايل";
inline constexpr char kAddressLabel[] = ":آدرس";
inline constexpr char kNotYet[] = "...";
inline constexpr char kAnalysed[] = "تحليل انجام شد";
inline constexpr char kSaved[] = "ذخيره شد.";

// The toggle of a message box's details area (the technical lines of a Message).
inline constexpr char kShowDetails[] = "نمايش جزئيات...";
inline constexpr char kHideDetails[] = "پنهان کردن جزئيات...";

// Dialog values both windows share.
inline constexpr char kOpenDialog[] = "Opens";  // object names of the two file dialogs
inline constexpr char kSaveDialog[] = "Saves";
inline constexpr char kDesignFolder[] = "D:\\";
inline constexpr char kOpenFilterName[] = "Velkor Backup(*.mdb,*.dbb)";
inline constexpr char kSaveFileName[] = "VKDB";

// Messages.
inline constexpr char kNoSourcePath[] = " لطفاً آدرس فايل بکاپ را وارد کنيد ";
inline constexpr char kConverted[] = " تبديل اطلاعات به نسخه جديد انجام شد ";
inline constexpr char kNoDestination[] = " لطفاً آدرس محل ذخيره فايل را وارد کنيد ";
inline constexpr char kSavedMessage[] = " بانک اطلاعات جديد در آدرس وارد شده ذخيره شد ";

// Messages for the faults the windows report beyond the design.
inline constexpr char kSourceMissing[] = " فايل بکاپ پيدا نشد ";
inline constexpr char kSourceUnreadable[] = " فايل بکاپ خوانده نشد ";
inline constexpr char kSourceInvalid[] = " اين فايل بانک اطلاعات معتبر نيست ";
inline constexpr char kSourceUnsupported[] = " نسخه اين فايل بانک اطلاعات پشتيباني نمي شود ";
inline constexpr char kSourceInUse[] =
    " فايل بکاپ در حال استفاده است. لطفاً اول برنامه دفترچه تلفن را ببنديد ";
inline constexpr char kNotVersion1[] = " اين فايل بانک اطلاعات نسخه 1 نيست ";
inline constexpr char kNotVersion2[] = " اين فايل بانک اطلاعات نسخه 2 نيست ";
inline constexpr char kRowsLost[] = " برخي رکوردها منتقل نشدند ";
inline constexpr char kTemplateMissing[] = " فايل الگوي بانک اطلاعات پيدا نشد ";
inline constexpr char kSaveFailed[] = " بانک اطلاعات جديد ذخيره نشد ";
inline constexpr char kDestinationInUse[] =
    " فايل مقصد در حال استفاده است. لطفاً اول برنامه اي را که آن را باز کرده ببنديد ";

inline constexpr char kTooLarge[] =
    " بانک اطلاعات جديد از حد 2 گيگابايت فايل بزرگتر مي شود و ذخيره نمي شود ";

}  // namespace texts
}  // namespace vkdc
