// Inside the platform: what a display backend gives the window manager. One backend per process,
// chosen at start-up (Display.h). Both backends show the same screen surface (GdiHost.h), so
// drawing code never touches a backend.
#pragma once

#include "platform/WinTypes.h"

#include <string>

// Input as the window manager queues it, in screen coordinates, with the time it happened.
struct InputEvent {
    enum class Kind { PenDown, PenMove, PenUp, KeyDown, KeyUp, Char, Close, Quit };
    Kind kind = Kind::PenMove;
    int x = 0;
    int y = 0;
    UINT code = 0; // virtual key, or a UTF-16 unit
    DWORD time = 0;
};

// Where backends deliver input (the window manager's input queue).
void PlatformQueueInput(const InputEvent& event);

class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    virtual const char* Name() const = 0;
    // The first message loop asked for a message: scripts start now.
    virtual void Begin() {}
    // The clock GetTickCount reads.
    virtual DWORD Now() = 0;
    // Called when the queue is idle: moves what is due (backend events, script steps) into the input
    // queue or runs it; true when something happened.
    virtual bool Pump() = 0;
    // The clock time of the next scripted event; INFINITE when none is known.
    virtual DWORD NextEventTime() { return INFINITE; }
    // True when nothing can ever arrive from the backend again.
    virtual bool Exhausted() { return false; }
    // Waits for input or until the deadline (INFINITE: no deadline); the virtual clock jumps.
    virtual void Wait(DWORD deadline) = 0;
    // Another thread posted a message: end a Wait early.
    virtual void Wake() {}
    // A rectangle of the screen surface changed (screen coordinates): after a paint, or when a
    // screen or window context is released.
    virtual void Present(const RECT& rect) { (void)rect; }
    virtual void SetWaitCursor(bool wait) { (void)wait; }
    // Bring the backend's window to the front of the host's desktop.
    virtual void Raise() {}
};
