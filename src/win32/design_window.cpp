#include "win32/design_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "jet/win32.h"
#include "win32/dpi.h"
#include "win32/progress_bar.h"
#include "win32/resource_ids.h"
#include "win32/shaped_text.h"

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
            // Drawn by the window (drawFrame): its caption colour and a line cut exactly
            // around the caption, which the system's group box gives neither.
            return {WC_STATICW, SS_OWNERDRAW, ex_style};
        case ControlKind::kProgressBar:
            return {PROGRESS_CLASSW, PBS_SMOOTH, ex_style};
        case ControlKind::kPicture:
            return {WC_STATICW, SS_OWNERDRAW, ex_style};
        case ControlKind::kLabel:
        case ControlKind::kDataControl:
            break;
    }
    // A label is drawn by the window too (drawLabel), placed by its shaped width.
    return {WC_STATICW, SS_OWNERDRAW, ex_style};
}

// The text of `control` (its caption as set now), its font selected into `dc`.
std::wstring textOf(HWND control, HDC dc) {
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

int textHeight(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    return metrics.tmHeight;
}

void drawLabel(const DRAWITEMSTRUCT& item, const ControlDesign& design, HBRUSH background) {
    HDC dc = item.hDC;
    const RECT& box = item.rcItem;
    FillRect(dc, &box, background);
    const std::wstring text = textOf(item.hwndItem, dc);
    const int width = shapedWidth(dc, text);
    int x = box.left;
    if (design.align == Align::kRight)
        x = box.right - width;
    else if (design.align == Align::kCentre)
        x = box.left + (box.right - box.left - width) / 2;
    const int y = design.middle ? box.top + (box.bottom - box.top - textHeight(dc)) / 2 : box.top;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, windowsColour(design.colour, COLOR_WINDOWTEXT));
    drawShapedText(dc, x, y, text);
}

// An etched border from half the caption's height down, the caption over it near one end:
// the left, or the right where the frame reads right to left.
void drawFrame(const DRAWITEMSTRUCT& item, const ControlDesign& design, HBRUSH background,
               unsigned dpi) {
    HDC dc = item.hDC;
    const DWORD layout = GetLayout(dc);
    SetLayout(dc, 0);  // placed here in screen order, so the caption is never mirrored
    const RECT& box = item.rcItem;
    FillRect(dc, &box, background);
    const std::wstring text = textOf(item.hwndItem, dc);
    const int height = textHeight(dc);
    RECT border{box.left, box.top + height / 2, box.right, box.bottom};
    DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
        const int inset = MulDiv(8, static_cast<int>(dpi), kBaseDpi);
        const int width = std::min<int>(shapedWidth(dc, text, design.rightToLeft),
                                        box.right - box.left - 2 * inset);
        RECT caption{box.left + inset, box.top, box.left + inset + width, box.top + height};
        if (design.rightToLeft)
            OffsetRect(&caption, box.right - box.left - 2 * inset - width, 0);
        FillRect(dc, &caption, background);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, windowsColour(design.colour, COLOR_WINDOWTEXT));
        SaveDC(dc);
        IntersectClipRect(dc, caption.left, caption.top, caption.right, caption.bottom);
        drawShapedText(dc, caption.left, caption.top, text, design.rightToLeft);
        RestoreDC(dc, -1);
    }
    SetLayout(dc, layout);
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

int controlId(const WindowDesign& design, std::string_view name) {
    const ControlDesign* control = findControl(design, name);
    return control ? kFirstControlId + static_cast<int>(control - design.controls.data()) : 0;
}

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
        placement.fit_text = control->kind == ControlKind::kLabel && control->align == Align::kLeft;
        DWORD style = made.style | WS_CLIPSIBLINGS;
        if (shownInDesign(design, *control))
            style |= WS_VISIBLE;
        if (!control->enabled)
            style |= WS_DISABLED;
        const int id = controlId(design, control->name);
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
        const int index = static_cast<int>(item->CtlID) - kFirstControlId;
        if (index < 0 || index >= static_cast<int>(design_->controls.size()))
            return FALSE;
        const ControlDesign& control = design_->controls[static_cast<size_t>(index)];
        if (control.kind == ControlKind::kLabel) {
            drawLabel(*item, control, backgroundBrush());
        } else if (control.kind == ControlKind::kFrame) {
            drawFrame(*item, control, backgroundBrush(), dpi());
        } else {
            FillRect(item->hDC, &item->rcItem, backgroundBrush());
            for (const Shown& shown : pictures_) {
                if (shown.control == item->hwndItem)
                    drawBitmap(item->hDC, shown.bitmap, {item->rcItem.left, item->rcItem.top},
                               dpi(), item->rcItem);
            }
        }
        return TRUE;
    }
    return Window::handleMessage(message, wparam, lparam);
}

}  // namespace vkdc::win32
