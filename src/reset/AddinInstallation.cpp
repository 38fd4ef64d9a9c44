#include "reset/AddinInstallation.h"

#include "files/PlainFile.h"
#include "platform/SystemCodes.h"
#include "registry/CRegistry.h"
#include "scope/Edition.h"
#include "scope/OfficeKeys.h"

#include <algorithm>
#include <vector>

namespace {

const Text kProgIdKey = u"Software\\Classes\\" + kProgId;

// A key that cannot be read may hold the add-in: only one that is not there says it is gone.
bool MayExist(platform::Handle root, const Text& path, std::uint32_t view)
{
    CRegistry key;
    return key.OpenExistingKey(path, root, platform::kKeyQueryValue | view) != platform::kErrorFileNotFound;
}

} // namespace

bool AddinInstallation::IsOnThisComputer(const UserHives& users)
{
    const std::vector<Edition> editions = Edition::EveryOfThisComputer();
    if (std::any_of(editions.begin(), editions.end(), [](const Edition& edition) {
            return IsPlainFile(edition.folder + u"\\KROutlook.dll") ||
                   MayExist(platform::kHkeyLocalMachine, kAddinRegistrationKey, edition.registryView) ||
                   MayExist(platform::kHkeyLocalMachine, kProgIdKey, edition.registryView);
        })) {
        return true;
    }
    return std::any_of(users.Users().begin(), users.Users().end(), [](const UserHives::User& user) {
        return MayExist(user.root, kAddinRegistrationKey, 0) || MayExist(user.root, kProgIdKey, 0);
    });
}
