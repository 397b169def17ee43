#pragma once

class QKeyEvent;

namespace vovozodo {

// Windows-style virtual key codes for the keys the main window reacts to.
inline constexpr int kVirtualKeyEscape = 27;
inline constexpr int kVirtualKeyNumpad0 = 96;

// The virtual key code of a key press, or 0 for a key no window reacts to.
// The keypad 0 with Num Lock on arrives as Key_0 with the keypad modifier; the
// main keyboard's 0 and the keypad key with Num Lock off are other keys.
int virtualKeyCode(const QKeyEvent &event);

} // namespace vovozodo
