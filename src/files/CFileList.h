#pragma once

#include "common/Checked.h"
#include "common/Collection.h"
#include "common/Text.h"

// The plain files of a folder that match a wildcard mask. Assigning the
// folder scans it and appends what it finds.
class CFileList {
public:
    CFileList() = default;

    Text FolderName() const;
    void FolderName(const Text& newFolderName);
    Text FileNameMask() const;
    void FileNameMask(const Text& newFileNameMask);
    Long FileCount() const noexcept;
    Text FileName(Long index) const;

private:
    void ProcessFolder(const Text& folder);
    static Text TrimNull(const Text& text);

    Collection<Text> mFiles;
    Text mFolderName;
    Text mFileNameMask = u"*.*";
};
