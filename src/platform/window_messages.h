// The message model of the graph windows: window handles, the messages a window handles, and the
// packing of their parameters.
#pragma once

#include <cstdint>

namespace melvox {

// A window handle: 0 for none. The windows the library makes have handles of 2^32 and up, so they never
// equal an X11 window id (29 bits), which a host may give as the parent of the graphs.
using HWND = uint64_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

constexpr uint32_t WM_DESTROY = 0x0002;     // the window is being destroyed (its children first)
constexpr uint32_t WM_SIZE = 0x0005;        // resized; lParam: client width (low word), height (high word)
constexpr uint32_t WM_PAINT = 0x000F;       // part of the window needs drawing: BeginPaint, draw, EndPaint
constexpr uint32_t WM_CLOSE = 0x0010;       // a top-level window's close button was pressed
constexpr uint32_t WM_ERASEBKGND = 0x0014;  // sent by BeginPaint before painting an erased area
constexpr uint32_t WM_CHAR = 0x0102;        // a key was typed; wParam: its character (Latin-1)
constexpr uint32_t WM_MOUSEMOVE = 0x0200;   // lParam: x (low word), y (high word), client coordinates
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_USER = 0x0400;  // WM_USER + n: a window's private messages

// wParam of the mouse messages: the left button is held.
constexpr WPARAM MK_LBUTTON = 0x0001;
// wParam of WM_SIZE.
constexpr WPARAM SIZE_RESTORED = 0;

// Two 16-bit values in one parameter, low word first; each coordinate is taken as a signed 16-bit value.
constexpr LPARAM MAKELPARAM(int32_t low, int32_t high) {
  return static_cast<LPARAM>((static_cast<uint32_t>(low) & 0xFFFFu) | ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr uint16_t LOWORD(LPARAM value) { return static_cast<uint16_t>(static_cast<uintptr_t>(value) & 0xFFFFu); }
constexpr uint16_t HIWORD(LPARAM value) {
  return static_cast<uint16_t>((static_cast<uintptr_t>(value) >> 16) & 0xFFFFu);
}
constexpr int32_t GET_X_LPARAM(LPARAM value) { return static_cast<int16_t>(LOWORD(value)); }
constexpr int32_t GET_Y_LPARAM(LPARAM value) { return static_cast<int16_t>(HIWORD(value)); }

}  // namespace melvox
