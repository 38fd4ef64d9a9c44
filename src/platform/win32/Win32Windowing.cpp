#include "platform/win32/Win32Windowing.h"

#include "common/RuntimeError.h"

#include <algorithm>
#include <commctrl.h>
#include <cstring>
#include <vector>

namespace platform::win32 {
namespace {

constexpr char kFormClass[] = "KestrinAddinsResetForm";

HWND AsWindow(Handle window) noexcept
{
    return reinterpret_cast<HWND>(window);
}

// Face names compare without regard to ASCII case, as GDI compares them.
bool SameFace(const std::string& a, const std::string& b) noexcept
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

RECT PixelRect(int left, int top, int width, int height, int dpiX, int dpiY) noexcept
{
    const int x = TwipsToPixels(left, dpiX);
    const int y = TwipsToPixels(top, dpiY);
    return RECT{x, y, x + TwipsToPixels(width, dpiX), y + TwipsToPixels(height, dpiY)};
}

} // namespace

Handle Win32Windowing::CreateForm(const FormLayout& layout, FormEvents& events)
{
    if (mInitCommonControlsEx.Available()) {
        INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES};
        mInitCommonControlsEx(&classes);
    }
    const HINSTANCE instance = mGetModuleHandleA(nullptr);

    int dpiX = 96;
    int dpiY = 96;
    {
        const UniqueScreenContext screen(mGetDC(nullptr), {&mReleaseDC});
        dpiX = mGetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpiY = mGetDeviceCaps(screen.Get(), LOGPIXELSY);
        mFont = CreateFormFont(layout, screen.Get(), dpiY);
    }

    RegisterFormClass(instance, layout.iconResource);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, TwipsToPixels(layout.clientWidth, dpiX), TwipsToPixels(layout.clientHeight, dpiY)};
    mAdjustWindowRectEx(&frame, style, FALSE, 0);

    mEvents = &events;
    mForm = mCreateWindowExA(0, kFormClass, layout.title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (mForm == nullptr) {
        throw RuntimeError(static_cast<std::int32_t>(0x80004005), u"Unable to create the main window");
    }
    mSendMessageA(mForm, WM_SETFONT, reinterpret_cast<WPARAM>(mFont.Get()), FALSE);
    for (const ControlLayout& control : layout.controls) {
        CreateControl(mForm, instance, control, dpiX, dpiY);
    }
    mShowWindow(mForm, SW_SHOWNORMAL);
    mUpdateWindow(mForm);
    return FromHandle(mForm);
}

// GDI gives some other face when the one asked for is missing, often a wider
// one that no longer fits the layout; the fallback face is used then.
UniqueFont Win32Windowing::CreateFormFont(const FormLayout& layout, HDC screen, int dpiY)
{
    LOGFONTA font{};
    font.lfHeight = -((layout.fontHundredthsOfPoint * dpiY + 3600) / 7200);
    font.lfWeight = layout.fontWeight;
    font.lfCharSet = static_cast<BYTE>(layout.fontCharset);
    std::strncpy(font.lfFaceName, layout.fontName.c_str(), LF_FACESIZE - 1);
    UniqueFont asked(mCreateFontIndirectA(&font), {&mDeleteObject});
    if (!asked || SameFace(FaceOf(asked.Get(), screen), layout.fontName) || layout.fallbackFontName.empty()) {
        return asked;
    }
    std::memset(font.lfFaceName, 0, sizeof(font.lfFaceName));
    std::strncpy(font.lfFaceName, layout.fallbackFontName.c_str(), LF_FACESIZE - 1);
    return UniqueFont(mCreateFontIndirectA(&font), {&mDeleteObject});
}

std::string Win32Windowing::FaceOf(HFONT font, HDC screen)
{
    const HGDIOBJ previous = mSelectObject(screen, font);
    char face[LF_FACESIZE] = {};
    const int length = mGetTextFaceA(screen, LF_FACESIZE, face);
    mSelectObject(screen, previous);
    return length > 0 ? std::string(face) : std::string();
}

void Win32Windowing::RegisterFormClass(HINSTANCE instance, int iconResource)
{
    WNDCLASSEXA formClass{};
    formClass.cbSize = sizeof(formClass);
    formClass.lpfnWndProc = &Win32Windowing::FormProc;
    formClass.hInstance = instance;
    const LPCSTR icon = MAKEINTRESOURCEA(iconResource);
    formClass.hIcon = static_cast<HICON>(
        mLoadImageA(instance, icon, IMAGE_ICON, mGetSystemMetrics(SM_CXICON), mGetSystemMetrics(SM_CYICON), LR_SHARED));
    formClass.hIconSm = static_cast<HICON>(mLoadImageA(instance, icon, IMAGE_ICON, mGetSystemMetrics(SM_CXSMICON),
                                                       mGetSystemMetrics(SM_CYSMICON), LR_SHARED));
    formClass.hCursor = static_cast<HCURSOR>(
        mLoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    formClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    formClass.lpszClassName = kFormClass;
    mRegisterClassExA(&formClass);
}

void Win32Windowing::CreateControl(HWND form, HINSTANCE instance, const ControlLayout& control, int dpiX, int dpiY)
{
    const bool isDefault = control.kind == ControlKind::DefaultPushButton;
    const bool button = control.kind == ControlKind::PushButton || isDefault;
    // File names may hold '&'; only the button's caption carries an access key.
    const DWORD buttonStyle = WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    const DWORD style = WS_CHILD | WS_VISIBLE | (button ? buttonStyle : static_cast<DWORD>(SS_LEFT | SS_NOPREFIX));
    const RECT area = PixelRect(control.left, control.top, control.width, control.height, dpiX, dpiY);
    const HWND child = mCreateWindowExA(0, button ? "BUTTON" : "STATIC", control.text.c_str(), style, area.left,
                                        area.top, area.right - area.left, area.bottom - area.top, form,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
    if (child == nullptr) {
        throw RuntimeError(static_cast<std::int32_t>(0x80004005), u"Unable to create a control of the main window");
    }
    mSendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(mFont.Get()), FALSE);
    if (isDefault) {
        mDefaultControl = control.id;
    }
    if (button) {
        mSetFocus(child);
    }
}

// The form's owner comes with its creation and is kept in the window's user
// data. Reading it back is the one user32 call imported rather than looked
// up: until then the procedure has no owner to look anything up through.
LRESULT CALLBACK Win32Windowing::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static_assert(sizeof(LONG_PTR) == sizeof(Win32Windowing*), "the user data holds the owner");
    if (message == WM_NCCREATE) {
        auto* owner = static_cast<Win32Windowing*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        try {
            owner->mSetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        } catch (...) {
            // user32 itself is calling: the creation fails instead, and says so.
            return FALSE;
        }
    }
    auto* owner = reinterpret_cast<Win32Windowing*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    // The few messages before WM_NCCREATE find no owner; 0 is their default answer.
    return owner != nullptr ? owner->HandleMessage(window, message, wParam, lParam) : 0;
}

LRESULT Win32Windowing::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && mEvents != nullptr) {
            mEvents->OnClick(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        if (mEvents != nullptr) {
            mEvents->OnClose();
        }
        return 0;
    case WM_QUERYENDSESSION:
        return mEvents == nullptr || mEvents->OnQueryEndSession() ? TRUE : FALSE;
    case DM_GETDEFID:
        // Asked by the dialog keyboard handling when Enter is pressed: the form is no dialog, so it answers itself.
        if (mDefaultControl != 0) {
            return MAKELRESULT(mDefaultControl, DC_HASDEFID);
        }
        break;
    default:
        break;
    }
    try {
        return mDefWindowProcA(window, message, wParam, lParam);
    } catch (...) {
        // user32 itself is calling: nothing may be thrown back into it.
        return 0;
    }
}

Handle Win32Windowing::GetDlgItem(Handle form, int controlId)
{
    return FromHandle(mGetDlgItem(AsWindow(form), controlId));
}

void Win32Windowing::SetWindowTextA(Handle window, const std::string& text)
{
    mSetWindowTextA(AsWindow(window), text.c_str());
}

void Win32Windowing::UpdateWindow(Handle window)
{
    mUpdateWindow(AsWindow(window));
}

void Win32Windowing::Dispatch(MSG& message)
{
    if (mForm != nullptr && mIsDialogMessageA(mForm, &message) != FALSE) {
        return;
    }
    mTranslateMessage(&message);
    mDispatchMessageA(&message);
}

void Win32Windowing::ProcessPendingEvents()
{
    MSG message{};
    while (mPeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != FALSE) {
        if (message.message == WM_QUIT) {
            // Kept for the event loop that owns it. Posted back, it would wake
            // every wait at once and turn it into a spin.
            if (!mKeptQuit) {
                mKeptQuit = static_cast<int>(message.wParam);
            }
            continue;
        }
        Dispatch(message);
    }
}

std::uint32_t Win32Windowing::MsgWaitForMultipleObjects(const std::vector<Handle>& handles, std::uint32_t milliseconds)
{
    std::vector<HANDLE> waited(handles.size());
    std::transform(handles.begin(), handles.end(), waited.begin(), AsHandle);
    return mMsgWaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE, milliseconds,
                                      WakeMask());
}

static_assert(QS_ALLINPUT == kQsAllInput && QS_RAWINPUT == kQsRawInput);

DWORD Win32Windowing::WakeMask()
{
    if (!mWakeMask) {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        mWakeMask = mGetVersionExA(&version) != FALSE
                        ? WakeMaskFor(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion)
                        : WakeMaskFor(0, 0, 0);
    }
    return *mWakeMask;
}

bool Win32Windowing::HasShutdownBlockReason()
{
    return mShutdownBlockReasonCreate.Available() && mShutdownBlockReasonDestroy.Available();
}

bool Win32Windowing::ShutdownBlockReasonCreate(Handle window, const std::u16string& reason)
{
    return mShutdownBlockReasonCreate(AsWindow(window), reinterpret_cast<LPCWSTR>(reason.c_str())) != FALSE;
}

bool Win32Windowing::ShutdownBlockReasonDestroy(Handle window)
{
    return mShutdownBlockReasonDestroy(AsWindow(window)) != FALSE;
}

void Win32Windowing::DestroyWindow(Handle window)
{
    if (AsWindow(window) == mForm) {
        mForm = nullptr;
        mEvents = nullptr;
    }
    mDestroyWindow(AsWindow(window));
}

void Win32Windowing::PostQuitMessage(int exitCode)
{
    mPostQuitMessage(exitCode);
}

int Win32Windowing::RunEventLoop()
{
    MSG message{};
    for (;;) {
        if (mKeptQuit) {
            return *mKeptQuit;
        }
        const BOOL got = mGetMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace platform::win32
