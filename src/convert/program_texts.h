// The fixed texts of the launcher, its About message and the guide, as UTF-8 strings that any
// window toolkit can show; the converter windows' texts are in converter_texts.h. The Persian
// texts keep their Arabic Yeh (U+064A) and Keheh (U+06A9) and the blanks at their ends
// exactly; those blanks belong to the texts.
#pragma once

#include <string>

namespace vkdc::texts {

// The launcher.
inline constexpr char kProgramTitle[] = "Velkor Database Convert";  // caption, About's title
inline constexpr char kOpen12[] = "تبديل بانک نسخه 1 به نسخه 2";    // Command1
inline constexpr char kOpen23[] = "تبديل بانک نسخه 2 به نسخه 3";    // Command2
inline constexpr char kAboutMenu[] = " درباره ";

// The maker's details: the About message, the launcher's Label2 and the site About opens.
inline constexpr char kMakerAuthor[] = "Velkor Tools Team";
inline constexpr char kMakerEmail[] = "support@velkor.example";
inline constexpr char kMakerHost[] = "www.velkor.example";
inline constexpr char kMakerUrl[] = "https://www.velkor.example";

// The guide: its caption, the three step headings and the instructions under them. The
// headings have two blanks before the parenthesis; the inner double quotes belong to the text.
inline constexpr char kGuideTitle[] = "Guide";
inline constexpr char kGuideStep1[] = "Step 1  (Open Backup)";
inline constexpr char kGuideStep2[] = "Step 2  (Convert Database)";
inline constexpr char kGuideStep3[] = "Step 3  (Save Backup)";
inline constexpr char kGuideBrowseOpen[] = "Click \"Browse...\" and insert address of backup file";
inline constexpr char kGuideAnalyse[] = "Click \"Analysis Database\"";
inline constexpr char kGuideConvert[] = "Click \"Start Convert Database\"";
inline constexpr char kGuideBrowseSave[] = "Click \"Browse...\" and insert address for backup file";
inline constexpr char kGuideSave[] = "Click \"Save Database\"";

}  // namespace vkdc::texts

namespace vkdc {

// The About message: the title, an empty line, then the author, e-mail and web lines, joined
// by "\n" (each face turns that into its own line break).
std::string aboutText();

// What the launcher's Label2 shows: "© " and the maker's host name.
std::string makerSignature();

}  // namespace vkdc
