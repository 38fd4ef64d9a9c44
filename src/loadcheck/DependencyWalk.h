#pragma once

#include "scope/Edition.h"
#include "scope/WindowsVersion.h"

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

// The libraries the edition's KROutlook.dll needs that are not on this
// computer, read from import tables, never by loading a library: a missing
// one, most often a Visual C++ run-time, is the commonest reason Outlook
// cannot load a native add-in. The imports of each library of the add-in's
// own folder that KROutlook.dll imports are read too, one level down.
//
// A name is looked for where Windows looks: the importing library's own
// folder, the edition's system folder, the Windows folder, then PATH (its
// system folder taken as the edition's). A file found counts only when it
// is built for the edition's processor. Never counted missing is a library
// Windows supplies another way: an API set ("api-ms-win-*", "ext-ms-*"),
// which no file carries, from Windows 7 on (the Universal C Runtime's from
// Windows 10 on); a known DLL (Session Manager\KnownDLLs); and one of a
// side-by-side assembly of the edition's processor that the importing
// library's manifest names, found in that assembly's folder under WinSxS.
class DependencyWalk {
public:
    explicit DependencyWalk(const Edition& edition);

    // The names not found, each once, as the tables name them; none where
    // KROutlook.dll's own table cannot be read ("cannot tell").
    std::optional<std::vector<std::string>> MissingLibraries(std::span<const std::uint8_t> mainLibrary);

private:
    void Walk(std::span<const std::uint8_t> image, const std::vector<std::string>& imports, bool inAddinFolder);
    bool IsSuppliedBySystem(const std::string& lowerName);
    bool IsInFolder(const Text& folder, const std::string& name) const;
    bool IsOnSearchPath(const std::string& name) const;
    bool IsInAssembly(const std::vector<std::string>& assemblies, const std::string& name) const;

    const Edition& mEdition;
    std::optional<std::set<std::string>> mKnownDlls;
    WindowsVersion mVersion;
    // Names looked for, and libraries of the add-in's folder whose imports were read.
    std::set<std::string> mSeen;
    std::set<std::string> mWalked;
    std::vector<std::string> mMissing;
};
