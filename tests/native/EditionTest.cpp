#include "scope/Edition.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr platform::Handle kHklm32 = platform::kHkeyLocalMachine;
constexpr platform::Handle kHklm64 = fakes::FakeRegistry::kLocalMachine64;
const std::string kOffice = "Software\\Microsoft\\Office\\";
const std::string kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE";
const std::string kOfficeFolder = "C:\\Program Files\\Microsoft Office\\root\\Office16";
const std::string kOutlook = kOfficeFolder + "\\OUTLOOK.EXE";
const std::string kX86Folder = "C:\\Program Files (x86)\\Common Files\\Kestrin Software";
const std::string kX64Folder = "C:\\Program Files\\Common Files\\Kestrin Software";

struct Setting {
    platform::Handle root;
    std::string path;
    std::string name;
    std::uint32_t type; // REG_SZ with the text, or REG_DWORD 64
    std::string text;
};

// What Outlook's bitness is read from, in its order, and what each bad
// input falls back to.
TEST(EditionTest, TheEditionIsThatOfTheOutlookWindowsStarts)
{
    struct Case {
        const char* what;
        std::vector<Setting> settings;
        std::optional<std::uint16_t> outlookExe; // the machine of App Paths' file; 0 for a cut header
        std::optional<Bitness> outlook;          // expected; its edition is x64 only for a 64-bit one
        bool windows64 = true;
        bool sysnative = true;
        bool x64Library = true;
    };
    const Setting appPaths = {kHklm64, kAppPaths, "", 1, "\"" + kOutlook + "\""};
    const Setting appPathsToExpand = {kHklm64, kAppPaths, "", 2,
                                      "%ProgramFiles%\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE"};
    const Setting stale64 = {kHklm64, kOffice + "14.0\\Outlook", "Bitness", 1, "x64"};
    const auto installed = [](platform::Handle view, const std::string& version) {
        return Setting{view, kOffice + version + "\\Outlook\\InstallRoot", "Path", 1, "C:\\Office\\"};
    };
    const auto bitness = [](platform::Handle view, const std::string& version, const std::string& text) {
        return Setting{view, kOffice + version + "\\Outlook", "Bitness", 1, text};
    };
    const Setting platform64 = {kHklm64, kOffice + "ClickToRun\\Configuration", "Platform", 1, "X64"};
    const auto x64 = Bitness::X64;
    const auto x86 = Bitness::X86;
    const std::vector<Case> cases = {
        {"32-bit Windows", {appPaths}, 0x8664, std::nullopt, false},
        {"no Outlook at all", {stale64}, std::nullopt, std::nullopt},
        {"the started outlook.exe is 64-bit", {appPaths}, 0x8664, x64},
        {"App Paths expanded as the 64-bit shell does", {appPathsToExpand}, 0x8664, x64},
        {"the started one is 32-bit, whatever an older Office left",
         {appPaths, stale64, installed(kHklm64, "14.0")},
         0x014C,
         x86},
        {"no App Paths: the installed Office's Bitness; no Sysnative",
         {installed(kHklm64, "16.0"), bitness(kHklm64, "16.0", "x64")},
         std::nullopt,
         x64,
         true,
         false},
        {"a file that is gone: the newest installed Office, not a leftover",
         {appPaths, installed(kHklm32, "15.0"), bitness(kHklm32, "15.0", "x86"), bitness(kHklm64, "16.0", "x64"),
          installed(kHklm32, "12.0"), bitness(kHklm32, "12.0", "x64")},
         std::nullopt,
         x86},
        {"a cut header: Click-to-Run's Platform for its 16.0",
         {appPaths, installed(kHklm32, "16.0"), platform64},
         0,
         x64},
        {"a Bitness of another type",
         {installed(kHklm64, "16.0"), {kHklm64, kOffice + "16.0\\Outlook", "Bitness", 4, "@"}},
         std::nullopt,
         std::nullopt},
        {"Click-to-Run's Platform is not that of an MSI 15.0",
         {installed(kHklm32, "15.0"), platform64},
         std::nullopt,
         std::nullopt},
        {"a 64-bit Outlook without the x64 edition", {appPaths}, 0x8664, x64, true, true, false},
    };
    for (const Case& c : cases) {
        fakes::FakePlatform os;
        os.kernel.windows64 = c.windows64;
        // As the 64-bit build sees them on 64-bit Windows: only the x86 names lead to the x86 folder.
        os.launch.environment = {{"CommonProgramFiles", c.windows64 ? "C:\\Program Files\\Common Files"
                                                                    : "C:\\Program Files (x86)\\Common Files"},
                                 {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
                                 {"ProgramFiles", "C:\\Program Files (x86)"},
                                 {"ProgramW6432", "C:\\Program Files"}};
        // Where the variable is missing, as before Windows 7, the 64-bit view names the folder.
        os.registry.SetText(kHklm64, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                            "C:\\Program Files\\Common Files\\");
        for (const Setting& s : c.settings) {
            std::vector<std::uint8_t> data(s.text.begin(), s.text.end());
            data.push_back(0);
            os.registry.SetValue(s.root, s.path, s.name, s.type,
                                 s.type == 4 ? std::vector<std::uint8_t>{64, 0, 0, 0} : data);
        }
        if (c.outlookExe) {
            os.kernel.folders[kOfficeFolder] = {
                {"OUTLOOK.EXE", 0x20, fakes::PeImage(*c.outlookExe, *c.outlookExe == 0)}};
        }
        if (c.sysnative) {
            os.kernel.folders["C:\\WINDOWS\\Sysnative"] = {{"regsvr32.exe"}};
        }
        os.kernel.folders[kX86Folder] = {{"KROutlook.dll"}};
        if (c.x64Library) {
            os.kernel.folders[kX64Folder] = {{"kroutlook.DLL"}};
        }

        const Edition edition = Edition::OfThisComputer();

        const Bitness expected = c.outlook == Bitness::X64 ? Bitness::X64 : Bitness::X86;
        EXPECT_EQ(edition.bitness, expected) << c.what;
        EXPECT_EQ(edition.outlook, c.outlook) << c.what;
        EXPECT_EQ(edition.installed, c.x64Library || expected == Bitness::X86) << c.what;
        EXPECT_EQ(os.registry.accesses.size(), 0u) << c.what << ": no key is created";
        EXPECT_EQ(os.kernel.OpenHandleCount(), 0) << c.what;
        using SystemFolder = platform::LaunchServices::SystemFolder;
        if (!c.windows64) {
            EXPECT_EQ(edition.registryView, 0u) << c.what << ": older systems reject a view";
            EXPECT_EQ(AsciiOf(edition.folder), kX86Folder) << c.what;
            EXPECT_EQ(edition.regsvr32, "C:\\WINDOWS\\system32\\regsvr32.exe") << c.what;
        } else if (expected == Bitness::X86) {
            EXPECT_EQ(edition.registryView, platform::kKeyWow64_32Key) << c.what;
            EXPECT_EQ(AsciiOf(edition.folder), kX86Folder) << c.what;
            EXPECT_EQ(edition.regsvr32, "C:\\WINDOWS\\SysWOW64\\regsvr32.exe") << c.what;
            EXPECT_EQ(edition.regsvr32Folder, SystemFolder::AsRedirected) << c.what;
        } else {
            EXPECT_EQ(edition.registryView, platform::kKeyWow64_64Key) << c.what;
            EXPECT_EQ(AsciiOf(edition.folder), kX64Folder) << c.what;
            EXPECT_EQ(edition.regsvr32,
                      c.sysnative ? "C:\\WINDOWS\\Sysnative\\regsvr32.exe" : "C:\\WINDOWS\\system32\\regsvr32.exe")
                << c.what;
            EXPECT_EQ(edition.regsvr32Folder, c.sysnative ? SystemFolder::AsRedirected : SystemFolder::Native)
                << c.what;
        }
    }
}

// The 9x line and NT 4 have no "CommonProgramFiles": the registry names the
// folder, expanded, and a closing separator is not doubled.
TEST(EditionTest, TheFolderComesFromTheRegistryWhereTheVariableIsMissing)
{
    struct Case {
        std::optional<std::string> variable;
        std::uint32_t type; // of CommonFilesDir
        std::string stored;
    };
    for (const Case& c : std::vector<Case>{{std::nullopt, 1, "C:\\Program Files\\Common Files"},
                                           {"", 1, "C:\\Program Files\\Common Files"},
                                           {std::nullopt, 2, "%ProgramFiles%\\Common Files\\"},
                                           {"C:\\Program Files\\Common Files\\", 1, "D:\\Elsewhere"}}) {
        fakes::FakePlatform os;
        os.launch.environment["ProgramFiles"] = "C:\\Program Files";
        if (c.variable) {
            os.launch.environment["CommonProgramFiles"] = *c.variable;
        }
        std::vector<std::uint8_t> text(c.stored.begin(), c.stored.end());
        text.push_back(0);
        os.registry.SetValue(kHklm32, "Software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", c.type, text);
        EXPECT_EQ(AsciiOf(Edition::OfThisComputer().folder), "C:\\Program Files\\Common Files\\Kestrin Software")
            << c.stored;
    }
}

} // namespace

namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& image, std::size_t at)
{
    return image[at] | image[at + 1] << 8 | image[at + 2] << 16 | static_cast<std::uint32_t>(image[at + 3]) << 24;
}

void Write32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

// What the headers of a library say, read without loading it: the edges of
// its tables, a signature, a manifest and the exports that make it a component.
TEST(PeImageTest, TablesAreReadToTheirEdgesAndNoFurther)
{
    // Where fakes::PeImageImporting puts a 32-bit image's security directory, section size and second import.
    constexpr std::size_t kSecurity = 0xF8 + 32;
    constexpr std::size_t kSectionSize = 0x178 + 16;
    constexpr std::size_t kLastImportName = 0x200 + 20 + 12;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
        std::optional<std::vector<std::string>> imports;
        std::optional<bool> isSigned;
        std::optional<bool> component;
        std::vector<std::string> assemblies = {};
    };
    const std::vector<std::string> libraries = {"KERNEL32.dll", "MSVCP140.dll"};
    const auto image = [&](bool isSigned = false, std::vector<std::string> exports = {"DllRegisterServer"}) {
        return fakes::PeImageImporting(0x014C, libraries, isSigned, {}, std::move(exports));
    };
    std::vector<std::uint8_t> noSize = image(true);
    Write32(noSize, kSecurity + 4, 0);
    std::vector<std::uint8_t> noOffset = image(true);
    Write32(noOffset, kSecurity, 0);
    // The section's raw data ends where the last library's name begins.
    std::vector<std::uint8_t> nameAtSectionEnd = image();
    Write32(nameAtSectionEnd, kSectionSize, Read32(nameAtSectionEnd, kLastImportName) - 0x1000);
    std::vector<std::uint8_t> cutExports = image();
    cutExports.resize(cutExports.size() - 3);
    const std::string quoted = "<dependentAssembly><assemblyIdentity type='win32' name='Microsoft.VC90.CRT'/>"
                               "<dependentAssembly><assemblyIdentity name=\"Microsoft.Windows.Common-Controls\"/>";
    const std::vector<Case> cases = {
        {"signed", image(true), libraries, true, true},
        {"a security directory without a size", noSize, libraries, false, true},
        {"a security directory without an offset", noOffset, libraries, false, true},
        {"a name at the section's end", nameAtSectionEnd, std::nullopt, false, std::nullopt},
        {"a plain library", image(false, {}), libraries, false, false},
        {"an entry point of another case, which Windows does not match", image(false, {"dllregisterserver"}), libraries,
         false, false},
        {"C++ names and the entry point", image(false, {std::string(300, 'x'), "DllRegisterServer"}), libraries, false,
         true},
        {"a cut export table", cutExports, libraries, false, std::nullopt},
        {"manifests in either quotes",
         std::vector<std::uint8_t>(quoted.begin(), quoted.end()),
         std::nullopt,
         std::nullopt,
         std::nullopt,
         {"Microsoft.VC90.CRT", "Microsoft.Windows.Common-Controls"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ImportedLibraries(c.image), c.imports) << c.what;
        EXPECT_EQ(IsSigned(c.image), c.isSigned) << c.what;
        EXPECT_EQ(ExportsFunction(c.image, "DllRegisterServer"), c.component) << c.what;
        EXPECT_EQ(DependentAssemblies(c.image), c.assemblies) << c.what;
    }
}
