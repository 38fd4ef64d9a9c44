// Fuzzes the reader of the tool's backups: any bytes either parse or are
// refused, never read past their end, and what parses is written again by
// the backup's own writer and reads back the same, value for value.
#include "fakes/FakePlatform.h"
#include "registry/RegFile.h"
#include "registry/RegistryJournal.h"

#include <cstdlib>
#include <string_view>

namespace {

bool Same(const RegFile& a, const RegFile& b)
{
    if (a.blocks.size() != b.blocks.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.blocks.size(); ++i) {
        const auto& x = a.blocks[i];
        const auto& y = b.blocks[i];
        if (x.key != y.key || x.remove != y.remove || x.entries.size() != y.entries.size()) {
            return false;
        }
        for (std::size_t j = 0; j < x.entries.size(); ++j) {
            const auto& e = x.entries[j];
            const auto& f = y.entries[j];
            if (e.name != f.name || e.remove != f.remove || e.type != f.type || e.data != f.data) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fakes::FakePlatform os;
    const Text text = RegFile::TextOf(std::string_view(reinterpret_cast<const char*>(data), size));
    std::size_t badLine = 0;
    const auto file = RegFile::Parse(text, badLine);
    if (!file) {
        return 0;
    }
    if (badLine != 0) {
        std::abort();
    }
    Text written = u"Windows Registry Editor Version 5.00\r\n\r\n";
    for (const auto& block : file->blocks) {
        written += (block.remove ? u"[-" : u"[") + block.key + u"]\r\n";
        for (const auto& entry : block.entries) {
            written += entry.remove ? (entry.name.empty() ? Text(u"@") : u"\"" + entry.name + u"\"") + u"=-"
                                    : RegistryJournal::RegLine(RegistryJournal::Format::Regedit5, entry.name,
                                                               entry.type, entry.data);
            written += u"\r\n";
        }
    }
    const auto again = RegFile::Parse(written, badLine);
    if (!again || !Same(*file, *again)) {
        std::abort();
    }
    return 0;
}
