// Fuzzes the folder scan: arbitrary find records (attributes, a 260-byte name
// field with or without NUL, bytes above 127), an error at any point, and
// arbitrary folder texts and masks. The list must be exactly the plain files
// of the records, the search always closed, and an error shown once.
#include "fakes/FakePlatform.h"
#include "files/CFileList.h"
#include "platform/AnsiText.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

struct Record {
    std::uint32_t attributes;
    std::vector<char> name; // the whole 260-byte field
};

class ScriptedFolder : public fakes::FakeKernel {
public:
    explicit ScriptedFolder(FuzzedDataProvider& input) : mInput(input) {}

    std::vector<std::string> patterns;
    std::vector<Record> returned;
    bool raised = false;
    int open = 0;
    int closes = 0;

    platform::Handle FindFirstFileA(const std::string& pattern, platform::Win32FindDataA& data) override
    {
        patterns.push_back(pattern);
        if (mInput.ConsumeIntegralInRange(0, 7) == 0) {
            return platform::kInvalidHandleValue;
        }
        ++open;
        Fill(data);
        return 0x4000;
    }

    bool FindNextFileA(platform::Handle find, platform::Win32FindDataA& data) override
    {
        Check(find == 0x4000 && open == 1);
        const int action = mInput.ConsumeIntegralInRange(0, 15);
        if (action == 0 || mInput.remaining_bytes() == 0) {
            return false;
        }
        if (action == 1) {
            raised = true;
            throw RuntimeError(5, u"Invalid procedure call or argument");
        }
        Fill(data);
        return true;
    }

    bool FindClose(platform::Handle find) override
    {
        Check(find == 0x4000);
        --open;
        ++closes;
        return true;
    }

private:
    void Fill(platform::Win32FindDataA& data)
    {
        std::memset(&data, 0x5A, sizeof(data));
        Record record;
        record.attributes = mInput.ConsumeBool() ? mInput.ConsumeIntegral<std::uint32_t>()
                                                 : mInput.PickValueInArray({0x20u, 0x80u, 0x1u, 0x2u, 0x4u, 0x10u});
        const auto length = mInput.ConsumeIntegralInRange<std::size_t>(0, 260);
        record.name = mInput.ConsumeBytes<char>(length);
        record.name.resize(length, 'x');
        if (length < 260 && mInput.ConsumeBool()) {
            record.name.push_back('\0');
        }
        // Past the name the field holds garbage, as a reused record does.
        std::copy(record.name.begin(), record.name.end(), data.cFileName);
        data.dwFileAttributes = record.attributes;
        record.name.assign(data.cFileName, data.cFileName + sizeof(data.cFileName));
        returned.push_back(record);
    }

    FuzzedDataProvider& mInput;
};

Text FuzzText(FuzzedDataProvider& input)
{
    Text text;
    const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 24);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(input.ConsumeBool() ? input.PickValueInArray({u'\\', u'/', u'*', u'.', u'a', u'\u00E9', u'\0'})
                                           : static_cast<char16_t>(input.ConsumeIntegral<std::uint16_t>()));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    ScriptedFolder kernel(input);
    fakes::FakeProcessStatus processStatus(kernel);
    fakes::FakeWindowing windowing;
    const platform::ScopedServices installed(
        {&kernel, &processStatus, nullptr, &windowing, nullptr, nullptr, &windowing, &windowing, nullptr});

    CFileList files;
    const Text mask = FuzzText(input);
    const Text folder = FuzzText(input);
    files.FileNameMask(mask);
    files.FolderName(folder);

    // Folder normalisation and the search pattern.
    const bool separated = !folder.empty() && (folder.back() == u'\\' || folder.back() == u'/');
    const Text normalised = separated ? folder : folder + u"\\";
    Check(files.FolderName() == normalised);
    Check(kernel.patterns.size() == 1 && kernel.patterns[0] == ToAnsi(normalised + u"\\" + mask));
    Check(files.FileNameMask() == mask);

    // The list: each plain record's name, up to its first NUL or all 260 bytes.
    std::vector<Text> expected;
    for (const Record& record : kernel.returned) {
        if ((record.attributes & 0x16) != 0) {
            continue;
        }
        Text name;
        for (const char c : record.name) {
            if (c == '\0') {
                break;
            }
            name.push_back(static_cast<unsigned char>(c));
        }
        expected.push_back(name);
    }
    Check(files.FileCount() == static_cast<std::int32_t>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Check(files.FileName(static_cast<std::int32_t>(i + 1)) == expected[i]);
    }
    Check(files.FileName(files.FileCount() + 1).empty());

    Check(kernel.open == 0);
    Check(kernel.closes == (kernel.returned.empty() ? 0 : 1));
    Check(windowing.boxes.size() == (kernel.raised ? 1u : 0u));
    return 0;
}
