#include "scope/AddinFolder.h"

#include "platform/AnsiText.h"
#include "platform/Platform.h"

namespace {

const Text kMainLibrary = u"kroutlook.dll";

// Lower case, "\" for "/", one separator for a run of them and none at the end.
Text NormalPath(std::u16string_view path)
{
    Text normal;
    for (const char16_t c : LowerCase(path)) {
        const char16_t mapped = c == u'/' ? u'\\' : c;
        if (mapped != u'\\' || normal.empty() || normal.back() != u'\\') {
            normal.push_back(mapped);
        }
    }
    if (!normal.empty() && normal.back() == u'\\') {
        normal.pop_back();
    }
    return normal;
}

// A path's normal form split at its separators; one from the root starts
// with an empty component, which keeps it apart from a relative one.
std::vector<Text> Components(std::u16string_view path)
{
    std::vector<Text> components(1);
    for (const char16_t c : NormalPath(path)) {
        if (c == u'\\') {
            components.emplace_back();
        } else {
            components.back().push_back(c);
        }
    }
    return components;
}

} // namespace

AddinFolder::AddinFolder(const Text& folder)
{
    auto& kernel = platform::Kernel();
    const std::string shortFolder = kernel.GetShortPathNameA(ToAnsi(folder));
    const std::string shortLibrary = kernel.GetShortPathNameA(ToAnsi(folder + u"\\KROutlook.dll"));
    const auto name = shortLibrary.rfind('\\');
    Keep(folder, FromAnsi(shortFolder), name == std::string::npos ? Text() : FromAnsi(shortLibrary.substr(name + 1)));
}

AddinFolder::AddinFolder(const Text& folder, const Text& shortFolder, const Text& shortLibraryName)
{
    Keep(folder, shortFolder, shortLibraryName);
}

void AddinFolder::Keep(const Text& folder, const Text& shortFolder, const Text& shortLibraryName)
{
    mPath = folder;
    const std::vector<Text> longForms = Components(folder);
    std::vector<Text> shortForms = Components(shortFolder);
    // Without a short form of as many components, each component has its long form only.
    if (shortForms.size() != longForms.size()) {
        shortForms = longForms;
    }
    for (std::size_t i = 0; i < longForms.size(); ++i) {
        mFolder.push_back({longForms[i], shortForms[i]});
    }
    mLibrary = {kMainLibrary, shortLibraryName.empty() ? kMainLibrary : LowerCase(shortLibraryName)};
}

bool AddinFolder::InFolder(const std::vector<Text>& components) const
{
    if (components.size() != mFolder.size() + 1 || components.back().empty()) {
        return false;
    }
    for (std::size_t i = 0; i < mFolder.size(); ++i) {
        if (!mFolder[i].Match(components[i])) {
            return false;
        }
    }
    return true;
}

bool AddinFolder::HoldsFile(std::u16string_view path) const
{
    return InFolder(Components(path));
}

bool AddinFolder::IsMainLibrary(std::u16string_view path) const
{
    const std::vector<Text> components = Components(path);
    return InFolder(components) && mLibrary.Match(components.back());
}
