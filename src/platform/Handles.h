#pragma once

#include "platform/Platform.h"
#include "platform/UniqueHandle.h"

// Every operating-system handle that crosses the boundary, each owned by one
// type that knows the value by which the system reports "no handle" and the
// one call that closes a valid one. The tag keeps handles that close alike
// apart: a thread is not held as a process, nor a token as either.
namespace platform {

template <typename Tag, Handle kNone, void (*kClose)(Handle) noexcept>
struct HandleTraits {
    using Value = Handle;
    static constexpr Value Invalid() noexcept { return kNone; }
    static constexpr bool IsValid(Value value) noexcept { return value != kNone; }
    static void Close(Value value) noexcept { kClose(value); }
};

inline void CloseKernelHandle(Handle handle) noexcept
{
    Kernel().CloseHandle(handle);
}

inline void CloseFind(Handle find) noexcept
{
    Kernel().FindClose(find);
}

inline void ClosePrivateNamespace(Handle privateNamespace) noexcept
{
    Kernel().ClosePrivateNamespace(privateNamespace);
}

inline void CloseEventSource(Handle source) noexcept
{
    EventLog().DeregisterEventSource(source);
}

inline void CloseEventLog(Handle log) noexcept
{
    EventLog().CloseEventLog(log);
}

inline void CloseRegistryKey(Handle key) noexcept
{
    Registry().RegCloseKey(key);
}

// OpenProcess, a launch and a token report failure as 0; a snapshot and a file as INVALID_HANDLE_VALUE.
using UniqueProcessHandle = UniqueHandle<HandleTraits<struct ProcessTag, 0, &CloseKernelHandle>>;
using UniqueThreadHandle = UniqueHandle<HandleTraits<struct ThreadTag, 0, &CloseKernelHandle>>;
using UniqueTokenHandle = UniqueHandle<HandleTraits<struct TokenTag, 0, &CloseKernelHandle>>;
using UniqueSnapshotHandle = UniqueHandle<HandleTraits<struct SnapshotTag, kInvalidHandleValue, &CloseKernelHandle>>;
using UniqueFileHandle = UniqueHandle<HandleTraits<struct FileTag, kInvalidHandleValue, &CloseKernelHandle>>;
using UniqueEventSourceHandle = UniqueHandle<HandleTraits<struct EventSourceTag, 0, &CloseEventSource>>;
using UniqueEventLogHandle = UniqueHandle<HandleTraits<struct EventLogTag, 0, &CloseEventLog>>;
using UniqueFindHandle = UniqueHandle<HandleTraits<struct FindTag, kInvalidHandleValue, &CloseFind>>;
using UniqueRegistryKey = UniqueHandle<HandleTraits<struct RegistryKeyTag, 0, &CloseRegistryKey>>;
using UniqueMutexHandle = UniqueHandle<HandleTraits<struct MutexTag, 0, &CloseKernelHandle>>;
using UniqueNamespaceHandle = UniqueHandle<HandleTraits<struct NamespaceTag, 0, &ClosePrivateNamespace>>;

} // namespace platform
