#include "fakes/FakeWindowing.h"

#include <algorithm>
#include <optional>
#include <string>

namespace fakes {
namespace {

constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

} // namespace

platform::Handle FakeWindowing::CreateForm(const platform::FormLayout& formLayout, platform::FormEvents& events)
{
    layout = formLayout;
    mEvents = &events;
    formAlive = true;
    for (const auto& control : formLayout.controls) {
        texts[control.id] = control.text;
    }
    log.push_back("create");
    return kForm;
}

platform::Handle FakeWindowing::GetDlgItem(platform::Handle form, int controlId)
{
    return form == kForm && formAlive ? kForm + static_cast<platform::Handle>(controlId) : 0;
}

void FakeWindowing::SetWindowTextA(platform::Handle window, const std::string& text)
{
    const int id = static_cast<int>(window - kForm);
    texts[id] = text;
    log.push_back("caption " + std::to_string(id) + " " + text);
}

void FakeWindowing::UpdateWindow(platform::Handle window)
{
    log.push_back("repaint " + std::to_string(static_cast<int>(window - kForm)));
}

void FakeWindowing::ProcessPendingEvents()
{
    log.push_back("pump");
    if (queuedQuit && !keptQuit) {
        keptQuit = queuedQuit;
    }
    queuedQuit.reset();
    if (onPump) {
        onPump();
    }
}

std::uint32_t FakeWindowing::MsgWaitForMultipleObjects(const std::vector<platform::Handle>& handles,
                                                       std::uint32_t milliseconds)
{
    log.push_back("wait " + std::to_string(handles.size()));
    if (waitsFail) {
        return kWaitFailed;
    }
    if (eventsDuringWaits > 0 || queuedQuit) {
        eventsDuringWaits = std::max(eventsDuringWaits - 1, 0);
        return platform::kWaitObject0 + static_cast<std::uint32_t>(handles.size());
    }
    return kernel->WaitForMultipleObjects(handles, milliseconds);
}

std::int32_t FakeWindowing::MessageBoxA(platform::Handle owner, const std::string& text, const std::string& caption,
                                        std::uint32_t type)
{
    boxes.push_back({text, caption, type, owner, mEvents == nullptr || mEvents->OnQueryEndSession(),
                     kernel == nullptr ? 0 : kernel->OpenHandleCount()});
    log.push_back("box " + caption + ": " + text);
    return 1;
}

bool FakeWindowing::ShutdownBlockReasonCreate(platform::Handle window, const std::u16string& reason)
{
    log.push_back("block shutdown " + std::string(reason.begin(), reason.end()));
    return window == kForm && formAlive;
}

bool FakeWindowing::ShutdownBlockReasonDestroy(platform::Handle window)
{
    log.push_back("unblock shutdown");
    return window == kForm && formAlive;
}

void FakeWindowing::DestroyWindow(platform::Handle window)
{
    if (window == kForm) {
        formAlive = false;
    }
    log.push_back("destroy");
}

void FakeWindowing::PostQuitMessage(int code)
{
    exitCode = code;
    queuedQuit = code;
    log.push_back("quit " + std::to_string(code));
}

} // namespace fakes
