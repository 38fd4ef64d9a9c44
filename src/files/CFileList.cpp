#include "files/CFileList.h"

#include "common/RuntimeError.h"
#include "platform/AnsiText.h"
#include "platform/Handles.h"
#include "platform/Platform.h"

namespace {

// Directories, system files and hidden files: never components to register.
constexpr std::uint32_t kSkippedAttributes = 0x16;

} // namespace

Text CFileList::FolderName() const
{
    return mFolderName;
}

void CFileList::FolderName(const Text& newFolderName)
{
    const bool endsInSeparator =
        !newFolderName.empty() && (newFolderName.back() == u'\\' || newFolderName.back() == u'/');
    const Text folder = endsInSeparator ? newFolderName : newFolderName + u"\\";
    ProcessFolder(folder);
    mFolderName = folder;
}

Text CFileList::FileNameMask() const
{
    return mFileNameMask;
}

void CFileList::FileNameMask(const Text& newFileNameMask)
{
    mFileNameMask = newFileNameMask;
}

Long CFileList::FileCount() const noexcept
{
    return mFiles.Count();
}

Text CFileList::FileName(Long index) const
{
    if (mFiles.Count() < index) {
        return Text();
    }
    return mFiles.Item(index);
}

void CFileList::ProcessFolder(const Text& folder)
{
    Text failure;
    try {
        auto& kernel = platform::Kernel();
        // The folder already ends in a separator; the search takes the pair as one.
        const std::string pattern = ToAnsi(folder + u"\\" + mFileNameMask);
        platform::Win32FindDataA entry{};
        const platform::UniqueFindHandle search(kernel.FindFirstFileA(pattern, entry));
        if (!search) {
            return;
        }
        do {
            if ((entry.dwFileAttributes & kSkippedAttributes) == 0) {
                mFiles.Add(TrimNull(FromAnsi(std::string_view(entry.cFileName, sizeof(entry.cFileName)))));
            }
        } while (kernel.FindNextFileA(search.Get(), entry));
    } catch (...) {
        failure = RuntimeError::OfCaughtException().Description();
    }
    // Shown once the search is closed; the names found so far stay listed.
    if (!failure.empty()) {
        auto& messages = platform::Messages();
        messages.MessageBoxA(messages.GetActiveWindow(), ToAnsi(u"Error occurred.  Reason: " + failure),
                             ToAnsi(u"FileList.ProcessFolder"), 0);
    }
}

Text CFileList::TrimNull(const Text& text)
{
    return Text(BeforeFirstNul(std::u16string_view(text)));
}
