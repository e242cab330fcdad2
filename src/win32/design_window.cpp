#include "win32/design_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "jet/win32.h"
#include "win32/progress_bar.h"
#include "win32/resource_ids.h"
#include "win32/text.h"

namespace vkdc::win32 {
namespace {

using jet::win::widen;

constexpr int kFirstControlId = 1000;
constexpr int kFirstMenuId = 100;

// The control's rectangle in the window's client area: its own, moved by every frame
// that holds it.
Twips placeInClient(const WindowDesign& design, const ControlDesign& control) {
    Twips place{control.rect.left, control.rect.top, control.rect.width, control.rect.height};
    for (const ControlDesign* c = &control; !c->container.empty();) {
        c = findControl(design, c->container);
        if (!c)
            break;
        place.left += c->rect.left;
        place.top += c->rect.top;
    }
    return place;
}

// Shown when the control and every frame holding it are.
bool shownInDesign(const WindowDesign& design, const ControlDesign& control) {
    for (const ControlDesign* c = &control; c; c = findControl(design, c->container)) {
        if (!c->visible)
            return false;
        if (c->container.empty())
            break;
    }
    return true;
}

struct Made {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style;
};

Made windowFor(const ControlDesign& control) {
    DWORD ex_style = control.rightToLeft ? WS_EX_LAYOUTRTL : 0;
    const DWORD tab = control.tabIndex >= 0 ? WS_TABSTOP : 0;
    switch (control.kind) {
        case ControlKind::kButton:
            return {WC_BUTTONW, BS_PUSHBUTTON | tab, ex_style};
        case ControlKind::kTextBox:
            // A path reads in order: a text box never mirrors.
            return {WC_EDITW, ES_AUTOHSCROLL | tab, WS_EX_CLIENTEDGE};
        case ControlKind::kFrame:
            return {WC_BUTTONW, BS_GROUPBOX, ex_style};
        case ControlKind::kProgressBar:
            return {PROGRESS_CLASSW, PBS_SMOOTH, ex_style};
        case ControlKind::kPicture:
            return {WC_STATICW, SS_OWNERDRAW, ex_style};
        case ControlKind::kLabel:
        case ControlKind::kDataControl:
            break;
    }
    DWORD align = SS_LEFT;
    if (control.align == Align::kRight)
        align = SS_RIGHT;
    else if (control.align == Align::kCentre)
        align = SS_CENTER;
    return {WC_STATICW, align | SS_NOPREFIX | (control.middle ? SS_CENTERIMAGE : 0), ex_style};
}

// The stacking of the controls, top first, which is also the Tab order of the focusable ones:
// the Tab sequence first, then the other controls with a later one over an earlier one, and
// the frames at the bottom, under everything they hold.
std::vector<const ControlDesign*> stacking(const WindowDesign& design) {
    std::vector<const ControlDesign*> order = tabOrder(design);
    std::vector<const ControlDesign*> frames;
    for (auto it = design.controls.rbegin(); it != design.controls.rend(); ++it) {
        const ControlDesign& c = *it;
        if (c.kind == ControlKind::kDataControl ||
            std::find(order.begin(), order.end(), &c) != order.end())
            continue;
        (c.kind == ControlKind::kFrame ? frames : order).push_back(&c);
    }
    order.insert(order.end(), frames.begin(), frames.end());
    return order;
}

}  // namespace

COLORREF windowsColour(Colour colour, int fallback) {
    if (colour == kDefaultColour)
        return GetSysColor(fallback);
    if (isSystemColour(colour))
        return GetSysColor(systemColourIndex(colour));
    return RGB(red(colour), green(colour), blue(colour));
}

FontSpec fontSpec(FontRole role) {
    const FontDesign font = fontOf(role);
    return {static_cast<int>(std::lround(font.points * 100)), font.bold, font.underline};
}

int pictureResource(const std::string& file_name) {
    if (file_name == "banner-main.png")
        return VKDC_IDB_BANNER_MAIN;
    if (file_name == "banner-vkdc12.png")
        return VKDC_IDB_BANNER_VKDC12;
    if (file_name == "banner-vkdc23.png")
        return VKDC_IDB_BANNER_VKDC23;
    return 0;
}

KindStyle kindStyle(WindowKind kind) {
    switch (kind) {
        case WindowKind::kMain:
            return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_APPWINDOW};
        case WindowKind::kDialog:
            return {WS_POPUP | WS_CAPTION | WS_SYSMENU, 0};
        case WindowKind::kToolDialog:
            return {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW};
    }
    return {WS_POPUP | WS_CAPTION | WS_SYSMENU, 0};
}

DesignWindow::~DesignWindow() {
    for (const Shown& shown : pictures_)
        DeleteObject(shown.bitmap);
}

bool DesignWindow::build(const WindowDesign& design, HWND owner) {
    design_ = &design;
    WindowLook look;
    look.caption = widen(design.caption);
    const KindStyle kind = kindStyle(design.kind);
    look.style = kind.style;
    look.ex_style = kind.ex_style;
    look.client_width = design.clientWidth;
    look.client_height = design.clientHeight;
    look.font = fontSpec(FontRole::kWindow);
    look.background = windowsColour(design.background, COLOR_BTNFACE);

    HMENU menu = nullptr;
    if (!design.menu.empty()) {
        menu = CreateMenu();
        for (size_t i = 0; i < design.menu.size(); ++i) {
            AppendMenuW(menu, MF_STRING, kFirstMenuId + i, widen(design.menu[i].caption).c_str());
        }
    }
    if (!create(look, owner, menu)) {
        if (menu)
            DestroyMenu(menu);
        return false;
    }
    if (const int picture = pictureResource(design.picture))
        addPicture(design.picture, picture, {0, 0});
    for (const LineDesign& line : design.lines) {
        addLine(line.name, {line.from.x, line.from.y}, {line.to.x, line.to.y}, line.width,
                windowsColour(line.colour, COLOR_WINDOWTEXT));
    }

    for (const ControlDesign* control : stacking(design)) {
        const Made made = windowFor(*control);
        Placement placement;
        placement.name = control->name;
        placement.rect = placeInClient(design, *control);
        placement.font = fontSpec(control->font);
        if (control->colour != kDefaultColour)
            placement.text_colour = windowsColour(control->colour, COLOR_WINDOWTEXT);
        placement.fit_text = control->kind == ControlKind::kLabel &&
                             control->align == Align::kLeft &&
                             !readsRightToLeft(widen(control->caption));
        DWORD style = made.style | WS_CLIPSIBLINGS;
        if (shownInDesign(design, *control))
            style |= WS_VISIBLE;
        if (!control->enabled)
            style |= WS_DISABLED;
        const int id = kFirstControlId + static_cast<int>(control - design.controls.data());
        HWND hwnd =
            addControl(made.window_class, widen(control->caption), style, made.ex_style, placement,
                       id, control->kind == ControlKind::kProgressBar ? &showPercentage : nullptr);
        if (!hwnd)
            continue;
        if (control->kind == ControlKind::kPicture) {
            if (HBITMAP bitmap = loadBitmap(pictureResource(control->picture)))
                pictures_.push_back({hwnd, bitmap});
        }
    }
    return true;
}

void DesignWindow::onClick(const std::string&) {}

void DesignWindow::onCommand(int id, int code, HWND control) {
    if (!control && id >= kFirstMenuId &&
        id < kFirstMenuId + static_cast<int>(design_->menu.size())) {
        onClick(design_->menu[static_cast<size_t>(id - kFirstMenuId)].name);
        return;
    }
    const int index = id - kFirstControlId;
    if (control && code == BN_CLICKED && index >= 0 &&
        index < static_cast<int>(design_->controls.size()) &&
        design_->controls[static_cast<size_t>(index)].kind == ControlKind::kButton) {
        onClick(design_->controls[static_cast<size_t>(index)].name);
    }
}

LRESULT DesignWindow::handleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        for (const Shown& shown : pictures_) {
            if (shown.control != item->hwndItem)
                continue;
            FillRect(item->hDC, &item->rcItem, backgroundBrush());
            drawBitmap(item->hDC, shown.bitmap, {item->rcItem.left, item->rcItem.top}, dpi(),
                       item->rcItem);
            return TRUE;
        }
    }
    return Window::handleMessage(message, wparam, lparam);
}

}  // namespace vkdc::win32
