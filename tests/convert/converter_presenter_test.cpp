// The converter windows' flow without a window: the presenter over a scripted view that
// records what it was told, on real database files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "convert/converter_presenter.h"
#include "jet/pager.h"
#include "jet/writer.h"
#include "store/templates.h"
#include "support/damage.h"
#include "support/files.h"

namespace vkdc {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;

// Shows nothing: keeps what it was told, answers file dialogs from a script (an empty answer,
// or none left, is a cancel) and asks the presenter on unload, as a window does on any close.
class ScriptedView : public ConverterView {
  public:
    std::map<Control, bool> enabled;
    std::map<Control, bool> visible;
    std::map<Control, std::string> texts;
    Control focus = Control::kLabel1;  // never focused: "nothing yet"
    std::vector<Message> messages;
    std::vector<PathRequest> asks;
    std::deque<std::string> answers;
    std::map<std::string, std::pair<std::string, std::string>> connections;
    std::vector<std::string> connectionOrder;
    int value = -1;
    int maximum = -1;
    int paints = 0;
    int guides = 0;
    bool unloaded = false;
    bool ended = false;
    std::function<void()> whileMessageShown;
    std::function<void()> whileConverting;  // at each progress report
    ConverterPresenter* presenter = nullptr;

    void setControlEnabled(Control c, bool on) override { enabled[c] = on; }
    void setControlVisible(Control c, bool on) override { visible[c] = on; }
    void setControlText(Control c, const std::string& text) override { texts[c] = text; }
    std::string controlText(Control c) const override {
        const auto it = texts.find(c);
        return it == texts.end() ? std::string() : it->second;
    }
    void focusControl(Control c) override { focus = c; }
    void showMessage(const Message& message) override {
        messages.push_back(message);
        if (whileMessageShown)
            whileMessageShown();
    }
    std::string askPath(const PathRequest& request) override {
        asks.push_back(request);
        if (answers.empty())
            return {};
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void showProgress(int v, int max) override {
        value = v;
        maximum = max;
        if (whileConverting && max > 0)
            whileConverting();
    }
    void paintNow() override { ++paints; }
    void showConnection(const std::string& control, const std::string& connection,
                        const std::string& record_source) override {
        connections[control] = {connection, record_source};
        if (!connection.empty())
            connectionOrder.push_back(control);
    }
    void openGuide() override { ++guides; }
    void unload() override { unloaded = presenter->close(); }
    void endProgram() override { ended = true; }

    // The enabled flags of both steps, "+" for enabled: one row of the state table.
    std::string steps() const {
        static const std::pair<Control, const char*> names[] = {
            {Control::kText1, "Text1"},         {Control::kBrowseOpen, "BrowseOpen"},
            {Control::kConvertDB, "ConvertDB"}, {Control::kAnalysisDB, "AnalysisDB"},
            {Control::kText2, "Text2"},         {Control::kBrowseSave, "BrowseSave"},
            {Control::kSaveDB, "SaveDB"}};
        std::string row;
        for (const auto& [control, name] : names) {
            const auto it = enabled.find(control);
            const char* mark = it == enabled.end() ? "?" : (it->second ? "+" : "-");
            row += std::string(row.empty() ? "" : " ") + name + mark;
        }
        return row;
    }
    std::vector<MessageId> ids() const {
        std::vector<MessageId> seen;
        for (const Message& m : messages)
            seen.push_back(m.id);
        return seen;
    }
};

constexpr char kAtStart[] = "Text1+ BrowseOpen+ ConvertDB+ AnalysisDB+ Text2- BrowseSave- SaveDB-";
constexpr char kAnalysed[] = "Text1- BrowseOpen- ConvertDB+ AnalysisDB+ Text2- BrowseSave- SaveDB-";
constexpr char kConverted[] =
    "Text1- BrowseOpen- ConvertDB- AnalysisDB+ Text2+ BrowseSave+ SaveDB-";

std::string pairName(const ::testing::TestParamInfo<PairId>& info) {
    return info.param == PairId::k10to20 ? "VKDC12" : "VKDC23";
}

// A database with the tables of `tables_of` behind the password of `password_of`; `narrow`
// shortens Table_User.UserName to one character.
void writeDatabase(const std::string& path, const std::string& tables_of,
                   const std::string& password_of, bool narrow = false) {
    auto writer =
        jet::Writer::create(path, {.password = jet::fromUtf8(passwordOfVersion(password_of))});
    ASSERT_TRUE(writer.isOk()) << writer.status().toString();
    const auto tables = schemaOf(tables_of);
    ASSERT_TRUE(tables.isOk());
    for (jet::TableSpec table : *tables) {
        if (narrow && table.name == "Table_User")
            table.columns[0].length = 1;
        ASSERT_TRUE((*writer)->createTable(table).isOk());
    }
    ASSERT_TRUE((*writer)->close().isOk());
}

class ConverterPresenterTest : public ::testing::TestWithParam<PairId> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        templates_ = dir_.file("share");
        work_ = dir_.file("work");
        fs::create_directory(templates_);
        fs::create_directory(work_);
        ASSERT_TRUE(makeTemplate(pair().target_version, installed()).isOk());
        presenter_ = makePresenter(view_, templates_);
        presenter_->load();
    }

    std::unique_ptr<ConverterPresenter> makePresenter(ScriptedView& view,
                                                      const std::string& templates) {
        auto presenter = std::make_unique<ConverterPresenter>(GetParam(), view);
        presenter->setTemplateDir(templates);
        presenter->setWorkDir(work_);
        view.presenter = presenter.get();
        return presenter;
    }

    const VersionPair& pair() const { return versionPair(GetParam()); }
    std::string installed() const { return templates_ + "/" + pair().template_file; }
    std::string source(const std::string& name, uint32_t contacts = 3) {
        const std::string path = dir_.file(name);
        SampleOptions options;
        options.contacts = contacts;
        EXPECT_TRUE(makeSample(pair().source_version, path, options).isOk());
        return path;
    }
    // What typing a path into Text1 and clicking ConvertDB does.
    void convertFrom(const std::string& path) {
        view_.texts[Control::kText1] = path;
        presenter_->convert();
    }
    void saveTo(const std::string& path) {
        view_.texts[Control::kText2] = path;
        presenter_->save();
    }
    const char* text(MessageId id) const { return messageText(GetParam(), id); }

    TempDir dir_;
    std::string templates_;
    std::string work_;
    ScriptedView view_;
    std::unique_ptr<ConverterPresenter> presenter_;
};

TEST_P(ConverterPresenterTest, EachShowingStartsFromTheDesignState) {
    const std::string src = source("s.dbb");
    for (int showing = 0; showing < 2; ++showing) {
        EXPECT_EQ(view_.steps(), kAtStart);
        EXPECT_EQ(view_.texts[Control::kText1], "");
        EXPECT_EQ(view_.texts[Control::kText2], "");
        EXPECT_EQ(view_.texts[Control::kLabel3], "...");
        EXPECT_EQ(view_.texts[Control::kLabel1], "...");
        EXPECT_TRUE(view_.visible[Control::kConvertDB]);
        EXPECT_FALSE(view_.visible[Control::kProgress]);
        EXPECT_EQ(view_.maximum, 0) << "an empty bar";
        EXPECT_EQ(view_.focus, Control::kBrowseOpen);
        EXPECT_EQ(view_.connections.size(), 8u);
        for (const auto& [control, connection] : view_.connections)
            EXPECT_EQ(connection.first + connection.second, "") << control;
        EXPECT_EQ(presenter_->conversion(), nullptr);
        EXPECT_TRUE(fs::is_empty(work_));

        // Half a wizard, then closed.
        view_.answers = {dir_.file("chosen.dbb")};
        presenter_->browseOpen();
        convertFrom(src);
        view_.answers = {dir_.file("out.dbb")};
        presenter_->browseSave();
        ASSERT_EQ(view_.steps(),
                  "Text1- BrowseOpen- ConvertDB- AnalysisDB+ Text2+ BrowseSave+ SaveDB+");
        ASSERT_TRUE(presenter_->close());
        EXPECT_EQ(presenter_->conversion(), nullptr) << "closing drops the working copy";
        EXPECT_TRUE(fs::is_empty(work_));
        EXPECT_FALSE(fs::exists(dir_.file("out.dbb")));
        view_.focus = Control::kLabel1;
        presenter_->load();
    }
    // The dialogs are back to their preset names too.
    view_.asks.clear();
    presenter_->browseOpen();
    presenter_->browseSave();
    ASSERT_EQ(view_.asks.size(), 2u);
    EXPECT_EQ(view_.asks[0].initialPath, presenter_->texts().openFileName);
    EXPECT_EQ(view_.asks[1].initialPath, "VKDB");
}

TEST_P(ConverterPresenterTest, BrowsingOffersThePresetsAndKeepsTheLastChoice) {
    const bool v12 = GetParam() == PairId::k10to20;
    struct Step {
        Control box;
        Control unlocks;
        std::function<void()> browse;
    };
    const Step steps[] = {
        {Control::kText1, Control::kAnalysisDB, [&] { presenter_->browseOpen(); }},
        {Control::kText2, Control::kSaveDB, [&] { presenter_->browseSave(); }}};
    view_.enabled[Control::kAnalysisDB] = false;  // to see the browse enable it
    for (const Step& step : steps) {
        // A first cancel leaves the box empty: the preset name never stays in it.
        view_.texts[step.box] = "typed";
        step.browse();
        EXPECT_EQ(view_.texts[step.box], "");
        EXPECT_FALSE(view_.enabled[step.unlocks]);
        // A choice fills the box and unlocks the next control.
        const std::string chosen = dir_.file(step.box == Control::kText1 ? "old.dbb" : "new.dbb");
        view_.answers = {chosen};
        step.browse();
        EXPECT_EQ(view_.texts[step.box], chosen);
        EXPECT_TRUE(view_.enabled[step.unlocks]);
        // A later cancel brings the last choice back over a hand edit; the dialog opens on it.
        view_.texts[step.box] = "edited by hand";
        step.browse();
        EXPECT_EQ(view_.asks.back().initialPath, chosen);
        EXPECT_EQ(view_.texts[step.box], chosen);
        EXPECT_TRUE(view_.enabled[step.unlocks]);
    }
    ASSERT_EQ(view_.asks.size(), 6u);
    const PathRequest& open = view_.asks[0];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.objectName, "Opens");
    EXPECT_EQ(open.title, v12 ? "وارد کردن فايل پشتيبان نسخه 1 ولکور" : "Import");
    EXPECT_EQ(open.initialPath, v12 ? "Velkor-DB.dbb" : "VKDB.dbb");
    EXPECT_EQ(open.folder, "D:\\");
    EXPECT_EQ(open.filterName, "Velkor Backup(*.mdb,*.dbb)");
    EXPECT_EQ(open.patterns, (std::vector<std::string>{"*.mdb", "*.dbb"}));
    const PathRequest& save = view_.asks[3];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.objectName, "Saves");
    EXPECT_EQ(save.title, v12 ? "پشتيبان گيري" : "Export");
    EXPECT_EQ(save.initialPath, "VKDB");
    EXPECT_EQ(save.folder, "D:\\");
    EXPECT_EQ(save.filterName, v12 ? "Velkor v2.0 Backup File" : "Velkor v3.0 Backup File");
    EXPECT_EQ(save.patterns, std::vector<std::string>{"*.dbb"});
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_TRUE(fs::is_empty(work_)) << "browsing opens nothing";
}

TEST_P(ConverterPresenterTest, AWholeConversionWalksTheStateTable) {
    const std::string src = source("old.dbb");
    const std::string dest = dir_.file("new.dbb");

    // The hidden analysis on its own: step 1 locks, the eight controls connect in order.
    view_.texts[Control::kText1] = src;
    ASSERT_TRUE(presenter_->analyse());
    EXPECT_EQ(view_.steps(), kAnalysed);
    EXPECT_EQ(view_.texts[Control::kLabel3], "تحليل انجام شد");
    EXPECT_EQ(view_.connectionOrder, pair().controlsInOrder());
    for (const TablePair& table : pair().tables) {
        EXPECT_NE(view_.connections[table.old_control].first.find(src), std::string::npos);
        EXPECT_EQ(view_.connections[table.new_control].second, "SELECT * FROM " + table.table);
    }
    EXPECT_TRUE(view_.messages.empty());

    presenter_->convert();
    ASSERT_EQ(view_.ids(), std::vector<MessageId>{MessageId::kConverted});
    EXPECT_EQ(view_.messages[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(view_.messages[0].text, " تبديل اطلاعات به نسخه جديد انجام شد ");
    EXPECT_EQ(view_.messages[0].detail, "");
    EXPECT_EQ(view_.steps(), kConverted);
    EXPECT_EQ(presenter_->report().totalLost(), 0u);

    view_.answers = {dest};
    presenter_->browseSave();
    EXPECT_TRUE(view_.enabled[Control::kSaveDB]);
    EXPECT_FALSE(fs::exists(dest)) << "browsing writes nothing";
    // Label1 is set before the confirmation shows; then the window unloads, the program ends.
    std::string label1_during_message;
    view_.whileMessageShown = [&] { label1_during_message = view_.texts[Control::kLabel1]; };
    presenter_->save();
    ASSERT_EQ(view_.messages.size(), 2u);
    EXPECT_EQ(view_.messages[1].id, MessageId::kSaved);
    EXPECT_EQ(view_.messages[1].icon, MessageIcon::kInformation);
    EXPECT_EQ(view_.messages[1].text, " بانک اطلاعات جديد در آدرس وارد شده ذخيره شد ");
    EXPECT_EQ(label1_during_message, "ذخيره شد.");
    EXPECT_TRUE(view_.unloaded);
    EXPECT_TRUE(view_.ended);
    EXPECT_EQ(presenter_->conversion(), nullptr);
    EXPECT_TRUE(fs::is_empty(work_));
    EXPECT_TRUE(verifyConversion(pair(), src, dest).ok());
}

// Every way step 1 can fail has its own warning, with the cause in the details; the step stays
// open for another source.
TEST_P(ConverterPresenterTest, EachSourceProblemHasItsMessageAndStepOneStaysOpen) {
    const std::string junk = dir_.file("junk.dbb");
    std::ofstream(junk) << std::string(8192, 'x');
    const std::string next = dir_.file("next.mdb");  // the next version behind this one's password
    writeDatabase(next, pair().target_version, pair().source_version);
    const std::string other = dir_.file("other.mdb");
    writeDatabase(other, GetParam() == PairId::k10to20 ? "2.0" : "1.0",
                  GetParam() == PairId::k10to20 ? "2.0" : "1.0");
    const std::string later = source("later.accdb");  // the version byte of an .accdb file
    {
        std::fstream f(later, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(0x14);
        f.put('\x02');
    }
    const std::string fifo = testing_support::specialFiles(dir_.path()).at(0);
    const std::string busy = source("busy.dbb");
    std::ofstream{dir_.file("busy.ldb")};
    testing_support::HeldFile held(dir_.file("busy.ldb"));
    ASSERT_TRUE(held.held());
    struct Case {
        std::string path;
        MessageId id;
    };
    std::vector<Case> cases = {
        {"", MessageId::kNoSourcePath},
        {dir_.file("missing.dbb"), MessageId::kSourceMissing},
        {"   ", MessageId::kSourceMissing},
        {dir_.path(), MessageId::kSourceUnreadable},
        {fifo, MessageId::kSourceUnreadable},
        {junk, MessageId::kSourceInvalid},
        {later, MessageId::kSourceUnsupported},
        {busy, MessageId::kSourceInUse},
        {other, MessageId::kWrongVersion},
        {next, MessageId::kWrongVersion},
    };
    if (const std::string corpus = testing_support::testdataDir(); !corpus.empty())
        cases.push_back(
            {corpus + "/files/jackcess-V2007-testV2007.accdb", MessageId::kSourceUnsupported});
    for (const Case& c : cases) {
        view_.messages.clear();
        view_.focus = Control::kBrowseOpen;
        convertFrom(c.path);
        ASSERT_EQ(view_.ids(), std::vector<MessageId>{c.id}) << c.path;
        EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
        EXPECT_EQ(view_.messages[0].text, text(c.id));
        EXPECT_EQ(view_.messages[0].detail.empty(), c.id == MessageId::kNoSourcePath) << c.path;
        EXPECT_EQ(view_.focus, Control::kText1);
        EXPECT_EQ(view_.steps(), kAtStart) << c.path;
        EXPECT_EQ(view_.texts[Control::kLabel3], "...");
        if (c.id == MessageId::kNoSourcePath) {
            EXPECT_EQ(presenter_->conversion(), nullptr) << "an empty path touches nothing";
        }
    }
    EXPECT_EQ(text(MessageId::kWrongVersion), presenter_->texts().wrongVersion);
    // Another file then converts.
    view_.messages.clear();
    convertFrom(source("good.dbb"));
    EXPECT_EQ(view_.ids(), std::vector<MessageId>{MessageId::kConverted});

    // A template that is missing, or holds rows: one message for both.
    for (const bool missing : {true, false}) {
        ScriptedView view;
        auto presenter = makePresenter(view, missing ? dir_.file("nowhere") : templates_);
        if (!missing) {
            auto w =
                jet::Writer::open(installed(), {.password = jet::fromUtf8(pair().target_password)});
            ASSERT_TRUE(w.isOk());
            const jet::Value n = jet::Null{};
            ASSERT_TRUE((*w)->append("Table_User", {std::u16string(u"earlier"), n, n, n}).isOk());
            ASSERT_TRUE((*w)->close().isOk());
        }
        presenter->load();
        view.texts[Control::kText1] = dir_.file("good.dbb");
        presenter->convert();
        ASSERT_EQ(view.ids(), std::vector<MessageId>{MessageId::kTemplateMissing});
        EXPECT_EQ(view.messages[0].text, " فايل الگوي بانک اطلاعات پيدا نشد ");
        EXPECT_EQ(view.steps(), kAtStart);
        EXPECT_TRUE(presenter->report().tables.empty());
    }
}

// Only the analysis of the click counts: an earlier one of a file since gone converts nothing.
TEST_P(ConverterPresenterTest, ASourceGoneSinceTheAnalysisIsNotReportedAsConverted) {
    const std::string src = source("old.dbb");
    view_.texts[Control::kText1] = src;
    ASSERT_TRUE(presenter_->analyse());
    fs::remove(src);
    presenter_->convert();
    EXPECT_EQ(view_.ids(), std::vector<MessageId>{MessageId::kSourceMissing});
    EXPECT_TRUE(view_.enabled[Control::kConvertDB]);
    EXPECT_FALSE(view_.enabled[Control::kBrowseSave]);
}

TEST_P(ConverterPresenterTest, LostRowsAreListedPerTableAfterTheCompletionMessage) {
    // Rows the template cannot hold: UserName of one character.
    const std::string narrow = dir_.file("narrow");
    fs::create_directory(narrow);
    writeDatabase(narrow + "/" + pair().template_file, pair().target_version, pair().target_version,
                  true);
    ScriptedView view;
    auto presenter = makePresenter(view, narrow);
    presenter->load();
    view.texts[Control::kText1] = source("s.dbb");
    presenter->convert();
    ASSERT_EQ(view.ids(), (std::vector<MessageId>{MessageId::kConverted, MessageId::kRowsLost}));
    EXPECT_EQ(view.messages[1].icon, MessageIcon::kWarning);
    EXPECT_EQ(view.messages[1].text, " برخي رکوردها منتقل نشدند ");
    const uint64_t users = presenter->report().tables[0].read;
    ASSERT_GT(users, 0u);
    // The counts per table, each followed by its first reasons.
    const std::string& detail = view.messages[1].detail;
    EXPECT_EQ(detail.rfind("Table_User: " + std::to_string(users) + "\n  row 1: ", 0), 0u)
        << detail;
    for (const char* line : {"\nTable_Site: 0", "\nTable_Category: 0", "\nTable_Contact: 0"})
        EXPECT_NE(detail.find(line), std::string::npos) << detail;
    EXPECT_NE(detail.find("UserName"), std::string::npos) << detail;
    EXPECT_EQ(view.steps(), kConverted) << "what was read can still be saved";

    // Rows a damaged source hides from the reader: its definition counts them.
    const std::string damaged = source("damaged.dbb");
    ASSERT_TRUE(testing_support::setDeclaredRows(damaged, "Table_Contact",
                                                 jet::fromUtf8(pair().source_password), 5));
    convertFrom(damaged);
    ASSERT_EQ(view_.ids(), (std::vector<MessageId>{MessageId::kConverted, MessageId::kRowsLost}));
    EXPECT_NE(view_.messages[1].detail.find("Table_User: 0\n"), std::string::npos);
    EXPECT_NE(view_.messages[1].detail.find("Table_Contact: 2"), std::string::npos)
        << view_.messages[1].detail;
    EXPECT_EQ(view_.steps(), kConverted);

    // Damage that keeps every count: the table's findings follow its count.
    const std::string retyped = source("retyped.dbb");
    ASSERT_TRUE(testing_support::setColumnType(
        retyped, "Table_Category", jet::fromUtf8(pair().source_password), "Category", 0x02));
    view_.messages.clear();
    convertFrom(retyped);
    ASSERT_EQ(view_.ids(), (std::vector<MessageId>{MessageId::kConverted, MessageId::kRowsLost}));
    EXPECT_NE(view_.messages[1].detail.find("Table_Category: 0\n  Table_Category: page "),
              std::string::npos)
        << view_.messages[1].detail;
    EXPECT_NE(view_.messages[1].detail.find(": column Category: a Byte column is 1 byte, not 510"),
              std::string::npos)
        << view_.messages[1].detail;
    EXPECT_EQ(view_.steps(), kConverted);
}

TEST_P(ConverterPresenterTest, AResultPastTheSizeLimitOnlyWarnsAndStepTwoStaysClosed) {
    const std::string src = source("s.dbb");
    jet::setPageLimitForTesting(26);  // the template's 24 pages and hardly a row more
    convertFrom(src);
    jet::setPageLimitForTesting(0);
    ASSERT_EQ(view_.ids(), std::vector<MessageId>{MessageId::kTooLarge}) << "no completion message";
    EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
    EXPECT_EQ(view_.messages[0].text,
              " بانک اطلاعات جديد از حد 2 گيگابايت فايل بزرگتر مي شود و ذخيره نمي شود ");
    EXPECT_EQ(view_.steps(),
              "Text1- BrowseOpen- ConvertDB- AnalysisDB+ Text2- BrowseSave- SaveDB-");
}

// A working copy that cannot be written (a full temporary folder) is a failed save with the
// system's reason, not lost rows: no completion message, and step 2 stays closed.
TEST_P(ConverterPresenterTest, AWorkingCopyThatCannotBeWrittenIsAFailedSave) {
#ifdef _WIN32
    GTEST_SKIP() << "a file-size limit stands in for a full folder on POSIX only";
#else
    const std::string src = source("s.dbb", 4000);
    // The template fits under the limit, the converted rows do not: they are several times
    // what the pager keeps in memory, so pages far past the limit are written during convert().
    rlimit old_limit;
    ASSERT_EQ(0, ::getrlimit(RLIMIT_FSIZE, &old_limit));
    rlimit limit = old_limit;
    limit.rlim_cur = 300 * 1024;
    const auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, ::setrlimit(RLIMIT_FSIZE, &limit));
    convertFrom(src);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    ::signal(SIGXFSZ, old_handler);
    ASSERT_EQ(view_.ids(), std::vector<MessageId>{MessageId::kSaveFailed});
    EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
    EXPECT_NE(view_.messages[0].detail.find(std::strerror(EFBIG)), std::string::npos)
        << view_.messages[0].detail;
    EXPECT_EQ(view_.steps(),
              "Text1- BrowseOpen- ConvertDB- AnalysisDB+ Text2- BrowseSave- SaveDB-");
#endif
}

// Destinations that name no place the user chose, or would destroy the source or a template,
// or replace a FIFO: refused, and the window stays for another path.
TEST_P(ConverterPresenterTest, UnsafeDestinationsAreRefusedAndTheWindowStays) {
    const std::string src = source("old.dbb");
    const std::string source_bytes = *testing_support::readFile(src);
    const std::string template_bytes = *testing_support::readFile(installed());
    const std::string hard = dir_.file("hard.dbb");
    fs::create_hard_link(src, hard);
    const std::string fifo = testing_support::specialFiles(dir_.path()).at(0);
    const std::string busy = dir_.file("busy.dbb");  // the contact manager has it open
    std::ofstream(busy) << "older";
    std::ofstream{dir_.file("busy.ldb")};
    testing_support::HeldFile held(dir_.file("busy.ldb"));
    ASSERT_TRUE(held.held());
    convertFrom(src);
    const struct {
        std::string path;
        MessageId id;
    } cases[] = {
        {"", MessageId::kNoDestination},
        {"   ", MessageId::kNoDestination},
        {"relative.dbb", MessageId::kNoDestination},
        {" " + dir_.file("x.dbb"), MessageId::kNoDestination},
        {hard, MessageId::kSaveFailed},
        {installed(), MessageId::kSaveFailed},
        {fifo, MessageId::kSaveFailed},
        {dir_.file("no-such-folder/new.dbb"), MessageId::kSaveFailed},
        {busy, MessageId::kDestinationInUse},
    };
    for (const auto& c : cases) {
        view_.messages.clear();
        saveTo(c.path);
        ASSERT_EQ(view_.ids(), std::vector<MessageId>{c.id}) << c.path;
        EXPECT_EQ(view_.messages[0].icon, MessageIcon::kWarning);
        EXPECT_EQ(view_.messages[0].text, text(c.id));
        if (c.id == MessageId::kSaveFailed || c.id == MessageId::kDestinationInUse) {
            EXPECT_NE(view_.messages[0].detail.find(fs::path(c.path).filename().string()),
                      std::string::npos)
                << "the path and the cause, in the details: " << view_.messages[0].detail;
        }
        EXPECT_FALSE(view_.unloaded);
        EXPECT_EQ(view_.texts[Control::kLabel1], "...");
    }
    EXPECT_EQ(*testing_support::readFile(src), source_bytes);
    EXPECT_EQ(*testing_support::readFile(installed()), template_bytes);
    EXPECT_EQ(*testing_support::readFile(busy), "older");
    EXPECT_FALSE(fs::exists(dir_.file("relative.dbb")));

    // A private file stays private when it is replaced.
    const std::string mine = dir_.file("mine.dbb");
    std::ofstream(mine) << "older";
    fs::permissions(mine, fs::perms::owner_read | fs::perms::owner_write);
    saveTo(mine);
    EXPECT_EQ(view_.messages.back().id, MessageId::kSaved);
    EXPECT_TRUE(view_.ended);
#ifndef _WIN32  // permission bits are POSIX's; Windows keeps the file's ACL
    EXPECT_EQ(fs::status(mine).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
}

// The bar replaces ConvertDB while a long conversion runs; meanwhile F1 opens no guide. Esc
// afterwards closes the window and deletes the working copy.
TEST_P(ConverterPresenterTest, ProgressAndWhatTheWindowRefusesWhileItRuns) {
    const std::string src = source("old.dbb");
    presenter_->setProgressDelay(std::chrono::milliseconds(0));
    int reports = 0;
    view_.whileConverting = [&] {
        if (reports++ > 0)
            return;
        EXPECT_TRUE(presenter_->busy());
        EXPECT_TRUE(view_.visible[Control::kProgress]);
        EXPECT_FALSE(view_.visible[Control::kConvertDB]);
        presenter_->help();
        EXPECT_EQ(view_.guides, 0);
    };
    convertFrom(src);
    EXPECT_GT(reports, 1);
    EXPECT_EQ(presenter_->progressShown(), 1);
    const int rows = static_cast<int>(presenter_->report().totalRows());
    EXPECT_EQ(view_.maximum, rows);
    EXPECT_EQ(view_.value, rows);
    EXPECT_GE(view_.paints, 2) << "the first report and the last";
    EXPECT_FALSE(view_.visible[Control::kProgress]) << "the bar goes when the work ends";
    EXPECT_TRUE(view_.visible[Control::kConvertDB]);
    EXPECT_FALSE(presenter_->busy());
    presenter_->help();
    EXPECT_EQ(view_.guides, 1);

    // A short conversion under the usual delay shows no bar.
    ScriptedView quiet;
    auto presenter = makePresenter(quiet, templates_);
    presenter->load();
    quiet.texts[Control::kText1] = src;
    presenter->convert();
    EXPECT_EQ(presenter->progressShown(), 0);
    EXPECT_FALSE(quiet.visible[Control::kProgress]);
    EXPECT_EQ(quiet.paints, 0);

    EXPECT_TRUE(presenter_->close());
    EXPECT_TRUE(presenter->close());
    EXPECT_EQ(presenter_->conversion(), nullptr);
    EXPECT_TRUE(fs::is_empty(work_));
}

// Esc or the close button while it runs: the close waits for the work to stop at its next row,
// then the window unloads with no message; the working copy goes and nothing is written.
TEST_P(ConverterPresenterTest, ClosingWhileItRunsStopsItAndWritesNothing) {
    const std::string src = source("old.dbb", 300);
    const std::string source_bytes = *testing_support::readFile(src);
    presenter_->setProgressDelay(std::chrono::milliseconds(0));
    int reports = 0;
    view_.whileConverting = [&] {
        if (++reports == 3) {
            EXPECT_FALSE(presenter_->close()) << "the window stays until the work has stopped";
            EXPECT_FALSE(view_.unloaded);
        }
    };
    convertFrom(src);
    EXPECT_EQ(reports, 3) << "stopped at the next row";
    EXPECT_TRUE(view_.unloaded);
    EXPECT_FALSE(view_.ended);
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_FALSE(presenter_->busy());
    EXPECT_EQ(presenter_->conversion(), nullptr);
    EXPECT_TRUE(fs::is_empty(work_));
    EXPECT_EQ(*testing_support::readFile(src), source_bytes);
}

INSTANTIATE_TEST_SUITE_P(BothPairs, ConverterPresenterTest,
                         ::testing::Values(PairId::k10to20, PairId::k20to30), pairName);

}  // namespace
}  // namespace vkdc
