#include "convert/window_design.h"

#include <algorithm>

#include "convert/converter_texts.h"
#include "convert/program_texts.h"

namespace vkdc {
namespace {

constexpr Colour kLabelGrey = 0x00404040;
constexpr Colour kLineGrey = 0x00E0E0E0;
constexpr Colour kHeadingGreen = 0x00008000;
constexpr Colour kBlack = 0x00000000;

ControlDesign control(std::string name, ControlKind kind, std::string container, Rect rect,
                      std::string caption = {}) {
    ControlDesign c;
    c.name = std::move(name);
    c.kind = kind;
    c.container = std::move(container);
    c.rect = rect;
    c.caption = std::move(caption);
    return c;
}

WindowDesign makeLauncher() {
    WindowDesign w;
    w.name = "Main";
    w.caption = texts::kProgramTitle;
    w.kind = WindowKind::kMain;
    w.clientWidth = 6375;
    w.clientHeight = 5355;
    w.background = kSystemWindow;
    w.picture = "banner-main.png";
    w.iconSizes = {16};
    w.menu = {{"About", texts::kAboutMenu}};

    struct Button {
        const char* name;
        const char* caption;
        int top;
    };
    const Button buttons[] = {{"Command1", texts::kOpen12, 1920},
                              {"Command2", texts::kOpen23, 3480}};
    for (const Button& b : buttons) {
        ControlDesign button =
            control(b.name, ControlKind::kButton, {}, {1200, b.top, 3975, 1215}, b.caption);
        button.font = FontRole::kLauncherButton;
        button.tabIndex = static_cast<int>(w.controls.size());
        w.controls.push_back(button);
    }
    ControlDesign label2 =
        control("Label2", ControlKind::kLabel, {}, {120, 5040, 1455, 255}, makerSignature());
    label2.colour = kLabelGrey;
    label2.middle = true;
    label2.tabIndex = 2;
    w.controls.push_back(label2);
    // Just below the banner (1560 twips = its 104 pixels), across the whole client width.
    w.lines = {{"Line1", {-120, 1560}, {6480, 1560}, 1, kLineGrey}};
    return w;
}

WindowDesign makeGuide() {
    WindowDesign w;
    w.name = "Guide";
    w.caption = texts::kGuideTitle;
    w.kind = WindowKind::kToolDialog;
    w.clientWidth = 4935;
    w.clientHeight = 3855;
    w.iconSizes = {189, 48, 32, 24, 16};

    struct Label {
        const char* name;
        Rect rect;
        const char* caption;
        bool heading;
    };
    const Label labels[] = {
        {"Label1", {240, 240, 2055, 255}, texts::kGuideStep1, true},
        {"Label6", {240, 1560, 2535, 255}, texts::kGuideStep2, true},
        {"Label8", {240, 2520, 2055, 255}, texts::kGuideStep3, true},
        {"Label2", {960, 720, 3855, 255}, texts::kGuideBrowseOpen, false},
        {"Label3", {960, 1080, 2055, 255}, texts::kGuideAnalyse, false},
        {"Label5", {960, 2040, 2415, 255}, texts::kGuideConvert, false},
        {"Label7", {960, 3000, 3855, 255}, texts::kGuideBrowseSave, false},
        {"Label4", {960, 3360, 2055, 255}, texts::kGuideSave, false},
    };
    for (const Label& l : labels) {
        ControlDesign label = control(l.name, ControlKind::kLabel, {}, l.rect, l.caption);
        if (l.heading) {
            label.font = FontRole::kGuideHeading;
            label.colour = kHeadingGreen;
        }
        w.controls.push_back(label);
    }
    // A stem under each heading and a branch to each instruction; the design's thicker line
    // setting (3) for all eight.
    const std::pair<const char*, std::pair<Point, Point>> lines[] = {
        {"Line1", {{480, 480}, {480, 1200}}},  {"Line3", {{480, 840}, {960, 840}}},
        {"Line2", {{480, 1200}, {960, 1200}}}, {"Line6", {{480, 1800}, {480, 2160}}},
        {"Line4", {{480, 2160}, {960, 2160}}}, {"Line8", {{480, 2760}, {480, 3480}}},
        {"Line5", {{480, 3120}, {960, 3120}}}, {"Line7", {{480, 3480}, {960, 3480}}},
    };
    for (const auto& [name, ends] : lines)
        w.lines.push_back({name, ends.first, ends.second, 3, kBlack});
    return w;
}

// One step frame of the converter: a path box with its caption label at the right, the browse
// button at the left, the action button centred below, and the hidden flag label.
void addStep(WindowDesign& w, const char* frame_name, int top, const char* frame_caption,
             const char* label_name, const char* label_caption, const char* box_name, int box_width,
             const char* browse_name, const char* action_name, const char* action_caption,
             const char* flag_name, int first_tab) {
    ControlDesign frame =
        control(frame_name, ControlKind::kFrame, {}, {120, top, 5415, 1815}, frame_caption);
    frame.font = FontRole::kFrame;
    frame.colour = kSystemHighlight;
    frame.rightToLeft = true;
    w.controls.push_back(frame);

    // Made before the path box, so the box lies over the label's spare left edge.
    ControlDesign label =
        control(label_name, ControlKind::kLabel, frame_name, {4680, 400, 495, 255}, label_caption);
    label.align = Align::kRight;
    w.controls.push_back(label);

    ControlDesign box =
        control(box_name, ControlKind::kTextBox, frame_name, {1200, 360, box_width, 375});
    box.font = FontRole::kFrame;
    box.tabIndex = first_tab;
    w.controls.push_back(box);

    ControlDesign browse = control(browse_name, ControlKind::kButton, frame_name,
                                   {240, 350, 975, 400}, texts::kBrowse);
    browse.tabIndex = first_tab + 1;
    browse.rightToLeft = true;
    w.controls.push_back(browse);

    ControlDesign action = control(action_name, ControlKind::kButton, frame_name,
                                   {1560, 960, 2175, 615}, action_caption);
    action.tabIndex = first_tab + 2;
    action.rightToLeft = true;
    w.controls.push_back(action);

    // Never shown; keeps the Highlight colour and right alignment all the same.
    ControlDesign flag =
        control(flag_name, ControlKind::kLabel, frame_name, {240, 1320, 4935, 255}, texts::kNotYet);
    flag.colour = kSystemHighlight;
    flag.align = Align::kRight;
    flag.visible = false;
    w.controls.push_back(flag);
}

WindowDesign makeConverter(PairId id) {
    const ConverterTexts& own = converterTexts(id);
    const VersionPair& pair = versionPair(id);
    WindowDesign w;
    w.name = own.window;
    w.caption = own.caption;
    w.kind = WindowKind::kDialog;
    w.clientWidth = 5655;
    w.clientHeight = 4815;
    w.iconSizes = {16};

    ControlDesign image = control("Image1", ControlKind::kPicture, {}, {120, 0, 5415, 840});
    image.picture = own.banner;
    w.controls.push_back(image);

    addStep(w, "Vel_Frame1", 960, texts::kStep1Frame, "Label5", texts::kFileLabel, "Text1", 3570,
            "BrowseOpen", "ConvertDB", texts::kConvert, "Label3", 0);
    // Shown over ConvertDB while a long conversion runs; it inherits the frame's font.
    ControlDesign progress =
        control("Progress", ControlKind::kProgressBar, "Vel_Frame1", {240, 1020, 4935, 495});
    progress.font = FontRole::kFrame;
    progress.visible = false;
    progress.rightToLeft = true;
    w.controls.push_back(progress);
    // Step 2 starts disabled; its path box is 85 twips narrower than step 1's.
    addStep(w, "Vel_Frame3", 2880, texts::kStep2Frame, "Label6", texts::kAddressLabel, "Text2",
            3485, "BrowseSave", "SaveDB", texts::kSave, "Label1", 3);
    for (const char* name : {"Text2", "BrowseSave", "SaveDB"}) {
        const auto it = std::find_if(w.controls.begin(), w.controls.end(),
                                     [name](const ControlDesign& c) { return c.name == name; });
        it->enabled = false;
    }

    // The analysis has a button of its own that the user never sees; ConvertDB runs it.
    ControlDesign analysis =
        control("AnalysisDB", ControlKind::kButton, {}, {5880, 4080, 1335, 495}, texts::kAnalyse);
    analysis.visible = false;
    w.controls.push_back(analysis);

    // The four table frames lie outside the client area and stay hidden. Each holds what the
    // design binds there: the table's two data controls, a box per column on each side and
    // the table operation's button.
    const Point origins[4] = {{5880, 0}, {11040, 0}, {5880, 4800}, {11040, 4800}};
    for (size_t t = 0; t < pair.tables.size(); ++t) {
        const TablePair& table = pair.tables[t];
        ControlDesign frame = control(table.frame, ControlKind::kFrame, {},
                                      {origins[t].x, origins[t].y, 4935, 4695}, table.table);
        frame.visible = false;
        w.controls.push_back(frame);
        for (const std::string& name : {table.old_control, table.new_control}) {
            ControlDesign data = control(name, ControlKind::kDataControl, table.frame, {});
            data.visible = false;
            w.controls.push_back(data);
        }
        int top = 240;
        for (const FieldPair& field : table.fields) {
            if (field.old_box) {
                ControlDesign box = control(*field.old_box, ControlKind::kTextBox, table.frame,
                                            {120, top, 2280, 255});
                box.dataSource = table.old_control;
                box.dataField = *field.source_column;
                w.controls.push_back(box);
            }
            ControlDesign box =
                control(field.new_box, ControlKind::kTextBox, table.frame, {2520, top, 2280, 255});
            box.dataSource = table.new_control;
            box.dataField = field.target_column;
            w.controls.push_back(box);
            top += 270;
        }
        w.controls.push_back(control(table.operation, ControlKind::kButton, table.frame,
                                     {120, 4320, 2280, 255}, table.operation));
    }
    return w;
}

}  // namespace

const WindowDesign& launcherDesign() {
    static const WindowDesign design = makeLauncher();
    return design;
}

const WindowDesign& guideDesign() {
    static const WindowDesign design = makeGuide();
    return design;
}

const WindowDesign& converterDesign(PairId pair) {
    static const WindowDesign v12 = makeConverter(PairId::k10to20);
    static const WindowDesign v23 = makeConverter(PairId::k20to30);
    return pair == PairId::k10to20 ? v12 : v23;
}

const ControlDesign* findControl(const WindowDesign& window, std::string_view name) {
    for (const ControlDesign& c : window.controls) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

std::vector<const ControlDesign*> tabOrder(const WindowDesign& window) {
    std::vector<const ControlDesign*> order;
    for (const ControlDesign& c : window.controls) {
        const bool focusable = c.kind == ControlKind::kButton || c.kind == ControlKind::kTextBox;
        if (focusable && c.tabIndex >= 0)
            order.push_back(&c);
    }
    std::stable_sort(
        order.begin(), order.end(),
        [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

}  // namespace vkdc
