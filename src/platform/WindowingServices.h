#pragma once

#include "platform/Handle.h"
#include "platform/KernelServices.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The default push button is the one Enter presses.
enum class ControlKind { Label, PushButton, DefaultPushButton };

// Positions and sizes in twips (1/1440 inch); the windowing side converts
// them by the screen's DPI.
struct ControlLayout {
    int id;
    ControlKind kind;
    std::string text;
    int left;
    int top;
    int width;
    int height;
};

struct FormLayout {
    std::string title;
    int clientWidth;
    int clientHeight;
    std::string fontName;
    // Used at the same size where the system has no face of fontName.
    std::string fallbackFontName;
    int fontHundredthsOfPoint;
    int fontWeight;
    int fontCharset;
    int iconResource;
    std::vector<ControlLayout> controls;
};

inline int TwipsToPixels(int twips, int dotsPerInch)
{
    const long long scaled = static_cast<long long>(twips) * dotsPerInch;
    return static_cast<int>((scaled + (scaled >= 0 ? 720 : -720)) / 1440);
}

// What the window tells its owner. Handlers must not throw: they run inside
// the system's window procedure.
class FormEvents {
public:
    virtual void OnClick(int controlId) noexcept = 0;
    virtual void OnClose() noexcept = 0;
    // False keeps the user's session from ending now.
    virtual bool OnQueryEndSession() noexcept = 0;

protected:
    ~FormEvents() = default;
};

// MsgWaitForMultipleObjects' wake mask on a system of that platform and
// version: every kind of event, raw input among them only where user32 knows
// it, from XP on; an older user32 refuses the whole mask and every wait fails.
inline constexpr std::uint32_t kQsRawInput = 0x400;
inline constexpr std::uint32_t kQsAllInput = 0x4FF;
inline constexpr std::uint32_t WakeMaskFor(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor)
{
    constexpr std::uint32_t kNtLine = 2;
    const bool rawInput = platformId == kNtLine && (major > 5 || (major == 5 && minor >= 1));
    return rawInput ? kQsAllInput : kQsAllInput & ~kQsRawInput;
}

// user32 and gdi32: one window with its controls and events.
class WindowingServices {
public:
    virtual ~WindowingServices() = default;

    virtual Handle CreateForm(const FormLayout& layout, FormEvents& events) = 0;
    virtual Handle GetDlgItem(Handle form, int controlId) = 0;
    virtual void SetWindowTextA(Handle window, const std::string& text) = 0;
    virtual void UpdateWindow(Handle window) = 0;
    // Handles every window event already queued, then returns. A request to
    // quit is taken off the queue and kept for RunEventLoop, so that it can
    // neither end a run half done nor keep waking a wait.
    virtual void ProcessPendingEvents() = 0;
    // Waits until one of the handles is signalled (kWaitObject0 + its index),
    // a window event arrives (kWaitObject0 + the number of handles) or the
    // time runs out (kWaitTimeout).
    virtual std::uint32_t MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds) = 0;
    // Vista and later tell the user, at log-off or shut-down, why a window
    // holds them up; absent before, so callers ask before they call.
    virtual bool HasShutdownBlockReason() = 0;
    virtual bool ShutdownBlockReasonCreate(Handle window, const std::u16string& reason) = 0;
    virtual bool ShutdownBlockReasonDestroy(Handle window) = 0;
    virtual void DestroyWindow(Handle window) = 0;
    virtual void PostQuitMessage(int exitCode) = 0;
    // Runs until PostQuitMessage, or returns at once for a quit kept by
    // ProcessPendingEvents; returns the quit's exit code.
    virtual int RunEventLoop() = 0;
};

} // namespace platform
