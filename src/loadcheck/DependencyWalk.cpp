#include "loadcheck/DependencyWalk.h"

#include "files/PlainFile.h"
#include "pe/PeImage.h"
#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"

#include <algorithm>
#include <cctype>

namespace {

const Text kKnownDllsKey = u"System\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

DependencyWalk::DependencyWalk(const Edition& edition) : mEdition(edition), mVersion(WindowsVersion::OfThisComputer())
{
}

std::optional<std::vector<std::string>> DependencyWalk::MissingLibraries(std::span<const std::uint8_t> mainLibrary)
{
    const auto imports = ImportedLibraries(mainLibrary);
    if (!imports) {
        return std::nullopt;
    }
    mSeen.clear();
    mWalked.clear();
    mMissing.clear();
    Walk(mainLibrary, *imports, true);
    return mMissing;
}

void DependencyWalk::Walk(std::span<const std::uint8_t> image, const std::vector<std::string>& imports,
                          bool inAddinFolder)
{
    const std::vector<std::string> assemblies = DependentAssemblies(image);
    for (const std::string& name : imports) {
        const std::string lower = Lower(name);
        if (IsSuppliedBySystem(lower)) {
            continue;
        }
        if (IsInFolder(mEdition.folder, name)) {
            // One level down: what the add-in's own libraries need, not what
            // those need in turn; each library KROutlook.dll imports is read
            // once, even where another of them named it first.
            if (inAddinFolder && mWalked.insert(lower).second) {
                const std::vector<std::uint8_t> library = ReadImage(mEdition.folder + u"\\" + FromAnsi(name));
                if (const auto libraryImports = ImportedLibraries(library)) {
                    Walk(library, *libraryImports, false);
                }
            }
            continue;
        }
        if (mSeen.insert(lower).second && !IsInFolder(mEdition.systemFolder, name) &&
            !IsInFolder(mEdition.windowsFolder, name) && !IsOnSearchPath(name) && !IsInAssembly(assemblies, name)) {
            mMissing.push_back(name);
        }
    }
}

// API sets are names, not files, from Windows 7 on; the Universal C
// Runtime's only from Windows 10: before, an update installs them as files.
bool DependencyWalk::IsSuppliedBySystem(const std::string& lowerName)
{
    const bool crt = lowerName.starts_with("api-ms-win-crt-");
    if ((lowerName.starts_with("api-ms-win-") || lowerName.starts_with("ext-ms-")) &&
        mVersion.IsNtAtLeast(crt ? 10 : 6, crt ? 0 : 1)) {
        return true;
    }
    if (!mKnownDlls) {
        mKnownDlls.emplace();
        CRegistry known;
        if (known.OpenExistingKey(kKnownDllsKey, platform::kHkeyLocalMachine, platform::kKeyRead) ==
            platform::kErrorSuccess) {
            CRegistry::RawValue value;
            for (Long index = 0; known.ReadValue(index, value) == platform::kErrorSuccess; ++index) {
                const std::string_view data(reinterpret_cast<const char*>(value.data.data()), value.data.size());
                mKnownDlls->insert(Lower(std::string(BeforeFirstNul(data))));
            }
        }
    }
    return mKnownDlls->count(lowerName) != 0;
}

// A library of the edition's own machine: Windows passes over one built for the other.
bool DependencyWalk::IsInFolder(const Text& folder, const std::string& name) const
{
    if (folder.empty()) {
        return false;
    }
    const Text path = folder + u"\\" + FromAnsi(name);
    if (!IsPlainFile(path)) {
        return false;
    }
    const auto machine = MachineOfImage(ReadImageHead(path));
    return !machine || *machine == (mEdition.bitness == Bitness::X64 ? kMachineAmd64 : kMachineI386);
}

// A PATH entry naming the system folder is the edition's: a 32-bit program's
// "System32" is SysWOW64, never the 64-bit folder a 64-bit Outlook searches.
bool DependencyWalk::IsOnSearchPath(const std::string& name) const
{
    const std::string path = platform::Launch().GetEnvironmentVariableA("PATH").value_or("");
    const std::string ownSystem = Lower(platform::Kernel().GetSystemDirectoryA());
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(';', start), path.size());
        std::string folder = path.substr(start, end - start);
        while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
            folder.pop_back();
        }
        const Text searched =
            !ownSystem.empty() && Lower(folder) == ownSystem ? mEdition.systemFolder : FromAnsi(folder);
        if (!folder.empty() && IsInFolder(searched, name)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Windows names an assembly's folder under WinSxS by processor, name, key and
// version: "x86_microsoft.vc90.crt_1fc8b3b9a1e18e3b_9.0.30729.9635_...".
// Only the edition's processor counts.
bool DependencyWalk::IsInAssembly(const std::vector<std::string>& assemblies, const std::string& name) const
{
    if (mEdition.windowsFolder.empty()) {
        return false;
    }
    auto& kernel = platform::Kernel();
    const Text winSxS = mEdition.windowsFolder + u"\\WinSxS\\";
    const std::string processor = mEdition.bitness == Bitness::X64 ? "amd64_" : "x86_";
    for (const std::string& assembly : assemblies) {
        platform::Win32FindDataA entry{};
        const platform::UniqueFindHandle found(
            kernel.FindFirstFileA(ToAnsi(winSxS) + processor + Lower(assembly) + "_*", entry));
        for (bool more = static_cast<bool>(found); more; more = kernel.FindNextFileA(found.Get(), entry)) {
            const std::string folder(BeforeFirstNul(std::string_view(entry.cFileName, sizeof(entry.cFileName))));
            if ((entry.dwFileAttributes & platform::kFileAttributeDirectory) != 0 &&
                IsInFolder(winSxS + FromAnsi(folder), name)) {
                return true;
            }
        }
    }
    return false;
}
