// Builds Qt windows from the designs of convert/window_design.h: the window's own settings,
// then its controls and lines, each where, and as, the design puts it.
#pragma once

#include <QFont>
#include <Qt>

#include <functional>

#include "convert/window_design.h"

class QWidget;

namespace vkdc::ui {

// The window flags of a kind of window: fixed title-bar buttons, and dialogs as dialogs.
Qt::WindowFlags windowFlagsOf(WindowKind kind);

// Gives `window` the design's object name, caption, flags, window font and icon; dialogs are
// made modal. The size is the caller's: a menu bar or a frame may lie around the client area.
void applyWindowDesign(QWidget* window, const WindowDesign& design);

using FontOf = std::function<QFont(FontRole)>;

// Makes every control of `design` that has a window of its own, in the design's order, as a
// child of `client` (the window's client area) or of its frame there, and draws its lines:
// object name, geometry, caption, font (from `fonts`, designFont by default), colour, layout
// direction, alignment, initial visibility and enabled state, bindings, and the Tab order.
// A control without a tab index takes no focus; a left-aligned label is widened to its text
// where our fonts, wider than Tahoma, would clip it. `client` must have its final size.
// Data controls are left to the caller, who finds their frames by name.
void buildControls(const WindowDesign& design, QWidget* client, const FontOf& fonts = {});

}  // namespace vkdc::ui
