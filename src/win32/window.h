// A top-level window of the Win32 face, with what every design shares: a fixed client area
// given in twips, centred on its monitor, controls placed in twips with fonts in points, all
// scaled to the window's DPI and again when it changes (WM_DPICHANGED). Pictures and lines are
// painted by the window itself, as the designs' lightweight Image and Line controls are.
//
// Subclasses build their controls with addControl() and answer clicks in onCommand(). Modal
// showing (runModal) disables the owner until endModal(); the program's message loops give the
// window the first look at its keys (previewKey).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "win32/fonts.h"

namespace vkdc::win32 {

// A rectangle of a design, in twips.
struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// How a top-level window looks. It is never resizable.
struct WindowLook {
    std::wstring caption;
    DWORD style = WS_CAPTION | WS_SYSMENU;
    DWORD ex_style = 0;
    int client_width = 0;  // twips
    int client_height = 0;
    COLORREF background = GetSysColor(COLOR_BTNFACE);
};

// One control as its design places it.
struct Placement {
    std::string name;
    Twips rect;  // in the client area
    FontSpec font{};
    // A label is widened to its text where the font needs more room than the design gave
    // (never past the client area).
    bool fit_text = false;
};

class Window {
  public:
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }
    unsigned dpi() const { return dpi_; }

    // The window of ours that `hwnd` is, or nullptr for any other window.
    static Window* fromHandle(HWND hwnd);

    // The control placed under `name`, or nullptr; and the placement of a control of ours.
    HWND control(std::string_view name) const;
    const Placement* placement(HWND control) const;

    // A key press (WM_KEYDOWN and the like) for this window or one of its controls, before the
    // control sees it. True when the key was taken. By default Enter clicks the focused push
    // button (there is no default button, so Enter elsewhere does nothing) and no other key
    // is taken.
    virtual bool previewKey(const MSG& msg);

    // Shows the window over its owner and returns once endModal() ran or WM_QUIT arrived. The
    // owner takes no input meanwhile.
    void runModal();
    bool isModal() const { return modal_; }
    // Ends runModal: the owner gets its input back, then this window hides.
    void endModal();
    // Centres the window on the work area of its owner's monitor (its own without an owner).
    void centre();
    // Puts the focus on `control`, and back there whenever the window is active again.
    void focus(HWND control);

    // Paints the client area into `dc` as the screen shows it (WM_PRINTCLIENT does the same).
    void paintClient(HDC dc);

  protected:
    Window() = default;

    // Makes the window, hidden, sized for its client area at its DPI. False when the system
    // refuses (the reason is in GetLastError).
    bool create(const WindowLook& look, HWND owner, HMENU menu = nullptr);
    // A child control with `id` (its WM_COMMAND identifier); placed and given its font now and
    // again at every change of DPI. The first controls made come first in the Tab order.
    // `prepare`, when given, runs on the new control before it is placed (a subclass that
    // must see its font).
    HWND addControl(const wchar_t* window_class, const std::wstring& text, DWORD style,
                    DWORD ex_style, const Placement& placement, int id,
                    void (*prepare)(HWND) = nullptr);
    // A bitmap resource painted at its own size (at 96 dpi; scaled with the DPI), its top left
    // corner at `at` (twips).
    void addPicture(std::string name, int resource_id, POINT at);
    // A line from (x1, y1) to (x2, y2) in twips, `pixels` wide at 96 dpi.
    void addLine(std::string name, POINT from, POINT to, int pixels, COLORREF colour);

    // The brush of the client area's background.
    HBRUSH backgroundBrush() const { return background_; }

    virtual LRESULT handleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    // A click (BN_CLICKED), a menu item, or another notification of a control.
    virtual void onCommand(int id, int code, HWND control);
    // The title bar's close button or Alt+F4; by default ends the modal showing.
    virtual void onCloseRequest();
    // The window has just been shown by runModal.
    virtual void onShown() {}

  private:
    struct Child {
        HWND hwnd;
        Placement placement;
    };
    struct Picture {
        std::string name;
        HBITMAP bitmap;
        POINT at;
    };
    struct Line {
        std::string name;
        POINT from;
        POINT to;
        int pixels;
        COLORREF colour;
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    void layout();
    void placeChild(const Child& child);
    void setIcons();

    HWND hwnd_ = nullptr;
    unsigned dpi_ = 96;
    WindowLook look_;
    Fonts fonts_;
    HBRUSH background_ = nullptr;
    HICON icons_[2] = {nullptr, nullptr};  // small, big
    std::vector<Child> children_;
    std::vector<Picture> pictures_;
    std::vector<Line> lines_;
    HWND last_focus_ = nullptr;  // given back when the window is active again
    bool modal_ = false;
    bool owner_disabled_ = false;  // by runModal, so only then endModal enables it again
};

// A bitmap resource of the program; nullptr when it is missing. The caller deletes it.
HBITMAP loadBitmap(int resource_id);

// Paints `bitmap` at its own size, scaled from 96 dpi to `dpi`, its top left corner at `at`
// (pixels), cut to `clip`.
void drawBitmap(HDC dc, HBITMAP bitmap, POINT at, unsigned dpi, const RECT& clip);

}  // namespace vkdc::win32
