#include "platform/display/sdl/SdlBackend.h"
#include "platform/GdiHost.h"
#include "platform/Platform.h"
#include "platform/WinRect.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"
#include "platform/display/headless/HeadlessBackend.h"
#include "platform/windows/WinUser.h"
#include "platform/windows/WindowManager.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace {

// Waits are cut into slices so that requests from other processes are seen.
const DWORD kWaitSlice = 50;
const DWORD kFrameInterval = 16;

UINT VirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z)
        return static_cast<UINT>('A' + (k - SDLK_a));
    if (k >= SDLK_0 && k <= SDLK_9)
        return static_cast<UINT>('0' + (k - SDLK_0));
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return static_cast<UINT>(VK_F1 + (k - SDLK_F1));
    switch (k) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_END:
            return VK_END;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        default:
            return 0;
    }
}

class SdlBackend : public DisplayBackend {
public:
    SdlBackend(std::vector<ScriptStep> script, int zoom) : m_zoom(std::max(zoom, 1)) {
        m_player.Load(std::move(script));
    }

    bool Open(std::string* error) {
        PlatformUseVirtualClock(FALSE);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            *error = SDL_GetError();
            return false;
        }
        m_sdlUp = true;
        m_width = PlatformScreenWidth();
        m_height = PlatformScreenHeight();
        m_window = SDL_CreateWindow("WceUi", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, m_width * m_zoom,
                                    m_height * m_zoom, SDL_WINDOW_SHOWN);
        if (!m_window) {
            *error = SDL_GetError();
            return false;
        }
        m_renderer = SDL_CreateRenderer(m_window, -1, 0);
        if (!m_renderer)
            m_renderer = SDL_CreateRenderer(m_window, -1, SDL_RENDERER_SOFTWARE);
        if (!m_renderer) {
            *error = SDL_GetError();
            return false;
        }
        m_bpp = PlatformScreenBitsPerPixel() == 32 ? 32 : 16;
        m_texture =
            SDL_CreateTexture(m_renderer, m_bpp == 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565,
                              SDL_TEXTUREACCESS_STREAMING, m_width, m_height);
        if (!m_texture) {
            *error = SDL_GetError();
            return false;
        }
        m_wakeEvent = SDL_RegisterEvents(1);
        m_waitCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT);
        m_arrowCursor = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
        SDL_StartTextInput();
        m_dirty = true;
        return true;
    }

    ~SdlBackend() override {
        if (m_waitCursor)
            SDL_FreeCursor(m_waitCursor);
        if (m_arrowCursor)
            SDL_FreeCursor(m_arrowCursor);
        if (m_texture)
            SDL_DestroyTexture(m_texture);
        if (m_renderer)
            SDL_DestroyRenderer(m_renderer);
        if (m_window)
            SDL_DestroyWindow(m_window);
        if (m_sdlUp)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* Name() const override { return "sdl"; }
    void Begin() override { m_player.Start(Now()); }
    DWORD Now() override { return GetTickCount(); }

    bool Pump() override {
        bool any = false;
        SDL_Event e;
        while (SDL_PollEvent(&e))
            any = Translate(e) || any;
        return PlayDueScriptSteps(m_player, Now()) || any;
    }

    DWORD NextEventTime() override { return m_player.NextTime(); }

    void Wait(DWORD deadline) override {
        // The caret blinks on its own: shown again whenever it comes on, goes off or moves.
        RECT caret{};
        const bool caretOn = WindowManagerCaretOnScreen(Now(), &caret);
        if (m_dirty || caretOn != m_caretOn || (caretOn && !EqualRect(&caret, &m_caret)))
            Flush();
        DWORD now = Now();
        DWORD timeout = kWaitSlice;
        if (deadline != INFINITE) {
            int32_t left = static_cast<int32_t>(deadline - now);
            timeout = left <= 0 ? 0 : std::min<DWORD>(static_cast<DWORD>(left), kWaitSlice);
        }
        if (timeout > 0)
            SDL_WaitEventTimeout(nullptr, static_cast<int>(timeout));
    }

    void Wake() override {
        SDL_Event e{};
        e.type = m_wakeEvent;
        SDL_PushEvent(&e);
    }

    // Frames drawn outside the message loop (animations) show at up to about 60 a second; the rest
    // shows when the loop goes idle.
    void Present(const RECT&) override {
        m_dirty = true;
        DWORD now = Now();
        if (now - m_lastFlush >= kFrameInterval)
            Flush();
    }
    void SetWaitCursor(bool wait) override {
        SDL_Cursor* c = wait ? m_waitCursor : m_arrowCursor;
        if (c)
            SDL_SetCursor(c);
    }
    void Raise() override {
        SDL_ShowWindow(m_window);
        SDL_RaiseWindow(m_window);
    }

private:
    bool Translate(const SDL_Event& e) {
        InputEvent in;
        in.time = Now();
        switch (e.type) {
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button != SDL_BUTTON_LEFT)
                    return false;
                in.kind = e.type == SDL_MOUSEBUTTONDOWN ? InputEvent::Kind::PenDown : InputEvent::Kind::PenUp;
                in.x = e.button.x / m_zoom;
                in.y = e.button.y / m_zoom;
                m_penDown = e.type == SDL_MOUSEBUTTONDOWN;
                SDL_CaptureMouse(m_penDown ? SDL_TRUE : SDL_FALSE);
                break;
            case SDL_MOUSEMOTION:
                if (!m_penDown) // a pen cannot hover
                    return false;
                in.kind = InputEvent::Kind::PenMove;
                in.x = e.motion.x / m_zoom;
                in.y = e.motion.y / m_zoom;
                break;
            case SDL_KEYDOWN:
            case SDL_KEYUP:
                in.code = VirtualKey(e.key.keysym.sym);
                if (!in.code)
                    return false;
                in.kind = e.type == SDL_KEYDOWN ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
                break;
            case SDL_TEXTINPUT: {
                std::u16string text = Utf8ToWide(e.text.text);
                for (char16_t c : text) {
                    if (c == ' ' || c >= 0x20) {
                        InputEvent ch;
                        ch.kind = InputEvent::Kind::Char;
                        ch.code = c;
                        ch.time = in.time;
                        PlatformQueueInput(ch);
                    }
                }
                return !text.empty();
            }
            case SDL_QUIT:
                in.kind = InputEvent::Kind::Close;
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    in.kind = InputEvent::Kind::Close;
                    break;
                }
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                    m_dirty = true;
                return false;
            default:
                return false;
        }
        PlatformQueueInput(in);
        return true;
    }

    // Shows the whole surface (it is small; one copy per idle moment).
    void Flush() {
        m_dirty = false;
        m_lastFlush = Now();
        HBITMAP screen = PlatformGetScreenBitmap();
        DIBSECTION ds{};
        if (!screen || GetObjectW(screen, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits)
            return;
        int w = std::min<int>(ds.dsBm.bmWidth, m_width);
        int h = std::min<int>(ds.dsBm.bmHeight, m_height);
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(m_texture, nullptr, &pixels, &pitch) != 0)
            return;
        const BYTE* bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
        bool bottomUp = ds.dsBmih.biHeight > 0;
        size_t rowBytes = static_cast<size_t>(w) * (ds.dsBm.bmBitsPixel / 8);
        rowBytes = std::min(rowBytes, static_cast<size_t>(pitch));
        for (int y = 0; y < h; y++) {
            const BYTE* src =
                bits + static_cast<size_t>(bottomUp ? ds.dsBm.bmHeight - 1 - y : y) * ds.dsBm.bmWidthBytes;
            std::memcpy(static_cast<BYTE*>(pixels) + static_cast<size_t>(y) * pitch, src, rowBytes);
        }
        // The caret, as screenshots show it: its pixels inverted.
        m_caretOn = WindowManagerCaretOnScreen(Now(), &m_caret);
        if (m_caretOn) {
            const int bytes = ds.dsBm.bmBitsPixel / 8;
            for (int y = std::max<int>(0, m_caret.top); y < std::min<int>(h, m_caret.bottom); y++) {
                BYTE* row = static_cast<BYTE*>(pixels) + static_cast<size_t>(y) * pitch;
                for (int x = std::max<int>(0, m_caret.left); x < std::min<int>(w, m_caret.right); x++)
                    for (int b = 0; b < std::min(bytes, 3); b++)
                        row[x * bytes + b] ^= 0xFF;
            }
        }
        SDL_UnlockTexture(m_texture);
        SDL_RenderClear(m_renderer);
        SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
        SDL_RenderPresent(m_renderer);
    }

    ScriptPlayer m_player;
    int m_zoom;
    int m_width = 0;
    int m_height = 0;
    int m_bpp = 16;
    bool m_sdlUp = false;
    bool m_dirty = false;
    bool m_penDown = false;
    bool m_caretOn = false; // as last shown
    RECT m_caret{0, 0, 0, 0};
    DWORD m_lastFlush = 0;
    Uint32 m_wakeEvent = 0;
    SDL_Window* m_window = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    SDL_Cursor* m_waitCursor = nullptr;
    SDL_Cursor* m_arrowCursor = nullptr;
};

} // namespace

std::unique_ptr<DisplayBackend> CreateSdlBackend(std::vector<ScriptStep> script, int zoom,
                                                 std::string* error) {
    auto b = std::make_unique<SdlBackend>(std::move(script), zoom);
    std::string why;
    if (!b->Open(&why)) {
        if (error)
            *error = why;
        return nullptr;
    }
    return b;
}
