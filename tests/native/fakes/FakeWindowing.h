#pragma once

#include "fakes/FakeKernel.h"
#include "platform/DesktopServices.h"
#include "platform/MessageServices.h"
#include "platform/WindowingServices.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fakes {

// user32 in memory: records every caption, repaint, event pump and message
// box in one log, in the order they happened, and lets a test click or close
// the form, also from inside an event pump. Its desktop has a shell window
// where a test gives it one.
class FakeWindowing : public platform::WindowingServices,
                      public platform::MessageServices,
                      public platform::DesktopServices {
public:
    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t type;
        platform::Handle owner;
        // What the form answered a log-off while the box showed.
        bool sessionMayEnd;
        // The kernel handles still open while it showed: a lock held, a process.
        int kernelHandlesOpen;
    };

    std::vector<std::string> log;
    std::vector<Box> boxes;
    std::map<int, std::string> texts;
    std::function<void()> onPump;
    bool formAlive = false;
    int exitCode = -1;
    platform::FormLayout layout;
    // Window events that arrive during waits, one per wait, before any process ends.
    int eventsDuringWaits = 0;
    // Every wait fails at once, as a wake mask the system does not know makes it.
    bool waitsFail = false;
    // Whose processes and clock the waits use.
    FakeKernel* kernel = nullptr;

    // The desktop shell's window and its process; none by default, as for a service.
    platform::Handle shellWindow = 0;
    // The shell's folder for every user's program data; none on the 9x line.
    std::optional<std::string> commonAppData = "C:\\ProgramData";
    std::uint32_t shellProcessId = 0;
    // Log-off or shut-down asks whether the session may end.
    bool hasShutdownBlockReason = true;
    // A quit posted and not yet taken off the queue wakes every wait at once.
    std::optional<int> queuedQuit;
    std::optional<int> keptQuit;

    void Click(int controlId) { mEvents->OnClick(controlId); }
    void Close() { mEvents->OnClose(); }
    bool QueryEndSession() { return mEvents->OnQueryEndSession(); }

    platform::Handle CreateForm(const platform::FormLayout& formLayout, platform::FormEvents& events) override;
    platform::Handle GetDlgItem(platform::Handle form, int controlId) override;
    void SetWindowTextA(platform::Handle window, const std::string& text) override;
    void UpdateWindow(platform::Handle window) override;
    void ProcessPendingEvents() override;
    std::uint32_t MsgWaitForMultipleObjects(const std::vector<platform::Handle>& handles,
                                            std::uint32_t milliseconds) override;
    std::int32_t MessageBoxA(platform::Handle owner, const std::string& text, const std::string& caption,
                             std::uint32_t type) override;
    platform::Handle GetActiveWindow() override { return formAlive ? kForm : 0; }
    bool HasShutdownBlockReason() override { return hasShutdownBlockReason; }
    bool ShutdownBlockReasonCreate(platform::Handle window, const std::u16string& reason) override;
    bool ShutdownBlockReasonDestroy(platform::Handle window) override;
    platform::Handle GetShellWindow() override { return shellWindow; }
    std::optional<std::string> SHGetFolderPathA(int folder) override
    {
        return folder == platform::kCsidlCommonAppData ? commonAppData : std::nullopt;
    }
    std::uint32_t GetWindowThreadProcessId(platform::Handle window, std::uint32_t& processId) override
    {
        processId = window != 0 && window == shellWindow ? shellProcessId : 0;
        return processId == 0 ? 0 : 0x88;
    }
    void DestroyWindow(platform::Handle window) override;
    void PostQuitMessage(int code) override;
    int RunEventLoop() override { return keptQuit.value_or(exitCode); }

    static constexpr platform::Handle kForm = 0x10000;

private:
    platform::FormEvents* mEvents = nullptr;
};

} // namespace fakes
