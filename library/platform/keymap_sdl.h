// Keyboard scancodes of the SDL host translated to the library's key codes (the DirectInput
// keyboard codes, Escape = 1).
//
// Scancodes are SDL's, which are the USB HID keyboard usages (A = 4, Escape = 41). The table is
// positional, like the key codes: a key reads the same code whatever its legend, except for the
// four keys whose Japanese legend has a code of its own (colon, at sign, circumflex, kanji), which
// read that code while a Japanese layout is active. No SDL header is needed to use this file.
#pragma once

#include <cstdint>
#include <span>

namespace zq {

// One row of a translation table: a scancode and the key code it reads as.
struct ScancodeKey {
    int scancode;
    uint8_t keyCode;
};

// Every key of a US and a Japanese 106/109 keyboard, by position.
std::span<const ScancodeKey> PositionalKeymap();
// The rows that replace positional ones while a Japanese layout is active.
std::span<const ScancodeKey> JapaneseLayoutKeymap();

// Key code of a scancode; 0 for keys without one and for scancodes out of range.
uint8_t KeyCodeForScancode(int scancode, bool japaneseLayout);

}  // namespace zq
