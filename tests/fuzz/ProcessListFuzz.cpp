// Fuzzes both process listings: arbitrary identifier buffers and needed-byte
// values, names with and without paths and NULs, failures of every call. The
// answer and the count must match a reference model of the matching rules,
// and every handle must be closed.
#include "fakes/FakePlatform.h"
#include "process/CProcessList.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Both kernel32 and psapi, answering from the input; the names each listing
// should produce are collected as it answers.
class ScriptedSystem : public fakes::FakeKernel, public platform::ProcessStatusServices {
public:
    explicit ScriptedSystem(FuzzedDataProvider& input) : mInput(input) {}

    std::vector<std::string> listed; // the ANSI entries the rules give, in order
    int openHandles = 0;

    bool GetVersionExA(platform::OsVersionInfoA& info) override
    {
        info.dwPlatformId = mInput.PickValueInArray({1u, 2u, 2u, 0u, 3u});
        return true;
    }

    platform::Handle CreateToolhelp32Snapshot(std::uint32_t, std::uint32_t) override
    {
        if (mInput.ConsumeIntegralInRange(0, 9) == 0) {
            return platform::kInvalidHandleValue;
        }
        ++openHandles;
        return 0x9000;
    }

    bool Process32First(platform::Handle snapshot, platform::ProcessEntry32A& entry) override
    {
        return Process32Next(snapshot, entry);
    }

    bool Process32Next(platform::Handle snapshot, platform::ProcessEntry32A& entry) override
    {
        Check(snapshot == 0x9000 && entry.dwSize == sizeof(platform::ProcessEntry32A));
        if (mInput.remaining_bytes() == 0 || mInput.ConsumeIntegralInRange(0, 12) == 0) {
            return false;
        }
        std::memset(entry.szExeFile, 0x41, sizeof(entry.szExeFile));
        const std::string name = Name(260);
        std::memcpy(entry.szExeFile, name.data(), name.size());
        if (name.size() < 260) {
            entry.szExeFile[name.size()] = '\0';
        }
        entry.th32ProcessID = mInput.ConsumeIntegral<std::uint32_t>();
        listed.push_back(name.substr(0, name.find('\0')));
        return true;
    }

    platform::Handle OpenProcess(std::uint32_t access, bool, std::uint32_t processId) override
    {
        openedIds.push_back(processId);
        if (mInput.ConsumeIntegralInRange(0, 5) == 0) {
            return 0;
        }
        ++openHandles;
        mOpen[mNext] = {processId, access};
        return mNext++;
    }

    bool TerminateProcess(platform::Handle, std::uint32_t) override { return mInput.ConsumeBool(); }

    bool CloseHandle(platform::Handle handle) override
    {
        Check(handle == 0x9000 || mOpen.erase(handle) == 1);
        --openHandles;
        return true;
    }

    bool HasQueryFullProcessImageNameA() override { return mHasImageName; }

    bool QueryFullProcessImageNameA(platform::Handle, std::uint32_t, char* exeName, std::uint32_t& size) override
    {
        if (!mInput.ConsumeBool()) {
            return false;
        }
        const std::string name = Name(size - 1);
        std::memcpy(exeName, name.c_str(), name.size() + 1);
        size = static_cast<std::uint32_t>(name.size());
        listed.push_back(name);
        return true;
    }

    bool EnumProcesses(std::uint32_t* processIds, std::uint32_t bytes, std::uint32_t& bytesNeeded) override
    {
        mIds.assign(bytes / 4, 0);
        if (mInput.ConsumeIntegralInRange(0, 7) == 0) {
            mIdBytes = std::min(mNeeded, bytes);
            return false;
        }
        for (std::uint32_t i = 0; i < bytes / 4; ++i) {
            processIds[i] = mIds[i] = mInput.ConsumeIntegral<std::uint32_t>();
        }
        // Sometimes more than the buffer holds: the caller must not read past it.
        bytesNeeded = mInput.ConsumeIntegralInRange<std::uint32_t>(0, std::min<std::uint32_t>(bytes + 64, 1u << 14));
        mNeeded = bytesNeeded;
        mIdBytes = std::min(mNeeded, bytes);
        return true;
    }

    bool EnumProcessModules(platform::Handle process, platform::Handle* modules, std::uint32_t bytes,
                            std::uint32_t& bytesNeeded) override
    {
        Check(mOpen.count(process) == 1 && bytes == 200);
        if (mInput.ConsumeIntegralInRange(0, 4) == 0) {
            return false; // as for a 64-bit process
        }
        modules[0] = 0x400000;
        bytesNeeded = 4;
        return true;
    }

    std::uint32_t GetModuleFileNameExA(platform::Handle process, platform::Handle module, char* fileName,
                                       std::uint32_t size) override
    {
        Check(mOpen.count(process) == 1 && module == 0x400000 && size == 260);
        const std::string name = Name(260);
        std::memcpy(fileName, name.data(), name.size());
        // Sometimes a count beyond the buffer: the caller must not read past it.
        const std::uint32_t claimed =
            mInput.ConsumeBool() ? static_cast<std::uint32_t>(name.size()) : mInput.ConsumeIntegral<std::uint16_t>();
        // The caller filled its buffer with spaces; it takes the claimed count of it.
        std::string taken(fileName, std::min<std::uint32_t>(claimed, 260));
        for (std::size_t i = name.size(); i < taken.size(); ++i) {
            taken[i] = ' ';
        }
        listed.push_back(taken);
        return claimed;
    }

    void Configure() { mHasImageName = mInput.ConsumeBool(); }
    std::uint32_t IdBytes() const { return mIdBytes; }
    const std::vector<std::uint32_t>& Ids() const { return mIds; }

private:
    std::string Name(std::size_t most)
    {
        static const char* const kNames[] = {"C:\\Office\\OUTLOOK.EXE",
                                             "outlook.exe",
                                             "C:\\x\\outlook.exe.bak",
                                             "myoutlook.exe",
                                             "C:\\a/outlook.exe",
                                             "",
                                             "C:\\dir\\",
                                             "Outlook.Exe\0junk"};
        std::string name = mInput.ConsumeBool() ? std::string(kNames[mInput.ConsumeIntegralInRange<std::size_t>(0, 7)])
                                                : mInput.ConsumeRandomLengthString(most);
        if (name.size() > most) {
            name.resize(most);
        }
        return name;
    }

    FuzzedDataProvider& mInput;
    std::map<platform::Handle, std::pair<std::uint32_t, std::uint32_t>> mOpen;
    platform::Handle mNext = 0x100;
    bool mHasImageName = false;
    std::uint32_t mNeeded = 96;
    std::uint32_t mIdBytes = 0;
    std::vector<std::uint32_t> mIds;
};

// The matching rules, as a model: the sought name lower-cased after its last
// backslash, each entry likewise, compared exactly.
std::string LastComponentLower(const std::string& text)
{
    std::string lower = text.substr(text.rfind('\\') == std::string::npos ? 0 : text.rfind('\\') + 1);
    for (char& c : lower) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
            c = static_cast<char>(u + 0x20);
        }
    }
    return lower;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    ScriptedSystem system(input);
    system.Configure();
    fakes::FakeWindowing windowing;
    const platform::ScopedServices installed({&system, &system, nullptr, &windowing, nullptr});

    const std::string sought =
        input.PickValueInArray<std::string>({"outlook.exe", "OUTLOOK.EXE", "D:\\x\\Outlook.exe", "", "C:\\"});
    CProcessList processes;
    bool running = false;
    bool overflowed = false;
    try {
        running = static_cast<bool>(processes.IsProcessRunning(TextOfAscii(sought)));
    } catch (const RuntimeError& error) {
        Check(error.Number() == 6);
        overflowed = true;
    }
    Check(system.openHandles == 0);
    if (overflowed) {
        return 0;
    }
    const std::string want = LastComponentLower(sought);
    int matches = 0;
    for (const std::string& entry : system.listed) {
        if (LastComponentLower(entry) == want) {
            ++matches;
        }
    }
    Check(running == (matches > 0));
    Check(processes.ProcessCount() == matches);
    // The NT listing opens exactly the identifiers of its last buffer, in order, and never reads past it.
    if (!system.Ids().empty()) {
        const std::vector<std::uint32_t>& ids = system.Ids();
        const std::size_t count = std::min<std::size_t>(system.IdBytes() / 4, ids.size());
        Check(system.openedIds ==
              std::vector<std::uint32_t>(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(count)));
    }
    return 0;
}
