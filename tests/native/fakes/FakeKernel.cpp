#include "fakes/FakeKernel.h"

#include <cctype>

#include "common/RuntimeError.h"
#include "trust/SecurityDescriptor.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace fakes {

std::vector<std::uint8_t> PeImage(std::uint16_t machine, bool cut)
{
    std::vector<std::uint8_t> image(0x100, 0);
    image[0] = 'M', image[1] = 'Z', image[0x3C] = 0x80, image[0x80] = 'P', image[0x81] = 'E';
    image[0x84] = static_cast<std::uint8_t>(machine), image[0x85] = static_cast<std::uint8_t>(machine >> 8);
    image.resize(cut ? 0x85 : image.size());
    return image;
}

std::vector<std::uint8_t> PeImageImporting(std::uint16_t machine, const std::vector<std::string>& libraries,
                                           bool isSigned, const std::vector<std::string>& assemblies,
                                           const std::vector<std::string>& exports)
{
    const auto put = [](std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t number, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(number >> (8 * i));
        }
    };
    constexpr std::size_t kSectionData = 0x200;
    constexpr std::uint32_t kSectionRva = 0x1000;
    std::vector<std::uint8_t> image = PeImage(machine);
    image.resize(kSectionData + 20 * (libraries.size() + 1));
    const bool plus = machine == 0x8664;
    const std::size_t optional = 0x98;
    const std::size_t optionalSize = plus ? 240 : 224;
    const std::size_t directories = optional + (plus ? 112 : 96);
    put(image, 0x86, 1, 2); // one section
    put(image, 0x94, static_cast<std::uint32_t>(optionalSize), 2);
    put(image, optional, plus ? 0x20B : 0x10B, 2);
    put(image, directories - 4, 16, 4);          // every data directory
    put(image, directories + 8, kSectionRva, 4); // the import table
    for (const std::string& name : libraries) {
        const std::size_t entry = kSectionData + 20 * static_cast<std::size_t>(&name - libraries.data());
        put(image, entry + 12, static_cast<std::uint32_t>(kSectionRva + image.size() - kSectionData), 4);
        image.insert(image.end(), name.begin(), name.end());
        image.push_back(0);
    }
    for (const std::string& assembly : assemblies) {
        const std::string text = "<dependentAssembly><assemblyIdentity type=\"win32\" name=\"" + assembly + "\"/>";
        image.insert(image.end(), text.begin(), text.end());
    }
    // The export table: its 40 bytes, the names' RVAs, then the names.
    const auto rvaOf = [&](std::size_t offset) {
        return static_cast<std::uint32_t>(kSectionRva + offset - kSectionData);
    };
    const std::size_t exportTable = image.size();
    put(image, directories, rvaOf(exportTable), 4);
    image.resize(exportTable + 40 + 4 * exports.size(), 0);
    put(image, exportTable + 24, static_cast<std::uint32_t>(exports.size()), 4);
    put(image, exportTable + 32, rvaOf(exportTable + 40), 4);
    for (std::size_t i = 0; i < exports.size(); ++i) {
        put(image, exportTable + 40 + 4 * i, rvaOf(image.size()), 4);
        image.insert(image.end(), exports[i].begin(), exports[i].end());
        image.push_back(0);
    }
    const std::size_t section = optional + optionalSize;
    put(image, section + 12, kSectionRva, 4);
    put(image, section + 16, static_cast<std::uint32_t>(image.size() - kSectionData), 4);
    put(image, section + 20, kSectionData, 4);
    if (isSigned) {
        put(image, directories + 32, static_cast<std::uint32_t>(image.size()), 4);
        put(image, directories + 36, 8, 4);
        image.resize(image.size() + 8, 0);
    }
    return image;
}
namespace {

std::string Folded(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return text;
}

// '*' and '?' wildcards, without case, as the find functions take them.
bool Matches(const std::string& mask, const std::string& name)
{
    if (mask.empty()) {
        return name.empty();
    }
    if (mask[0] == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (Matches(mask.substr(1), name.substr(skip))) {
                return true;
            }
        }
        return false;
    }
    return !name.empty() && (mask[0] == '?' || mask[0] == name[0]) && Matches(mask.substr(1), name.substr(1));
}

// The 8.3 alias a volume that keeps such names gives a long name, as the
// find functions match it too; none for a name that is 8.3 already.
std::string ShortAlias(const std::string& name)
{
    const std::size_t dot = name.find_last_of('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const auto valid = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-'; };
    if (base.size() <= 8 && extension.size() <= 3 && std::all_of(base.begin(), base.end(), valid) &&
        std::all_of(extension.begin(), extension.end(), valid)) {
        return {};
    }
    std::string alias;
    for (const char c : base) {
        if (valid(c) && alias.size() < 6) {
            alias.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    alias += "~1";
    if (!extension.empty()) {
        alias.push_back('.');
        alias.append(extension, 0, 3);
    }
    std::transform(alias.begin(), alias.end(), alias.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return alias;
}

} // namespace

FakeProcess& FakeKernel::AddProcess(std::uint32_t id, std::string path)
{
    FakeProcess process;
    process.id = id;
    process.path = std::move(path);
    processes.push_back(process);
    return processes.back();
}

FakeProcess* FakeKernel::Find(std::uint32_t id)
{
    // Listings open processes in table order: searching on from the last hit
    // keeps tables of tens of thousands of processes fast.
    const std::size_t count = processes.size();
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t i = (mFindHint + step) % count;
        if (processes[i].id == id && !processes[i].terminated) {
            mFindHint = i;
            return &processes[i];
        }
    }
    return nullptr;
}

bool FakeKernel::GetVersionExA(platform::OsVersionInfoA& info)
{
    ++versionQueries;
    if (versionCallFails || info.dwOSVersionInfoSize != sizeof(info)) {
        return false;
    }
    info.dwMajorVersion = majorVersion;
    info.dwMinorVersion = minorVersion;
    info.dwBuildNumber = 2600;
    info.dwPlatformId = platformId;
    return true;
}

platform::Handle FakeKernel::NewHandle(OpenHandle handle)
{
    const platform::Handle value = mNextHandle;
    mNextHandle += 4;
    mHandles.emplace(value, std::move(handle));
    return value;
}

platform::Handle FakeKernel::CreateToolhelp32Snapshot(std::uint32_t flags, std::uint32_t)
{
    if (snapshotFails || flags != platform::kTh32csSnapProcess) {
        return platform::kInvalidHandleValue;
    }
    OpenHandle snapshot{OpenHandle::Kind::Snapshot, 0, 0, {}, 0, {}};
    std::copy_if(processes.begin(), processes.end(), std::back_inserter(snapshot.snapshot),
                 [](const FakeProcess& p) { return !p.terminated; });
    return NewHandle(std::move(snapshot));
}

bool FakeKernel::FillEntry(OpenHandle& snapshot, platform::ProcessEntry32A& entry)
{
    if (entry.dwSize != sizeof(entry) || snapshot.next >= snapshot.snapshot.size()) {
        return false;
    }
    const FakeProcess& process = snapshot.snapshot[snapshot.next++];
    const std::string exe = process.exeFile.value_or(process.path);
    entry.th32ProcessID = process.id;
    std::memset(entry.szExeFile, 0, sizeof(entry.szExeFile));
    std::memcpy(entry.szExeFile, exe.data(), std::min(exe.size(), sizeof(entry.szExeFile)));
    return true;
}

bool FakeKernel::Process32First(platform::Handle snapshot, platform::ProcessEntry32A& entry)
{
    const auto found = mHandles.find(snapshot);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Snapshot) {
        return false;
    }
    found->second.next = 0;
    return FillEntry(found->second, entry);
}

bool FakeKernel::Process32Next(platform::Handle snapshot, platform::ProcessEntry32A& entry)
{
    const auto found = mHandles.find(snapshot);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Snapshot) {
        return false;
    }
    return FillEntry(found->second, entry);
}

platform::Handle FakeKernel::OpenProcess(std::uint32_t access, bool, std::uint32_t processId)
{
    openedIds.push_back(processId);
    openAccesses.push_back(access);
    const FakeProcess* process = Find(processId);
    if (process == nullptr || !process->canOpen) {
        return 0;
    }
    return NewHandle(OpenHandle{OpenHandle::Kind::Process, processId, access, {}, 0, {}});
}

FakeProcess* FakeKernel::ProcessOf(platform::Handle handle)
{
    const auto found = mHandles.find(handle);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Process) {
        return nullptr;
    }
    return Find(found->second.processId);
}

platform::Handle FakeKernel::OpenToken(std::uint32_t processId)
{
    return NewHandle(OpenHandle{OpenHandle::Kind::Token, processId, 0, {}, 0, {}});
}

platform::Handle FakeKernel::CreateMutexA(const std::string& name, const platform::DescriptorBytes* descriptor,
                                          std::int32_t& lastError)
{
    if (deniedMutexes.count(name) != 0) {
        lastError = platform::kErrorAccessDenied;
        return 0;
    }
    const bool exists = othersMutexes.count(name) != 0 || HoldsMutex(name);
    // The owner sits at bytes 4 to 7 of a self-relative descriptor: none where they are 0.
    if (!exists && mutexOwnerRefused && descriptor != nullptr && descriptor->size() >= 8 &&
        ((*descriptor)[4] | (*descriptor)[5] | (*descriptor)[6] | (*descriptor)[7]) != 0) {
        lastError = 1307;
        return 0;
    }
    lastError = exists ? platform::kErrorAlreadyExists : platform::kErrorSuccess;
    if (!exists && descriptor != nullptr) {
        mutexDescriptors[name] = *descriptor;
    }
    return NewHandle(OpenHandle{OpenHandle::Kind::Mutex, 0, 0, {}, 0, {}, name});
}

bool FakeKernel::NamespaceExists(const std::string& alias) const
{
    return othersNamespaces.count(alias) != 0 || std::any_of(mHandles.begin(), mHandles.end(), [&](const auto& handle) {
               return handle.second.kind == OpenHandle::Kind::Namespace && handle.second.path == alias;
           });
}

platform::Handle FakeKernel::CreatePrivateNamespaceA(const platform::DescriptorBytes&, const platform::Sid&,
                                                     const std::string& alias, std::int32_t& lastError)
{
    if (!inNamespaceBoundary || NamespaceExists(alias)) {
        lastError = inNamespaceBoundary ? platform::kErrorAlreadyExists : platform::kErrorAccessDenied;
        return 0;
    }
    lastError = platform::kErrorSuccess;
    return NewHandle(OpenHandle{OpenHandle::Kind::Namespace, 0, 0, {}, 0, {}, alias});
}

platform::Handle FakeKernel::OpenPrivateNamespaceA(const platform::Sid&, const std::string& alias)
{
    if (!inNamespaceBoundary || !NamespaceExists(alias)) {
        return 0;
    }
    return NewHandle(OpenHandle{OpenHandle::Kind::Namespace, 0, 0, {}, 0, {}, alias});
}

bool FakeKernel::ClosePrivateNamespace(platform::Handle privateNamespace)
{
    const auto found = mHandles.find(privateNamespace);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Namespace) {
        return false;
    }
    mHandles.erase(found);
    return true;
}

platform::DescriptorBytes FakeKernel::WithOwner(const std::optional<platform::DescriptorBytes>& descriptor) const
{
    constexpr std::uint32_t kReadAndExecute = 0x1200A9;
    constexpr std::uint8_t kPassedOn = SecurityDescriptor::kObjectInherit | SecurityDescriptor::kContainerInherit;
    if (!descriptor) {
        // As Windows' own folders: the system and the administrators, and users who may read.
        return SecurityDescriptor::Make(
            "S-1-5-32-544",
            std::vector<SecurityDescriptor::Ace>{
                {SecurityDescriptor::kAccessAllowed, kPassedOn, SecurityDescriptor::kFullControl, "S-1-5-18"},
                {SecurityDescriptor::kAccessAllowed, kPassedOn, SecurityDescriptor::kFullControl, "S-1-5-32-544"},
                {SecurityDescriptor::kAccessAllowed, kPassedOn, kReadAndExecute, "S-1-5-32-545"}},
            false);
    }
    const auto parsed = SecurityDescriptor::Parse(*descriptor);
    if (!parsed || parsed->Owner()) {
        return *descriptor;
    }
    return SecurityDescriptor::Make(defaultOwner, parsed->HasDacl() ? std::optional(parsed->Aces()) : std::nullopt,
                                    parsed->IsProtected());
}

std::optional<platform::DescriptorBytes> FakeKernel::SecurityOf(platform::Handle object) const
{
    const auto found = mHandles.find(object);
    if (found == mHandles.end()) {
        return std::nullopt;
    }
    const OpenHandle& open = found->second;
    if (open.kind == OpenHandle::Kind::Mutex) {
        if (const auto made = mutexDescriptors.find(open.path); made != mutexDescriptors.end()) {
            return WithOwner(made->second);
        }
        const auto owner = mutexOwners.find(open.path);
        return SecurityDescriptor::Make(owner == mutexOwners.end() ? "S-1-5-32-544" : owner->second,
                                        std::vector<SecurityDescriptor::Ace>{}, true);
    }
    if (open.kind != OpenHandle::Kind::File) {
        return std::nullopt;
    }
    const FakeEntry* entry = EntryAt(open.path);
    return WithOwner(entry == nullptr ? std::nullopt : entry->security);
}

// A mutex exists while a handle of it is open: another copy of the tool, in this process, finds it.
bool FakeKernel::HoldsMutex(const std::string& name) const
{
    return std::any_of(mHandles.begin(), mHandles.end(), [&](const auto& handle) {
        return handle.second.kind == OpenHandle::Kind::Mutex && handle.second.path == name;
    });
}

// Only a mutex a wait took can be let go, as Windows has it.
bool FakeKernel::ReleaseMutex(platform::Handle mutex)
{
    const auto found = mHandles.find(mutex);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Mutex || found->second.next == 0) {
        ++releasesNotHeld;
        return false;
    }
    --found->second.next;
    return true;
}

platform::Handle FakeKernel::OpenMutexA(const std::string& name, std::int32_t& lastError)
{
    const bool exists = othersMutexes.count(name) != 0 || HoldsMutex(name);
    if (!exists || deniedMutexes.count(name) != 0) {
        lastError = !exists ? platform::kErrorFileNotFound : platform::kErrorAccessDenied;
        return 0;
    }
    lastError = platform::kErrorSuccess;
    return NewHandle(OpenHandle{OpenHandle::Kind::Mutex, 0, 0, {}, 0, {}, name});
}

std::uint32_t FakeKernel::GetDriveTypeA(const std::string& root)
{
    fileSystemPaths.push_back(root);
    const auto found = driveTypes.find(root.empty() ? '\0' : static_cast<char>(std::toupper(root[0])));
    return root.size() == 3 && found != driveTypes.end() ? found->second : 1;
}

std::optional<std::uint32_t> FakeKernel::ProcessOfToken(platform::Handle token) const
{
    const auto found = mHandles.find(token);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Token) {
        return std::nullopt;
    }
    return found->second.processId;
}

bool FakeKernel::TerminateProcess(platform::Handle process, std::uint32_t exitCode)
{
    const auto found = mHandles.find(process);
    FakeProcess* target = ProcessOf(process);
    if (target == nullptr || (found->second.access & 0x1) == 0 || !target->canTerminate) {
        return false;
    }
    terminateExitCodes.push_back(exitCode);
    target->terminated = true;
    return true;
}

bool FakeKernel::CloseHandle(platform::Handle handle)
{
    const auto found = mHandles.find(handle);
    if (found == mHandles.end() || found->second.kind == OpenHandle::Kind::Find) {
        return false;
    }
    mHandles.erase(found);
    return true;
}

bool FakeKernel::GetExitCodeProcess(platform::Handle process, std::uint32_t& exitCode)
{
    const auto found = mHandles.find(process);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Process) {
        return false;
    }
    const FakeProcess* target = Find(found->second.processId);
    if (target == nullptr) {
        return false;
    }
    const bool ended = target->endsAt && now >= *target->endsAt;
    exitCode = ended ? target->exitCode : platform::kStillActive;
    return true;
}

platform::Handle FakeKernel::StartProcess(const std::string& path, std::optional<std::uint32_t> runsFor,
                                          std::uint32_t exitCode)
{
    FakeProcess& started = AddProcess(mNextStartedId, path);
    mNextStartedId += 4;
    if (runsFor) {
        started.endsAt = now + *runsFor;
    }
    started.exitCode = exitCode;
    return NewHandle(OpenHandle{OpenHandle::Kind::Process, started.id, platform::kProcessAllAccess, {}, 0, {}});
}

std::optional<std::uint32_t> FakeKernel::EndOf(platform::Handle process)
{
    const FakeProcess* target = ProcessOf(process);
    return target == nullptr ? std::nullopt : target->endsAt;
}

bool FakeKernel::QueryFullProcessImageNameA(platform::Handle process, std::uint32_t, char* exeName, std::uint32_t& size)
{
    const FakeProcess* target = ProcessOf(process);
    if (target == nullptr || !target->canQueryImageName || target->path.size() + 1 > size) {
        return false;
    }
    std::memcpy(exeName, target->path.c_str(), target->path.size() + 1);
    size = static_cast<std::uint32_t>(target->path.size());
    return true;
}

void FakeKernel::FillFound(const FakeEntry& entry, platform::Win32FindDataA& data)
{
    std::memset(&data, 0, sizeof(data));
    data.dwFileAttributes = entry.attributes;
    std::memcpy(data.cFileName, entry.name.data(), std::min(entry.name.size(), sizeof(data.cFileName)));
}

// The entry itself: a link at the end of the path is not followed.
const FakeEntry* FakeKernel::EntryAt(const std::string& path) const
{
    const std::string located = Located(path);
    const std::size_t separator = located.find_last_of('\\');
    if (separator == std::string::npos) {
        return nullptr;
    }
    if (const auto* entries = RawFolderAt(located.substr(0, separator))) {
        for (const FakeEntry& entry : *entries) {
            if (Folded(entry.name) == Folded(located.substr(separator + 1))) {
                return &entry;
            }
        }
    }
    return nullptr;
}

std::string FakeKernel::Resolved(const std::string& folder) const
{
    // A path from the drive's root keeps its separator.
    std::string resolved = folder.starts_with('\\') ? "\\" : "";
    int hops = 0;
    for (std::size_t start = 0; start <= folder.size();) {
        const std::size_t end = std::min(folder.find('\\', start), folder.size());
        const std::string part = folder.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            continue;
        }
        if (resolved.empty() || resolved == "\\") {
            resolved += part;
            continue;
        }
        const FakeEntry* entry = nullptr;
        if (const auto* entries = RawFolderAt(resolved)) {
            for (const FakeEntry& candidate : *entries) {
                if (Folded(candidate.name) == Folded(part)) {
                    entry = &candidate;
                }
            }
        }
        resolved = entry != nullptr && !entry->linkTo.empty() && hops++ < 8 ? entry->linkTo : resolved + "\\" + part;
    }
    return resolved;
}

std::string FakeKernel::Located(const std::string& path) const
{
    const std::size_t separator = path.find_last_of('\\');
    return separator == std::string::npos ? path : Resolved(path.substr(0, separator)) + path.substr(separator);
}

const std::vector<FakeEntry>* FakeKernel::RawFolderAt(const std::string& folder) const
{
    const auto found = std::find_if(folders.begin(), folders.end(),
                                    [&](const auto& candidate) { return Folded(candidate.first) == Folded(folder); });
    return found == folders.end() ? nullptr : &found->second;
}

const std::vector<FakeEntry>* FakeKernel::FolderAt(const std::string& folder) const
{
    return RawFolderAt(Resolved(folder));
}

// A folder of the drive's root has no entry of its own: it reads as a folder all the same.
std::uint32_t FakeKernel::GetFileAttributesA(const std::string& path)
{
    fileSystemPaths.push_back(path);
    const FakeEntry* entry = EntryAt(path);
    if (entry == nullptr) {
        return RawFolderAt(Located(path)) != nullptr ? platform::kFileAttributeDirectory
                                                     : platform::kInvalidFileAttributes;
    }
    return entry->attributes;
}

FakeEntry* FakeKernel::EntryAt(const std::string& path)
{
    return const_cast<FakeEntry*>(std::as_const(*this).EntryAt(path));
}

bool FakeKernel::IsReadOnly(const std::string& folder) const
{
    return std::any_of(readOnlyFolders.begin(), readOnlyFolders.end(),
                       [&](const std::string& denied) { return Folded(denied) == Folded(folder); });
}

std::optional<std::string> FakeKernel::Contents(const std::string& path) const
{
    const FakeEntry* entry = EntryAt(path);
    return entry == nullptr ? std::nullopt : std::optional(std::string(entry->contents.begin(), entry->contents.end()));
}

// Reads, and writes as the access asks: at the file pointer, or, opened
// only to append, always at the end. A link is followed unless the link
// itself is asked for; a folder opens only with backup semantics.
platform::Handle FakeKernel::CreateFileA(const std::string& path, std::uint32_t access, std::uint32_t,
                                         std::uint32_t creation, std::uint32_t flags,
                                         const platform::DescriptorBytes* descriptor)
{
    fileSystemPaths.push_back(path);
    fileOpens.emplace_back(path, flags);
    std::string target = Located(path);
    const FakeEntry* entry = EntryAt(target);
    if (entry != nullptr && !entry->linkTo.empty() && (flags & platform::kFileFlagOpenReparsePoint) == 0) {
        target = Located(entry->linkTo);
        entry = EntryAt(target);
    }
    const std::size_t separator = target.find_last_of('\\');
    const std::string folder = separator == std::string::npos ? std::string() : target.substr(0, separator);
    const bool writes = (access & (platform::kGenericWrite | platform::kFileAppendData)) != 0;
    const bool asFolder = (flags & platform::kFileFlagBackupSemantics) != 0;
    if (entry == nullptr && asFolder && RawFolderAt(target) != nullptr) {
        return NewHandle(OpenHandle{OpenHandle::Kind::File, 0, access, {}, 0, {}, target});
    }
    if (entry == nullptr && creation != platform::kOpenExisting && RawFolderAt(folder) != nullptr &&
        !IsReadOnly(folder)) {
        const_cast<std::vector<FakeEntry>&>(*RawFolderAt(folder))
            .push_back({.name = target.substr(separator + 1),
                        .security = descriptor == nullptr ? std::nullopt : std::optional(*descriptor)});
        entry = EntryAt(target);
    } else if (entry != nullptr && creation == platform::kCreateNew) {
        return platform::kInvalidHandleValue;
    }
    const bool isFolder = entry != nullptr && (entry->attributes & platform::kFileAttributeDirectory) != 0;
    if (entry == nullptr || (isFolder && !asFolder) || (writes && IsReadOnly(folder))) {
        return platform::kInvalidHandleValue;
    }
    return NewHandle(OpenHandle{OpenHandle::Kind::File, 0, access, {}, 0, {}, target});
}

std::optional<platform::FileInformation> FakeKernel::GetFileInformationByHandle(platform::Handle file)
{
    const auto found = mHandles.find(file);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::File || fileInformationFails) {
        return std::nullopt;
    }
    const FakeEntry* entry = EntryAt(found->second.path);
    if (entry == nullptr) {
        return platform::FileInformation{platform::kFileAttributeDirectory, 1};
    }
    // As Windows tells it of a link opened as itself; Wine does not.
    return platform::FileInformation{entry->attributes, entry->links};
}

bool FakeKernel::ReadFile(platform::Handle file, std::uint8_t* data, std::uint32_t bytes, std::uint32_t& read)
{
    const auto found = mHandles.find(file);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::File) {
        return false;
    }
    OpenHandle& open = found->second;
    if (EntryAt(open.path) == nullptr) {
        return false;
    }
    const std::vector<std::uint8_t>& contents = EntryAt(open.path)->contents;
    read = static_cast<std::uint32_t>(
        std::min<std::size_t>(bytes, contents.size() - std::min(open.next, contents.size())));
    std::copy_n(contents.begin() + static_cast<std::ptrdiff_t>(open.next), read, data);
    open.next += read;
    return true;
}

bool FakeKernel::WriteFile(platform::Handle file, const std::uint8_t* data, std::uint32_t bytes, std::uint32_t& written)
{
    const auto found = mHandles.find(file);
    written = 0;
    // Only the NT line knows the right to append alone.
    const std::uint32_t writeAccess =
        platform::kGenericWrite | (platformId == platform::kVerPlatformWin32Nt ? platform::kFileAppendData : 0);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::File ||
        (found->second.access & writeAccess) == 0) {
        return false;
    }
    OpenHandle& open = found->second;
    if (EntryAt(open.path) == nullptr) {
        return false;
    }
    std::vector<std::uint8_t>& contents = EntryAt(open.path)->contents;
    const bool appends = (open.access & platform::kGenericWrite) == 0;
    const std::size_t at = appends ? contents.size() : open.next;
    contents.resize(std::max(contents.size(), at + bytes));
    std::copy_n(data, bytes, contents.begin() + static_cast<std::ptrdiff_t>(at));
    open.next = at + bytes;
    written = bytes;
    return true;
}

std::optional<std::uint64_t> FakeKernel::GetFileSize(platform::Handle file)
{
    const auto found = mHandles.find(file);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::File ||
        EntryAt(found->second.path) == nullptr) {
        return std::nullopt;
    }
    return EntryAt(found->second.path)->contents.size();
}

std::uint32_t FakeKernel::SetFilePointer(platform::Handle file, std::int32_t distance, std::uint32_t method)
{
    const auto found = mHandles.find(file);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::File || method != platform::kFileEnd ||
        distance != 0 || EntryAt(found->second.path) == nullptr) {
        return platform::kInvalidSetFilePointer;
    }
    found->second.next = EntryAt(found->second.path)->contents.size();
    return static_cast<std::uint32_t>(found->second.next);
}

// A link is deleted itself, never what it leads to; a folder is no file.
bool FakeKernel::DeleteFileA(const std::string& path)
{
    fileSystemPaths.push_back(path);
    const std::string located = Located(path);
    const std::size_t separator = located.find_last_of('\\');
    const FakeEntry* entry = EntryAt(located);
    if (separator == std::string::npos || entry == nullptr || IsReadOnly(located.substr(0, separator)) ||
        (entry->attributes & platform::kFileAttributeDirectory) != 0) {
        return false;
    }
    auto& entries = const_cast<std::vector<FakeEntry>&>(*RawFolderAt(located.substr(0, separator)));
    entries.erase(entries.begin() + (entry - entries.data()));
    return true;
}

// Within one folder; a folder moves with everything in it, a link as itself.
bool FakeKernel::MoveFileA(const std::string& from, const std::string& to)
{
    fileSystemPaths.push_back(from);
    const std::string source = Located(from);
    const std::string target = Located(to);
    const std::size_t separator = target.find_last_of('\\');
    FakeEntry* entry = const_cast<FakeEntry*>(std::as_const(*this).EntryAt(source));
    if (entry == nullptr || EntryAt(target) != nullptr || separator == std::string::npos ||
        Folded(source.substr(0, source.find_last_of('\\'))) != Folded(target.substr(0, separator)) ||
        IsReadOnly(target.substr(0, separator))) {
        return false;
    }
    entry->name = target.substr(separator + 1);
    if ((entry->attributes & platform::kFileAttributeDirectory) != 0 && entry->linkTo.empty()) {
        std::map<std::string, std::vector<FakeEntry>> moved;
        for (auto it = folders.begin(); it != folders.end();) {
            const std::string key = Folded(it->first);
            if (key == Folded(source) || key.starts_with(Folded(source) + "\\")) {
                moved[target + it->first.substr(source.size())] = std::move(it->second);
                it = folders.erase(it);
            } else {
                ++it;
            }
        }
        folders.merge(moved);
    }
    return true;
}

bool FakeKernel::MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags)
{
    const FakeEntry* replaced = EntryAt(to);
    if (platformId != platform::kVerPlatformWin32Nt || EntryAt(from) == nullptr ||
        (replaced != nullptr && ((flags & platform::kMoveFileReplaceExisting) == 0 ||
                                 (replaced->attributes & platform::kFileAttributeDirectory) != 0))) {
        return false;
    }
    if (replaced != nullptr && !DeleteFileA(to)) {
        return false;
    }
    return MoveFileA(from, to);
}

bool FakeKernel::CreateDirectoryA(const std::string& path, const platform::DescriptorBytes* descriptor)
{
    fileSystemPaths.push_back(path);
    const std::string located = Located(path);
    const std::size_t separator = located.find_last_of('\\');
    const std::string parent = separator == std::string::npos ? std::string() : located.substr(0, separator);
    const bool atRoot = parent.size() == 2 && parent[1] == ':';
    if (RawFolderAt(located) != nullptr || EntryAt(located) != nullptr || (!atRoot && RawFolderAt(parent) == nullptr) ||
        IsReadOnly(parent)) {
        return false;
    }
    if (!atRoot) {
        const_cast<std::vector<FakeEntry>&>(*RawFolderAt(parent))
            .push_back({.name = located.substr(separator + 1),
                        .attributes = platform::kFileAttributeDirectory,
                        .security = descriptor == nullptr ? std::nullopt : std::optional(*descriptor)});
    }
    folders[located];
    return true;
}

platform::Handle FakeKernel::FindFirstFileA(const std::string& pattern, platform::Win32FindDataA& data)
{
    fileSystemPaths.push_back(pattern);
    findPatterns.push_back(pattern);
    const std::size_t separator = pattern.find_last_of("\\/");
    std::string folder = separator == std::string::npos ? std::string() : pattern.substr(0, separator);
    const std::string mask = Folded(separator == std::string::npos ? pattern : pattern.substr(separator + 1));
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    const auto* contents = FolderAt(folder);
    if (contents == nullptr) {
        return platform::kInvalidHandleValue;
    }
    OpenHandle search{OpenHandle::Kind::Find, 0, 0, {}, 0, {}};
    for (const FakeEntry& entry : *contents) {
        const std::string name = entry.name.substr(0, entry.name.find('\0'));
        const std::string alias = ShortAlias(name);
        if (Matches(mask, Folded(name)) || (!alias.empty() && Matches(mask, Folded(alias)))) {
            search.found.push_back(entry);
        }
    }
    if (search.found.empty()) {
        return platform::kInvalidHandleValue;
    }
    FillFound(search.found[0], data);
    search.next = 1;
    return NewHandle(std::move(search));
}

bool FakeKernel::FindNextFileA(platform::Handle find, platform::Win32FindDataA& data)
{
    const auto found = mHandles.find(find);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Find) {
        return false;
    }
    OpenHandle& search = found->second;
    if (findFailsAfter && search.next >= *findFailsAfter) {
        throw RuntimeError(5, u"Invalid procedure call or argument");
    }
    if (search.next >= search.found.size()) {
        return false;
    }
    FillFound(search.found[search.next++], data);
    return true;
}

bool FakeKernel::FindClose(platform::Handle handle)
{
    const auto found = mHandles.find(handle);
    if (found == mHandles.end() || found->second.kind != OpenHandle::Kind::Find) {
        return false;
    }
    mHandles.erase(found);
    return true;
}

int FakeKernel::OpenFindCount() const
{
    return static_cast<int>(std::count_if(mHandles.begin(), mHandles.end(), [](const auto& handle) {
        return handle.second.kind == OpenHandle::Kind::Find;
    }));
}

std::string FakeKernel::GetShortPathNameA(const std::string& path)
{
    fileSystemPaths.push_back(path);
    for (const auto& [longPath, shortPath] : shortPaths) {
        if (Folded(longPath) == Folded(path)) {
            return shortPath;
        }
    }
    return {};
}

void FakeKernel::Sleep(std::uint32_t milliseconds)
{
    sleptMilliseconds.push_back(milliseconds);
    now += milliseconds;
    if (journal != nullptr) {
        journal->push_back("sleep " + std::to_string(milliseconds));
    }
}

std::uint32_t FakeKernel::WaitForMultipleObjects(const std::vector<platform::Handle>& handles,
                                                 std::uint32_t milliseconds)
{
    std::optional<std::size_t> first;
    std::uint32_t firstEnd = 0;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        // A mutex no other program holds is taken at once.
        const auto found = mHandles.find(handles[i]);
        if (found != mHandles.end() && found->second.kind == OpenHandle::Kind::Mutex &&
            busyMutexes.count(found->second.path) == 0) {
            ++found->second.next;
            return platform::kWaitObject0 + static_cast<std::uint32_t>(i);
        }
        const auto end = EndOf(handles[i]);
        if (end && (!first || *end < firstEnd)) {
            first = i;
            firstEnd = *end;
        }
    }
    if (first && firstEnd <= now + milliseconds) {
        now = std::max(now, firstEnd);
        return platform::kWaitObject0 + static_cast<std::uint32_t>(*first);
    }
    now += milliseconds;
    return platform::kWaitTimeout;
}

std::string FakeKernel::WideToAnsi(std::u16string_view text)
{
    std::string ansi;
    ansi.reserve(text.size());
    for (const char16_t c : text) {
        ansi.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    }
    return ansi;
}

std::u16string FakeKernel::AnsiToWide(std::string_view ansi)
{
    std::u16string text;
    text.reserve(ansi.size());
    for (const char c : ansi) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace fakes
