// The program's message loops. Every loop gives a window of ours the first look at each key
// pressed in it (the designs' key preview: Esc, F1 and Enter), then lets IsDialogMessageW move
// the focus with Tab, then dispatches. Modal windows run a loop of their own until they close.
#pragma once

#include <windows.h>

#include <functional>

namespace vkdc::win32 {

// One message through the key preview and the Tab handling of the window of ours it is for,
// then dispatched.
void dispatchMessage(MSG& msg);

// A double click on a button that opens `shown` must not click what lies under the pointer in
// it: a press in `shown` that follows the last release of the left button within the
// double-click time is dropped, with the rest of its gesture up to its release. The first
// press past that time, or in another window, ends the guard. Keys are never affected.
void guardClicks(HWND shown);

// Runs until WM_QUIT and returns its exit code.
int runMessageLoop();

// Runs until `done()` holds, checked after every message. On WM_QUIT it posts the quit again,
// for the loops outside it, and returns false.
bool runMessageLoopUntil(const std::function<bool()>& done);

// Lets the screen catch up while the thread is busy: paint and timer messages are dispatched.
// Input is not: a key or mouse message for a window of ours is handed to `input` (which may
// act on it, or drop it) or, without one, dropped, so nothing typed or clicked while busy
// takes effect later. The title bar's buttons still work through `input`.
void pumpPaintAndTimers(const std::function<void(const MSG&)>& input = {});

}  // namespace vkdc::win32
