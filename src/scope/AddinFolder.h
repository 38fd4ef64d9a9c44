#pragma once

#include "common/Text.h"

#include <string_view>
#include <vector>

// The add-in's folder as the tool compares paths with it: without case, "/"
// taken as "\", a run of separators as one, and each component in its long
// or its 8.3 form. The 8.3 forms come from the system once, for the tool's
// own folder and library; a path read from a user's hive is only compared,
// never handed to a file-system call, which could reach a planted network path.
class AddinFolder {
public:
    // Asks the system for the folder's and its KROutlook.dll's 8.3 forms.
    explicit AddinFolder(const Text& folder);
    // With the 8.3 forms given: shortFolder and shortLibraryName may be
    // empty, or the long forms where the volume keeps no 8.3 names.
    AddinFolder(const Text& folder, const Text& shortFolder, const Text& shortLibraryName);

    const Text& Path() const noexcept { return mPath; }
    // The path of the folder's KROutlook.dll, the add-in's main library.
    Text MainLibrary() const { return mPath + u"\\KROutlook.dll"; }
    // True when path names a file directly in the folder.
    bool HoldsFile(std::u16string_view path) const;
    // True when path names the folder's own KROutlook.dll.
    bool IsMainLibrary(std::u16string_view path) const;

private:
    // One component of the folder, or the library's name: its long and 8.3 forms.
    struct Forms {
        Text longForm;
        Text shortForm;
        bool Match(std::u16string_view component) const { return component == longForm || component == shortForm; }
    };

    void Keep(const Text& folder, const Text& shortFolder, const Text& shortLibraryName);
    // True when the components are the folder's, and one more that names a file.
    bool InFolder(const std::vector<Text>& components) const;

    Text mPath;
    std::vector<Forms> mFolder;
    Forms mLibrary;
};
