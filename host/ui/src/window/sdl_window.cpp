#include "window/platform_window.h"

#include "core/handles.h"

#include <ui/launch.h>

#include <SDL.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace kavu::ui {

namespace {

Keycode translate_key(SDL_Keycode key) {
    switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return keys::kEnter;
    case SDLK_LEFT:
        return keys::kLeft;
    case SDLK_RIGHT:
        return keys::kRight;
    case SDLK_UP:
        return keys::kUp;
    case SDLK_DOWN:
        return keys::kDown;
    case SDLK_HOME:
        return keys::kHome;
    case SDLK_END:
        return keys::kEnd;
    case SDLK_PAGEUP:
        return keys::kPageUp;
    case SDLK_PAGEDOWN:
        return keys::kPageDown;
    case SDLK_INSERT:
        return keys::kInsert;
    default:
        break;
    }
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return keys::kF1 + (key - SDLK_F1);
    // Printable keys and the control characters above are code points in SDL too.
    if (key > 0 && key < 0x110000 && !(key & SDLK_SCANCODE_MASK))
        return key;
    return keys::kUnknown;
}

uint32_t translate_mods(uint16_t mod) {
    uint32_t m = mods::kNone;
    if (mod & KMOD_SHIFT)
        m |= mods::kShift;
    if (mod & KMOD_CTRL)
        m |= mods::kCtrl;
    if (mod & KMOD_ALT)
        m |= mods::kAlt;
    if (mod & KMOD_GUI)
        m |= mods::kSuper;
    return m;
}

std::optional<PointerButton> translate_button(uint8_t button) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        return PointerButton::Primary;
    case SDL_BUTTON_RIGHT:
        return PointerButton::Secondary;
    case SDL_BUTTON_MIDDLE:
        return PointerButton::Middle;
    case SDL_BUTTON_X1:
        return PointerButton::Back;
    case SDL_BUTTON_X2:
        return PointerButton::Forward;
    default:
        return std::nullopt;
    }
}

// Byte offset of the code point at index `chars` of a UTF-8 text.
int utf8_byte_offset(const std::string& text, int chars) {
    int seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (seen == chars)
                return static_cast<int>(i);
            ++seen;
        }
    }
    return static_cast<int>(text.size());
}

constexpr double kWheelStep = 48; // pixels per notch

class SdlWindow final : public PlatformWindow {
public:
    ~SdlWindow() override {
        m_texture.reset();
        m_renderer.reset();
        for (auto* cursor : m_cursors) {
            if (cursor)
                SDL_FreeCursor(cursor);
        }
        m_window.reset();
        if (m_video_ready)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    kavu::Result<void> open(const WindowConfig& config) {
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        // Only a desktop display will do: without this SDL falls back to
        // drivers (KMS, offscreen) that open an invisible window nobody
        // can close.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, std::getenv("WAYLAND_DISPLAY") && !std::getenv("DISPLAY")
                                              ? "wayland,x11"
                                              : "x11,wayland");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return kavu::make_error(std::string("no display: cannot connect to it (") + SDL_GetError() + ")");
        m_video_ready = true;
        std::string_view driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
        if (driver != "x11" && driver != "wayland")
            return kavu::make_error("no display: cannot connect to it (only the " + std::string(driver) +
                                    " video driver is available)");
        m_window.reset(SDL_CreateWindow(config.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                        SDL_WINDOWPOS_UNDEFINED, static_cast<int>(config.size.width),
                                        static_cast<int>(config.size.height),
                                        SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI));
        if (!m_window)
            return kavu::make_error(std::string("cannot open the window: ") + SDL_GetError());
        SDL_SetWindowMinimumSize(m_window.get(), 360, 320);
        m_renderer.reset(SDL_CreateRenderer(m_window.get(), -1, SDL_RENDERER_PRESENTVSYNC));
        if (!m_renderer)
            m_renderer.reset(SDL_CreateRenderer(m_window.get(), -1, SDL_RENDERER_SOFTWARE));
        if (!m_renderer)
            return kavu::make_error(std::string("cannot draw to the window: ") + SDL_GetError());
        SDL_StartTextInput();
        return {};
    }

    Size pixel_size() override {
        int w = 0, h = 0;
        SDL_GetRendererOutputSize(m_renderer.get(), &w, &h);
        return {static_cast<double>(w), static_cast<double>(h)};
    }

    double device_scale() override {
        int ww = 0, wh = 0;
        SDL_GetWindowSize(m_window.get(), &ww, &wh);
        Size px = pixel_size();
        return ww > 0 ? px.width / ww : 1.0;
    }

    std::vector<Event> wait_events(std::optional<std::chrono::milliseconds> timeout) override {
        std::vector<Event> events;
        SDL_Event e;
        bool got = false;
        if (!timeout)
            got = SDL_WaitEvent(&e) == 1;
        else if (timeout->count() <= 0)
            got = SDL_PollEvent(&e) == 1;
        else
            got = SDL_WaitEventTimeout(&e, static_cast<int>(timeout->count())) == 1;
        double scale = device_scale();
        while (got) {
            translate(e, scale, events);
            got = SDL_PollEvent(&e) == 1;
        }
        return events;
    }

    bool close_requested() override { return m_close_requested; }
    void cancel_close() override { m_close_requested = false; }

    void present(const PaintFn& paint) override {
        Size px = pixel_size();
        int w = std::max(1, static_cast<int>(px.width));
        int h = std::max(1, static_cast<int>(px.height));
        if (!m_texture || w != m_texture_w || h != m_texture_h) {
            m_texture.reset(SDL_CreateTexture(m_renderer.get(), SDL_PIXELFORMAT_ARGB8888,
                                              SDL_TEXTUREACCESS_STREAMING, w, h));
            m_texture_w = w;
            m_texture_h = h;
            if (!m_texture)
                return;
            SDL_SetTextureBlendMode(m_texture.get(), SDL_BLENDMODE_NONE);
        }
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(m_texture.get(), nullptr, &pixels, &pitch) != 0)
            return;
        paint(static_cast<uint8_t*>(pixels), w, h, pitch);
        SDL_UnlockTexture(m_texture.get());
        SDL_RenderClear(m_renderer.get());
        SDL_RenderCopy(m_renderer.get(), m_texture.get(), nullptr, nullptr);
        SDL_RenderPresent(m_renderer.get());
    }

    bool take_redraw_request() override { return std::exchange(m_redraw_requested, false); }

    // ---- WindowServices ----
    Clipboard& clipboard() override { return m_clipboard; }

    void set_text_input_area(std::optional<Rect> caret) override {
        if (!caret || caret == m_text_area)
            return;
        m_text_area = caret;
        double scale = device_scale();
        SDL_Rect r{static_cast<int>(caret->x0 / scale), static_cast<int>(caret->y0 / scale),
                   std::max(1, static_cast<int>(caret->width() / scale)),
                   std::max(1, static_cast<int>(caret->height() / scale))};
        SDL_SetTextInputRect(&r);
    }

    void set_cursor(CursorShape shape) override {
        auto index = static_cast<size_t>(shape);
        if (index >= m_cursors.size())
            return;
        if (!m_cursors[index]) {
            static constexpr std::array<SDL_SystemCursor, 5> kSystem = {
                SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_HAND, SDL_SYSTEM_CURSOR_IBEAM,
                SDL_SYSTEM_CURSOR_SIZEALL, SDL_SYSTEM_CURSOR_SIZEWE};
            m_cursors[index] = SDL_CreateSystemCursor(kSystem[index]);
        }
        if (m_cursors[index] && shape != m_cursor_shape) {
            SDL_SetCursor(m_cursors[index]);
            m_cursor_shape = shape;
        }
    }

    void request_redraw() override { m_redraw_requested = true; }

private:
    class SdlClipboard final : public Clipboard {
    public:
        std::string text() override {
            char* raw = SDL_GetClipboardText();
            std::string text = raw ? raw : "";
            SDL_free(raw);
            return text;
        }
        void set_text(const std::string& text) override { SDL_SetClipboardText(text.c_str()); }
    };

    void translate(const SDL_Event& e, double scale, std::vector<Event>& out) {
        auto point = [&](int x, int y) { return Point{x * scale, y * scale}; };
        auto mods_now = [] { return translate_mods(static_cast<uint16_t>(SDL_GetModState())); };
        switch (e.type) {
        case SDL_QUIT:
            m_close_requested = true;
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                m_close_requested = true;
                break;
            case SDL_WINDOWEVENT_LEAVE:
                out.push_back(PointerLeave{});
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                out.push_back(FocusChange{true});
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                out.push_back(FocusChange{false});
                break;
            default:
                // Exposure, resizes and the like need a fresh frame.
                m_redraw_requested = true;
                break;
            }
            break;
        case SDL_MOUSEMOTION:
            m_pointer = point(e.motion.x, e.motion.y);
            out.push_back(PointerMove{m_pointer, mods_now()});
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (auto button = translate_button(e.button.button))
                out.push_back(
                    PointerPress{point(e.button.x, e.button.y), *button, e.button.clicks, mods_now()});
            break;
        case SDL_MOUSEBUTTONUP:
            if (auto button = translate_button(e.button.button))
                out.push_back(PointerRelease{point(e.button.x, e.button.y), *button, mods_now()});
            break;
        case SDL_MOUSEWHEEL: {
            double flip = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            out.push_back(Wheel{m_pointer, e.wheel.preciseX * kWheelStep * scale * flip,
                                -e.wheel.preciseY * kWheelStep * scale * flip, false, mods_now()});
            break;
        }
        case SDL_KEYDOWN:
            out.push_back(KeyPress{translate_key(e.key.keysym.sym), translate_mods(e.key.keysym.mod),
                                   e.key.repeat != 0});
            break;
        case SDL_KEYUP:
            out.push_back(KeyRelease{translate_key(e.key.keysym.sym), translate_mods(e.key.keysym.mod)});
            break;
        case SDL_TEXTINPUT:
            out.push_back(TextEntered{e.text.text});
            break;
        case SDL_TEXTEDITING: {
            std::string preedit = e.edit.text;
            int cursor = utf8_byte_offset(preedit, e.edit.start);
            int end = utf8_byte_offset(preedit, e.edit.start + e.edit.length);
            out.push_back(ImeComposition{preedit, cursor, end - cursor});
            break;
        }
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            m_texture.reset();
            m_redraw_requested = true;
            break;
        default:
            break;
        }
    }

    Handle<SDL_Window, SDL_DestroyWindow> m_window;
    Handle<SDL_Renderer, SDL_DestroyRenderer> m_renderer;
    Handle<SDL_Texture, SDL_DestroyTexture> m_texture;
    int m_texture_w = 0;
    int m_texture_h = 0;
    std::array<SDL_Cursor*, 5> m_cursors{};
    CursorShape m_cursor_shape = CursorShape::Arrow;
    SdlClipboard m_clipboard;
    std::optional<Rect> m_text_area;
    Point m_pointer{-1, -1};
    bool m_close_requested = false;
    bool m_redraw_requested = true;
    bool m_video_ready = false;
};

} // namespace

kavu::Result<std::unique_ptr<PlatformWindow>> open_sdl_window(const WindowConfig& config) {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        return kavu::make_error(std::string(launch::kNoDisplayMessage));
    auto window = std::make_unique<SdlWindow>();
    auto opened = window->open(config);
    if (!opened)
        return opened.error();
    return std::unique_ptr<PlatformWindow>(std::move(window));
}

} // namespace kavu::ui
