#pragma once

#include "platform/UniqueHandle.h"

#include <windows.h>

#include <utility>

namespace platform::win32 {

struct ModuleTraits {
    using Value = HMODULE;
    static constexpr Value Invalid() noexcept { return nullptr; }
    static bool IsValid(Value value) noexcept { return value != nullptr; }
    static void Close(Value value) noexcept { ::FreeLibrary(value); }
};

// A system DLL loaded from the system folder at its first use, so that the
// program starts on systems that lack it and a planted copy is never loaded.
class SystemLibrary {
public:
    // SideBySide: where the system has activation contexts (XP and later),
    // loaded by name, so that the manifest's assembly (common controls 6) is
    // the one found, which a full path would bypass; elsewhere (the 9x line,
    // NT 4 and 2000) from the system folder, as nothing selects it by name.
    enum class Location { SystemFolder, SideBySide };

    explicit SystemLibrary(const char* name, Location location = Location::SystemFolder) noexcept
        : mName(name), mLocation(location)
    {
    }

    // Raises the run-time error that names the library or the function.
    FARPROC Find(const char* function);
    // Null when the library or the function is missing.
    FARPROC TryFind(const char* function) noexcept;

private:
    HMODULE Module() noexcept;

    const char* mName;
    Location mLocation;
    UniqueHandle<ModuleTraits> mModule;
    bool mLoadTried = false;
};

// One function of a SystemLibrary, looked up by name at its first call.
template <typename Function>
class SystemFunction {
public:
    SystemFunction(SystemLibrary& library, const char* name) noexcept : mLibrary(library), mName(name) {}

    template <typename... Args>
    decltype(auto) operator()(Args&&... args) const
    {
        return Resolve()(std::forward<Args>(args)...);
    }

    bool Available() const noexcept
    {
        if (mFunction == nullptr) {
            mFunction = Cast(mLibrary.TryFind(mName));
        }
        return mFunction != nullptr;
    }

private:
    Function Resolve() const
    {
        if (mFunction == nullptr) {
            mFunction = Cast(mLibrary.Find(mName));
        }
        return mFunction;
    }

    static Function Cast(FARPROC address) noexcept
    {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    }

    SystemLibrary& mLibrary;
    const char* mName;
    // Found at the first call: calling does not change what the function is.
    mutable Function mFunction = nullptr;
};

// A value that a function of a system library frees, owned with that
// function: Close calls it only when it was found, so nothing is looked up,
// and nothing thrown, where the value is let go.
template <typename T, typename Function>
struct FreedByTraits {
    using Value = T;
    const SystemFunction<Function>* free = nullptr;
    static constexpr Value Invalid() noexcept { return nullptr; }
    static bool IsValid(Value value) noexcept { return value != nullptr; }
    void Close(Value value) const noexcept
    {
        if (free != nullptr && free->Available()) {
            Free(*free, value);
        }
    }
};

// How each kind is freed: the screen's device context, a font, the text and the SID the system allocated.
inline void Free(const SystemFunction<decltype(&::ReleaseDC)>& releaseDC, HDC screen)
{
    releaseDC(nullptr, screen);
}

inline void Free(const SystemFunction<decltype(&::DeleteObject)>& deleteObject, HFONT font)
{
    deleteObject(font);
}

inline void Free(const SystemFunction<decltype(&::LocalFree)>& localFree, LPSTR text)
{
    localFree(text);
}

inline void Free(const SystemFunction<decltype(&::LocalFree)>& localFree, PSID sid)
{
    localFree(sid);
}

using UniqueScreenContext = UniqueHandle<FreedByTraits<HDC, decltype(&::ReleaseDC)>>;
using UniqueFont = UniqueHandle<FreedByTraits<HFONT, decltype(&::DeleteObject)>>;
using UniqueLocalText = UniqueHandle<FreedByTraits<LPSTR, decltype(&::LocalFree)>>;
using UniqueLocalSid = UniqueHandle<FreedByTraits<PSID, decltype(&::LocalFree)>>;

// Every system library the tool calls, each loaded once, at its first use.
struct SystemLibraries {
    SystemLibrary kernel32{"kernel32.dll"};
    SystemLibrary user32{"user32.dll"};
    SystemLibrary gdi32{"gdi32.dll"};
    SystemLibrary advapi32{"advapi32.dll"};
    SystemLibrary psapi{"psapi.dll"};
    SystemLibrary shell32{"shell32.dll"};
    SystemLibrary comctl32{"comctl32.dll", SystemLibrary::Location::SideBySide};
};

// Declares member mF, the function F of the library, typed by the SDK's own
// declaration so that a wrong signature does not compile, and looked up by
// the same name at its first call.
#define SYSTEM_FUNCTION(library, function)                                                                             \
    SystemFunction<decltype(&::function)> m##function                                                                  \
    {                                                                                                                  \
        library, #function                                                                                             \
    }

inline HANDLE AsHandle(Handle handle) noexcept
{
    return reinterpret_cast<HANDLE>(handle);
}

inline Handle FromHandle(const void* handle) noexcept
{
    return reinterpret_cast<Handle>(handle);
}

} // namespace platform::win32
