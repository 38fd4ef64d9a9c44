#include "scope/Edition.h"

#include "files/PlainFile.h"
#include "platform/AnsiText.h"
#include "platform/Platform.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/OutlookBitness.h"
#include "scope/PathExpansion.h"

namespace {

const Text kWindowsKey = u"Software\\Microsoft\\Windows\\CurrentVersion";

using SystemFolder = platform::LaunchServices::SystemFolder;

// The common files folder the variable names, or, where it is unset (the 9x
// line and NT 4 have none), the registry's CommonFilesDir in the view,
// expanded as a program of the edition's bitness expands it.
Text CommonFiles(const char* variable, std::uint32_t view, Bitness bitness)
{
    Text common = FromAnsi(platform::Launch().GetEnvironmentVariableA(variable).value_or(""));
    if (common.empty()) {
        CRegistry windows;
        if (windows.OpenExistingKey(kWindowsKey, platform::kHkeyLocalMachine, platform::kKeyRead | view) ==
            platform::kErrorSuccess) {
            common = PathExpansion::ForBitness(bitness).Read(windows, u"CommonFilesDir").value_or(Text());
        }
    }
    // A folder given with its closing separator must not double it.
    while (!common.empty() && (common.back() == u'\\' || common.back() == u'/')) {
        common.pop_back();
    }
    return common + u"\\Kestrin Software";
}

std::string Regsvr32In(const std::string& folder)
{
    return folder.empty() ? std::string() : folder + "\\regsvr32.exe";
}

// The folder above the system folder.
std::string ParentOf(const std::string& folder)
{
    const auto separator = folder.rfind('\\');
    return separator == std::string::npos ? std::string() : folder.substr(0, separator);
}

// What both editions of one Windows share, and a system folder of their own.
Edition On(const std::string& system, const std::string& systemFolder)
{
    Edition edition;
    edition.systemFolder = FromAnsi(systemFolder);
    edition.windowsFolder = FromAnsi(ParentOf(system));
    edition.regsvr32 = Regsvr32In(systemFolder);
    return edition;
}

Edition X86OnWindows32(const std::string& system)
{
    Edition edition = On(system, system);
    edition.folder = CommonFiles("CommonProgramFiles", 0, Bitness::X86);
    return edition;
}

Edition X86OnWindows64(const std::string& system)
{
    Edition edition = On(system, platform::Kernel().GetSystemWow64DirectoryA());
    edition.registryView = platform::kKeyWow64_32Key;
    edition.folder = CommonFiles("CommonProgramFiles(x86)", edition.registryView, Bitness::X86);
    return edition;
}

// A 32-bit program reaches the 64-bit system folder through Sysnative, from
// Vista on; before, and in a 64-bit program, which has no Sysnative, through
// the system folder's own name with the redirection switched off.
Edition X64(const std::string& system)
{
    const std::string sysnative = ParentOf(system).empty() ? std::string() : ParentOf(system) + "\\Sysnative";
    const bool throughSysnative = !sysnative.empty() && IsPlainFile(FromAnsi(Regsvr32In(sysnative)));
    Edition edition = On(system, throughSysnative ? sysnative : system);
    if (!throughSysnative) {
        edition.regsvr32Folder = SystemFolder::Native;
    }
    edition.bitness = Bitness::X64;
    edition.registryView = platform::kKeyWow64_64Key;
    edition.folder = CommonFiles("CommonProgramW6432", edition.registryView, Bitness::X64);
    edition.installed = IsPlainFile(edition.folder + u"\\KROutlook.dll");
    return edition;
}

} // namespace

std::vector<Edition> Edition::EveryOfThisComputer()
{
    const std::string system = platform::Kernel().GetSystemDirectoryA();
    if (!platform::Kernel().Is64BitWindows()) {
        return {X86OnWindows32(system)};
    }
    return {X86OnWindows64(system), X64(system)};
}

Edition Edition::OfThisComputer()
{
    const std::string system = platform::Kernel().GetSystemDirectoryA();
    if (!platform::Kernel().Is64BitWindows()) {
        return X86OnWindows32(system);
    }
    const auto outlook = OutlookBitness();
    Edition edition = outlook == Bitness::X64 ? X64(system) : X86OnWindows64(system);
    edition.outlook = outlook;
    return edition;
}
