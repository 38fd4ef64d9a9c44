// Test-only UI probe, run under Wine beside the tool: finds windows by title,
// reads control texts and positions, clicks buttons and reads and dismisses
// message boxes, as UI-automation tools do. Every command prints what it saw
// on one line per item and exits 0 on success, 1 on a time-out or a miss.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kDialogClass[] = "#32770";

std::string TextOf(HWND window)
{
    char text[4096] = {};
    ::GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

struct Search {
    std::string title;
    bool dialog;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    if (::IsWindowVisible(window) && TextOf(window) == search->title &&
        (ClassOf(window) == kDialogClass) == search->dialog) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(const std::string& title, bool dialog)
{
    Search search{title, dialog};
    ::EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(const std::string& title, bool dialog, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (HWND window = FindTopLevel(title, dialog)) {
            return window;
        }
        if (::GetTickCount() - start > timeoutMs) {
            return nullptr;
        }
        ::Sleep(50);
    }
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context)
{
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent)
{
    std::vector<HWND> children;
    ::EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND ButtonOf(HWND parent, const std::string& text)
{
    for (HWND child : ChildrenOf(parent)) {
        if (ClassOf(child) == "Button" && TextOf(child) == text) {
            return child;
        }
    }
    return nullptr;
}

DWORD TimeoutOf(int argc, char** argv, int position)
{
    return argc > position ? static_cast<DWORD>(std::strtoul(argv[position], nullptr, 10)) : 20000;
}

int Fail(const char* what, const std::string& title)
{
    std::printf("missing %s \"%s\"\n", what, title.c_str());
    return 1;
}

int WaitWindow(const std::string& title, DWORD timeoutMs)
{
    if (WaitFor(title, false, timeoutMs) == nullptr) {
        return Fail("window", title);
    }
    std::printf("window \"%s\"\n", title.c_str());
    return 0;
}

int Describe(const std::string& title)
{
    HWND form = FindTopLevel(title, false);
    if (form == nullptr) {
        return Fail("window", title);
    }
    RECT client{};
    ::GetClientRect(form, &client);
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const LONG style = ::GetWindowLongA(form, GWL_STYLE);
    std::printf("title=%s\n", TextOf(form).c_str());
    std::printf("client=%ldx%ld\n", client.right - client.left, client.bottom - client.top);
    std::printf("dpi=%d\n", dpi);
    std::printf("resizable=%s maximizebox=%s\n", (style & WS_THICKFRAME) ? "yes" : "no",
                (style & WS_MAXIMIZEBOX) ? "yes" : "no");
    for (HWND child : ChildrenOf(form)) {
        RECT area{};
        ::GetWindowRect(child, &area);
        ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&area), 2);
        std::printf("control id=%d class=%s rect=%ld,%ld,%ld,%ld text=%s\n", ::GetDlgCtrlID(child),
                    ClassOf(child).c_str(), area.left, area.top, area.right - area.left, area.bottom - area.top,
                    Escaped(TextOf(child)).c_str());
    }
    return 0;
}

int Click(const std::string& title, const std::string& buttonText)
{
    HWND form = FindTopLevel(title, false);
    HWND button = form ? ButtonOf(form, buttonText) : nullptr;
    if (button == nullptr) {
        return Fail("button", buttonText);
    }
    // Posted, not sent: the click handler runs the whole reset and its boxes.
    ::PostMessageA(button, BM_CLICK, 0, 0);
    std::printf("clicked \"%s\"\n", buttonText.c_str());
    return 0;
}

// Presses and releases Enter on the keyboard, as a user would with the window in front.
int PressEnter(const std::string& title)
{
    HWND form = FindTopLevel(title, false);
    if (form == nullptr) {
        return Fail("window", title);
    }
    ::SetForegroundWindow(form);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_RETURN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
    std::printf("pressed Enter in \"%s\"\n", title.c_str());
    return 0;
}

int CloseWindow(const std::string& title)
{
    HWND form = FindTopLevel(title, false);
    if (form == nullptr) {
        return Fail("window", title);
    }
    ::PostMessageA(form, WM_CLOSE, 0, 0);
    std::printf("closed \"%s\"\n", title.c_str());
    return 0;
}

// Prints the box's title, text, buttons, icon and owner, and presses OK unless asked to keep it.
int ReadBox(const std::string& title, DWORD timeoutMs, bool dismiss)
{
    HWND box = WaitFor(title, true, timeoutMs);
    if (box == nullptr) {
        return Fail("box", title);
    }
    ::Sleep(100);
    std::string text;
    std::string buttons;
    bool icon = false;
    for (HWND child : ChildrenOf(box)) {
        const std::string kind = ClassOf(child);
        if (kind == "Static") {
            if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                icon = icon || ::SendMessageA(child, STM_GETICON, 0, 0) != 0;
            } else if (!TextOf(child).empty()) {
                text += TextOf(child);
            }
        } else if (kind == "Button" && ::IsWindowVisible(child)) {
            buttons += (buttons.empty() ? "" : ",") + TextOf(child);
        }
    }
    HWND owner = ::GetWindow(box, GW_OWNER);
    std::printf("box title=%s text=%s buttons=%s icon=%s owner=%s\n", title.c_str(), Escaped(text).c_str(),
                buttons.c_str(), icon ? "yes" : "no", owner ? TextOf(owner).c_str() : "");
    std::fflush(stdout);
    if (dismiss) {
        HWND ok = ButtonOf(box, "OK");
        if (ok == nullptr) {
            return Fail("button", "OK");
        }
        ::PostMessageA(ok, BM_CLICK, 0, 0);
    }
    return 0;
}

int WaitGone(const std::string& title, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    while (FindTopLevel(title, false) != nullptr || FindTopLevel(title, true) != nullptr) {
        if (::GetTickCount() - start > timeoutMs) {
            std::printf("still there \"%s\"\n", title.c_str());
            return 1;
        }
        ::Sleep(50);
    }
    std::printf("gone \"%s\"\n", title.c_str());
    return 0;
}

// Prints each distinct text a control shows while the window lives, up to the time-out.
int Sample(const std::string& title, int controlId, DWORD timeoutMs)
{
    HWND form = WaitFor(title, false, timeoutMs);
    if (form == nullptr) {
        return Fail("window", title);
    }
    const DWORD start = ::GetTickCount();
    std::string last;
    HWND control = ::GetDlgItem(form, controlId);
    // GetWindowText reads another process's text without waiting for its
    // thread, which sleeps between files.
    while (::IsWindow(form) && ::GetTickCount() - start < timeoutMs) {
        const std::string text = TextOf(control);
        if (text != last) {
            last = text;
            std::printf("text=%s\n", Escaped(last).c_str());
            std::fflush(stdout);
        }
        ::Sleep(10);
    }
    return 0;
}

BOOL CALLBACK AddToBounds(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<std::pair<std::string, RECT>*>(context);
    if (::IsWindowVisible(window) && TextOf(window) == search->first) {
        RECT area{};
        ::GetWindowRect(window, &area);
        RECT& bounds = search->second;
        if (bounds.right <= bounds.left) {
            bounds = area;
        } else {
            ::UnionRect(&bounds, &bounds, &area);
        }
    }
    return TRUE;
}

// Prints the screen rectangle that holds every visible top-level window with
// the title, frames included, as ImageMagick's crop geometry WxH+X+Y.
int Bounds(const std::string& title)
{
    std::pair<std::string, RECT> search{title, RECT{}};
    ::EnumWindows(&AddToBounds, reinterpret_cast<LPARAM>(&search));
    const RECT& area = search.second;
    if (area.right <= area.left) {
        return Fail("window", title);
    }
    std::printf("%ldx%ld+%ld+%ld\n", area.right - area.left, area.bottom - area.top, area.left, area.top);
    return 0;
}

// Judges, from the screen's pixels, whether a label's text runs past its
// bottom: ink in its last pixel row is the top of a line that does not fit.
// Ink is any pixel of another colour than the row's most common one.
int LastRowInk(const std::string& title, int controlId)
{
    HWND form = FindTopLevel(title, false);
    HWND label = form ? ::GetDlgItem(form, controlId) : nullptr;
    if (label == nullptr) {
        return Fail("control of", title);
    }
    ::RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::Sleep(300);
    RECT area{};
    ::GetWindowRect(label, &area);
    HDC screen = ::GetDC(nullptr);
    std::vector<COLORREF> row;
    for (LONG x = area.left; x < area.right; ++x) {
        row.push_back(::GetPixel(screen, x, area.bottom - 1));
    }
    ::ReleaseDC(nullptr, screen);
    std::size_t most = 0;
    for (const COLORREF colour : row) {
        most = std::max(most, static_cast<std::size_t>(std::count(row.begin(), row.end(), colour)));
    }
    const auto ink = static_cast<std::size_t>(row.size() - most);
    std::printf("control id=%d last-row-ink=%s pixels=%u\n", controlId, ink > 0 ? "yes" : "no",
                static_cast<unsigned>(ink));
    return 0;
}

// Looks for an executable with the module listing alone, as the NT line offers it.
int FindByModules(const std::string& exeName)
{
    DWORD ids[4096] = {};
    DWORD needed = 0;
    ::EnumProcesses(ids, sizeof(ids), &needed);
    int opened = 0;
    for (DWORD i = 0; i < needed / sizeof(DWORD); ++i) {
        HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
        if (process == nullptr) {
            continue;
        }
        char path[MAX_PATH] = {};
        HMODULE module = nullptr;
        DWORD moduleBytes = 0;
        ++opened;
        std::string name;
        if (::EnumProcessModules(process, &module, sizeof(module), &moduleBytes)) {
            ::GetModuleFileNameExA(process, module, path, MAX_PATH);
            name = path;
        }
        ::CloseHandle(process);
        const auto slash = name.rfind('\\');
        name = CharLowerA(name.data()) + (slash == std::string::npos ? 0 : slash + 1);
        if (name == exeName) {
            std::printf("found %s\n", exeName.c_str());
            return 0;
        }
    }
    std::printf("not found %s among %d opened processes\n", exeName.c_str(), opened);
    return 1;
}

// Lists the images of the program's first icon group: size and colour count of each.
int IconImages(const std::string& exePath)
{
    HMODULE module = ::LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC group = module ? ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)) : nullptr;
    if (group == nullptr) {
        return Fail("icon group", exePath);
    }
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module, group)));
    const WORD count = *reinterpret_cast<const WORD*>(data + 4);
    for (WORD i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const GroupEntry*>(data + 6 + i * sizeof(GroupEntry));
        std::printf("icon %dx%d colours=%d bits=%d\n", entry->width, entry->height, entry->colours, entry->bitCount);
    }
    ::FreeLibrary(module);
    return 0;
}

double MillisecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Starts a program and times it until its window with the title is shown; then closes it.
int TimeStart(const std::string& title, const std::string& exePath)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::string commandLine = "\"" + exePath + "\"";
    LARGE_INTEGER start{};
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &started)) {
        return Fail("program", exePath);
    }
    HWND window = nullptr;
    while ((window = FindTopLevel(title, false)) == nullptr && MillisecondsSince(start) < 20000) {
        ::Sleep(1);
    }
    const double elapsed = MillisecondsSince(start);
    if (window != nullptr) {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    ::WaitForSingleObject(started.hProcess, 10000);
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    std::printf("started \"%s\" in %.1f ms\n", title.c_str(), elapsed);
    return window != nullptr ? 0 : 1;
}

// Clicks a button and times it until a message box with the title is shown.
int TimeClickToBox(const std::string& title, const std::string& buttonText, const std::string& boxTitle)
{
    HWND form = FindTopLevel(title, false);
    HWND button = form ? ButtonOf(form, buttonText) : nullptr;
    if (button == nullptr) {
        return Fail("button", buttonText);
    }
    LARGE_INTEGER start{};
    ::QueryPerformanceCounter(&start);
    ::PostMessageA(button, BM_CLICK, 0, 0);
    while (FindTopLevel(boxTitle, true) == nullptr && MillisecondsSince(start) < 120000) {
        ::Sleep(1);
    }
    std::printf("box \"%s\" after %.1f ms\n", boxTitle.c_str(), MillisecondsSince(start));
    return 0;
}

// Starts a program with the probe's environment less one variable, and
// returns at once.
int StartWithout(const std::string& variable, const std::string& exePath)
{
    std::vector<char> block;
    const std::string prefix = variable + "=";
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
        if (::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, entry, static_cast<int>(prefix.size()), prefix.c_str(),
                             static_cast<int>(prefix.size())) != CSTR_EQUAL) {
            block.insert(block.end(), entry, entry + std::strlen(entry) + 1);
        }
    }
    ::FreeEnvironmentStringsA(strings);
    block.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    std::string commandLine = "\"" + exePath + "\"";
    const std::string folder = exePath.substr(0, exePath.rfind('\\'));
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, block.data(), folder.c_str(),
                          &startup, &started)) {
        return Fail("program", exePath);
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    std::printf("started \"%s\" without %s\n", exePath.c_str(), variable.c_str());
    return 0;
}

// Runs a command line to its end and times it.
int TimeRun(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started{};
    std::string mutableLine = commandLine;
    LARGE_INTEGER start{};
    ::QueryPerformanceCounter(&start);
    if (!::CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &started)) {
        return Fail("program", commandLine);
    }
    ::WaitForSingleObject(started.hProcess, 60000);
    std::printf("ran \"%s\" in %.1f ms\n", commandLine.c_str(), MillisecondsSince(start));
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return 0;
}

// The message of an event ID in a program's message table, with two
// insertion strings, as the Event Viewer formats it from EventMessageFile.
int FormatEvent(const std::string& program, unsigned long id)
{
    HMODULE module = ::LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return Fail("program", program);
    }
    const char* strings[] = {"TEXT", "JSON"};
    char text[4096] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id,
                                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof(text),
                                          reinterpret_cast<va_list*>(const_cast<char**>(strings)));
    ::FreeLibrary(module);
    if (length == 0) {
        return Fail("message", std::to_string(id));
    }
    for (char& c : text) {
        c = c == '\r' || c == '\n' ? ' ' : c;
    }
    std::printf("%lu %s\n", id, text);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: probe wait-window|describe|click|press-enter|close|read-box|dismiss-box|wait-gone|sample|"
            "find-by-modules|last-row-ink|bounds|start-without|icon-images|time-start|time-click-to-box|time-run|"
            "format-event "
            "TITLE [ARG] [TIMEOUT-MS]\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string title = argv[2];
    if (command == "wait-window") {
        return WaitWindow(title, TimeoutOf(argc, argv, 3));
    }
    if (command == "describe") {
        return Describe(title);
    }
    if (command == "click" && argc > 3) {
        return Click(title, argv[3]);
    }
    if (command == "press-enter") {
        return PressEnter(title);
    }
    if (command == "close") {
        return CloseWindow(title);
    }
    if (command == "read-box") {
        return ReadBox(title, TimeoutOf(argc, argv, 3), false);
    }
    if (command == "dismiss-box") {
        return ReadBox(title, TimeoutOf(argc, argv, 3), true);
    }
    if (command == "wait-gone") {
        return WaitGone(title, TimeoutOf(argc, argv, 3));
    }
    if (command == "sample" && argc > 3) {
        return Sample(title, std::atoi(argv[3]), TimeoutOf(argc, argv, 4));
    }
    if (command == "time-start" && argc > 3) {
        return TimeStart(title, argv[3]);
    }
    if (command == "time-click-to-box" && argc > 4) {
        return TimeClickToBox(title, argv[3], argv[4]);
    }
    if (command == "time-run") {
        return TimeRun(title);
    }
    if (command == "icon-images") {
        return IconImages(title);
    }
    if (command == "start-without" && argc > 3) {
        return StartWithout(title, argv[3]);
    }
    if (command == "bounds") {
        return Bounds(title);
    }
    if (command == "last-row-ink" && argc > 3) {
        return LastRowInk(title, std::atoi(argv[3]));
    }
    if (command == "format-event" && argc > 3) {
        return FormatEvent(title, std::strtoul(argv[3], nullptr, 10));
    }
    if (command == "find-by-modules") {
        return FindByModules(title);
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
