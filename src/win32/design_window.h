// A Win32 window made from its design (convert/window_design.h) alone: the window's kind,
// caption, client size, background, picture, menu and lines, and every control of the design
// with its place, caption, font, colour, direction, state and Tab order. Nothing of a design
// is written here again.
//
// Frames hold their controls in the design; here those controls are the window's own children
// placed over their frame, so every click reaches the window. Data controls have no window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/window_design.h"
#include "win32/window.h"

namespace vkdc::win32 {

class DesignWindow : public Window {
  public:
    ~DesignWindow() override;

    const WindowDesign& design() const { return *design_; }

  protected:
    // Makes the window of `design`, hidden, owned by `owner`. False when the system refuses.
    bool build(const WindowDesign& design, HWND owner);
    // A click of the button or the menu item named `name` in the design.
    virtual void onClick(const std::string& name);

    void onCommand(int id, int code, HWND control) override;
    LRESULT handleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

  private:
    struct Shown {
        HWND control;
        HBITMAP bitmap;
    };

    const WindowDesign* design_ = nullptr;
    std::vector<Shown> pictures_;  // of the picture controls
};

// The control identifier (GetDlgCtrlID) of the control `name` in windows made from `design`;
// 0 when the design has no such control. Fixed by the design, so another program can find a
// control of a running window.
int controlId(const WindowDesign& design, std::string_view name);

// The design's colour as a Windows colour; `fallback` (a GetSysColor index) for the default.
COLORREF windowsColour(Colour colour, int fallback);

// The font of a design's font role.
FontSpec fontSpec(FontRole role);

// The bitmap resource compiled from an installed picture ("banner-vkdc12.png"); 0 for none.
int pictureResource(const std::string& file_name);

// The Win32 styles of a design's window kind.
struct KindStyle {
    DWORD style;
    DWORD ex_style;
};
KindStyle kindStyle(WindowKind kind);

}  // namespace vkdc::win32
