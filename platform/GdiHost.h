// The host side of GDI: the screen surface that the display backends show, and the contexts that the
// window layer hands out (GetDC of a window, BeginPaint). No counterpart on the device.
#pragma once

#include "platform/WinGdi.h"

// The screen: a DIB section of PlatformScreenWidth() x PlatformScreenHeight() at the screen's depth
// (16 bits: 565 bit fields; 32 bits: plain RGB), bottom-up, created on first use and re-created when
// the screen settings change while no screen context is out. It cannot be selected or deleted; read
// its pixels with GetObject (DIBSECTION).
HBITMAP PlatformGetScreenBitmap();

// A context that draws on the screen surface with its logical (0, 0) at screen point (originX, originY)
// and clipped to clip (screen coordinates; NULL: the whole screen). Free it with DeleteDC.
HDC PlatformCreateScreenDC(int originX, int originY, const RECT* clip);

// GetDC(hWnd) with a window asks this for the window's client origin and visible client rectangle,
// both in screen coordinates; FALSE means no such window (GetDC fails, ERROR_INVALID_WINDOW_HANDLE).
typedef BOOL (*PlatformWindowDcProvider)(HWND hWnd, POINT* origin, RECT* clip);
void PlatformSetWindowDcProvider(PlatformWindowDcProvider provider);

// ReleaseDC of a screen or window context reports the screen rectangle it could draw on, so that the
// display shows what was drawn outside painting (animations draw through GetDC between frames).
typedef void (*PlatformScreenDcReleased)(const RECT* screenRect);
void PlatformSetScreenDcReleaseHook(PlatformScreenDcReleased hook);

// How many GDI objects (bitmaps, brushes, pens, fonts, contexts; stock objects excluded) are alive:
// tests use it to find leaks.
int PlatformGdiObjectCount();
