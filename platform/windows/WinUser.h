// Windows and messages: window classes and windows, the per-thread message queue, timers, painting,
// capture, activation, the cursor and the caret, with the names, values and failure rules of the
// device's window manager. The display backend behind them (headless or SDL) is chosen through
// platform/display/Display.h; without a choice the headless backend with its virtual clock serves.
#pragma once

#include "platform/WinTypes.h"
#include "platform/WinGdi.h"

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef WORD ATOM;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef MSG* LPMSG;

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
typedef WNDCLASSW WNDCLASS;

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
typedef CREATESTRUCTW* LPCREATESTRUCTW;

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

// Messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_NCDESTROY 0x0082
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_CAPTURECHANGED 0x0215
#define WM_USER 0x0400
#define WM_APP 0x8000

#define WA_INACTIVE 0
#define WA_ACTIVE 1

#define MK_LBUTTON 0x0001

// Registered window messages take numbers from this range.
#define WM_REGISTERED_FIRST 0xC000
#define WM_REGISTERED_LAST 0xFFFF

#define HWND_BROADCAST ((HWND)(uintptr_t)0xFFFF)
#define HWND_TOP ((HWND)(uintptr_t)0)
#define HWND_BOTTOM ((HWND)(uintptr_t)1)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_BORDER 0x00800000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_EX_TOPMOST 0x00000008L

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008

#define CW_USEDEFAULT ((int)0x80000000)

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9

// SetWindowPos flags.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200

// PeekMessage.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

// GetWindowLong indexes.
#define GWL_WNDPROC (-4)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWL_USERDATA (-21)
#define GWL_ID (-12)

// Virtual keys.
#define VK_LBUTTON 0x01
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_F1 0x70
#define VK_F12 0x7B

// Cursors (LoadCursor with a null instance).
#define IDC_ARROW ((LPCWSTR)(uintptr_t)32512)
#define IDC_WAIT ((LPCWSTR)(uintptr_t)32514)

// ---------------------------------------------------------------------------------------------------
// Classes and windows.

// Registers a class (its name compared ignoring case); 0 and ERROR_CLASS_ALREADY_EXISTS for a name
// already registered.
ATOM RegisterClassW(const WNDCLASSW* wc);
#define RegisterClass RegisterClassW
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE hInstance);

// Sends WM_CREATE (lParam: the CREATESTRUCTW); -1 from it destroys the window and returns NULL. With
// WS_VISIBLE the window shows and, when top-level, becomes the active window.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
#define CreateWindowW(cls, name, style, x, y, w, h, parent, menu, inst, param)                               \
    CreateWindowExW(0, cls, name, style, x, y, w, h, parent, menu, inst, param)
#define CreateWindowEx CreateWindowExW
#define CreateWindow CreateWindowW
// Sends WM_DESTROY to the window and then to its children, then WM_NCDESTROY; its timers die with it.
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
BOOL IsWindowVisible(HWND hWnd);
HWND GetParent(HWND hWnd);
LRESULT DefWindowProcW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
#define DefWindowProc DefWindowProcW
LONG GetWindowLongW(HWND hWnd, int index);
LONG SetWindowLongW(HWND hWnd, int index, LONG value);
#define GetWindowLong GetWindowLongW
#define SetWindowLong SetWindowLongW

BOOL SetWindowTextW(HWND hWnd, LPCWSTR text);
// Copies at most count - 1 units and a terminator; returns the units copied.
int GetWindowTextW(HWND hWnd, LPWSTR text, int count);
int GetWindowTextLengthW(HWND hWnd);
#define SetWindowText SetWindowTextW
#define GetWindowText GetWindowTextW
// The first top-level window with this title (and class, when given): this process's windows first,
// then those of the other processes on the same device.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
#define FindWindow FindWindowW

BOOL ShowWindow(HWND hWnd, int command);
BOOL SetForegroundWindow(HWND hWnd);
HWND GetForegroundWindow();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hWnd);
HWND GetFocus();
HWND SetFocus(HWND hWnd);
BOOL EnableWindow(HWND hWnd, BOOL enable); // TRUE when the window was disabled before
BOOL IsWindowEnabled(HWND hWnd);
BOOL MoveWindow(HWND hWnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL GetClientRect(HWND hWnd, LPRECT rect);
BOOL GetWindowRect(HWND hWnd, LPRECT rect); // screen coordinates
BOOL ClientToScreen(HWND hWnd, LPPOINT point);
BOOL ScreenToClient(HWND hWnd, LPPOINT point);

// ---------------------------------------------------------------------------------------------------
// Messages.

// Blocks until a posted message, input, a due timer or a needed paint; 0 on WM_QUIT, and 0 as well
// once the headless backend knows nothing can ever arrive again (see Display.h). Message order:
// posted messages, then input, then timers, then paints.
BOOL GetMessageW(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Key downs of Backspace, Tab, Return and Escape post their WM_CHAR.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
#define GetMessage GetMessageW
#define PeekMessage PeekMessageW
#define DispatchMessage DispatchMessageW

// HWND_BROADCAST posts to every top-level window of the process and is recorded in the journal.
BOOL PostMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
#define PostMessage PostMessageW
#define SendMessage SendMessageW
// The same number (0xC000..0xFFFF) for the same name, ignoring case; 0 for an empty name.
UINT RegisterWindowMessageW(LPCWSTR name);
#define RegisterWindowMessage RegisterWindowMessageW
DWORD GetMessageTime();

// A window's timer (hWnd given) keeps its identifier, and setting it again restarts it; a thread
// timer (hWnd NULL) gets a new identifier. 0 and ERROR_INVALID_WINDOW_HANDLE for a dead window.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hWnd, UINT_PTR id);

// ---------------------------------------------------------------------------------------------------
// Painting.

// The update region is kept as the union (bounding rectangle) of the invalidated rectangles.
BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hWnd, const RECT* rect);
BOOL GetUpdateRect(HWND hWnd, LPRECT rect, BOOL erase);
BOOL UpdateWindow(HWND hWnd); // sends WM_PAINT now when the update region is not empty
HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint);

// ---------------------------------------------------------------------------------------------------
// Capture, cursor, caret.

// Pen input goes to the capture window wherever the pen is. Changing or releasing the capture sends
// WM_CAPTURECHANGED (lParam: the new capture window) to the one that loses it. A hidden or dead
// window cannot take the capture (NULL, nothing changes).
HWND SetCapture(HWND hWnd);
BOOL ReleaseCapture();
HWND GetCapture();

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
#define LoadCursor LoadCursorW
// Returns the previous cursor; the wait and arrow cursors are recorded in the journal.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

BOOL CreateCaret(HWND hWnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(LPPOINT point);
BOOL ShowCaret(HWND hWnd);
BOOL HideCaret(HWND hWnd);
// The caret blinks: on for this long, off for as long (500 ms unless set; INFINITE: it does not
// blink). It shows inverted pixels, as the display and screenshots show it; a caret that is shown or
// moved starts its blink on.
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT milliseconds);
