// Fuzzes the registry value reader: every answer of RegQueryValueExA (status,
// type, byte count, data) comes from the input, sizes change between the two
// reads, and GetString/GetLong must give exactly what the reading rules say.
#include "fakes/FakePlatform.h"
#include "registry/CRegistry.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

struct Answer {
    std::int32_t status;
    std::uint32_t type;
    std::uint32_t bytes;
    std::vector<std::uint8_t> data; // what was written into the caller's buffer
};

// The registry answers from the input and keeps a log of what it answered.
class ScriptedRegistry : public fakes::FakeRegistry {
public:
    explicit ScriptedRegistry(FuzzedDataProvider& input) : mInput(input) {}

    std::vector<Answer> answers;

    std::int32_t RegQueryValueExA(platform::Handle, const std::string& name, std::uint32_t& type, std::uint8_t* data,
                                  std::uint32_t& bytes) override
    {
        // The walk to the key asks each key on the way whether it is a link: none is.
        if (name == "SymbolicLinkValue") {
            return 2;
        }
        static constexpr std::int32_t kStatuses[] = {0, 0, 0, 2, 5, 6, 234, 1018};
        static constexpr std::uint32_t kTypes[] = {0, 1, 1, 2, 3, 4, 4, 7, 11};
        Answer answer;
        answer.status = mInput.PickValueInArray(kStatuses);
        answer.type = mInput.ConsumeBool() ? mInput.PickValueInArray(kTypes) : mInput.ConsumeIntegral<std::uint32_t>();
        answer.bytes = mInput.ConsumeBool() ? mInput.ConsumeIntegralInRange<std::uint32_t>(0, 600)
                                            : mInput.ConsumeIntegralInRange<std::uint32_t>(0, 1u << 16);
        if (data != nullptr) {
            // A real registry never writes past the capacity it was given.
            const std::size_t room = bytes;
            answer.data =
                mInput.ConsumeBytes<std::uint8_t>(std::min<std::size_t>(room, mInput.ConsumeIntegral<std::uint16_t>()));
            std::copy(answer.data.begin(), answer.data.end(), data);
        }
        type = answer.type;
        bytes = answer.bytes;
        answers.push_back(answer);
        return answer.status;
    }

private:
    FuzzedDataProvider& mInput;
};

using Value = std::variant<std::monostate, std::int32_t, Text>;

// The reading rules, from the log: the status and the value QueryValue reached.
std::pair<std::int32_t, Value> Expected(const std::vector<Answer>& answers, std::uint32_t firstCapacity)
{
    const Answer& first = answers.at(0);
    if (first.type == 1) {
        const Answer& second = answers.at(1);
        if (second.status != 0) {
            return {second.status, std::monostate()};
        }
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(firstCapacity) + 1, 0);
        std::copy(second.data.begin(), second.data.end(), buffer.begin());
        const std::size_t used = std::min(second.bytes, first.bytes);
        Text text;
        for (std::size_t i = 0; i < used && buffer[i] != 0; ++i) {
            text.push_back(buffer[i]);
        }
        return {0, text};
    }
    if (first.type == 4) {
        const Answer& second = answers.at(1);
        if (second.status != 0) {
            return {second.status, std::monostate()};
        }
        std::uint8_t number[4] = {};
        std::copy(second.data.begin(), second.data.end(), number);
        std::int32_t value = 0;
        std::memcpy(&value, number, 4);
        return {0, value};
    }
    return {-1, std::monostate()};
}

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    fakes::FakePlatform os;
    ScriptedRegistry registry(input);
    const platform::ScopedServices installed({&os.kernel, &os.processStatus, &registry, &os.windowing, &os.launch});

    CRegistry key;
    Check(key.OpenKey(u"Software\\Fuzz", platform::kHkeyCurrentUser, 63) == 0);
    const bool asText = input.ConsumeBool();
    if (asText) {
        const Text got = key.GetString(u"Value", u"default");
        const auto [status, value] = Expected(registry.answers, registry.answers.at(0).bytes);
        Text expected;
        if (status == -1) {
            expected = u"default";
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            expected = TextOfAscii(std::to_string(*number));
        } else if (const auto* text = std::get_if<Text>(&value)) {
            expected = *text;
        }
        Check(got == expected);
    } else {
        std::optional<std::int32_t> got;
        try {
            got = key.GetLong(u"Value", 4242);
        } catch (const RuntimeError& error) {
            Check(error.Number() == 13 || error.Number() == 6);
        }
        const auto [status, value] = Expected(registry.answers, registry.answers.at(0).bytes);
        if (status == -1) {
            Check(got == 4242);
        } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
            Check(got == *number);
        } else if (std::holds_alternative<std::monostate>(value)) {
            Check(got == 0);
        } else {
            // Plain decimal integers convert exactly; anything else may raise.
            const Text& text = std::get<Text>(value);
            const bool plain = !text.empty() && text.size() <= 9 &&
                               std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
            if (plain) {
                Check(got == std::stoi(AsciiOf(text)));
            }
        }
    }
    key.CloseKey();
    Check(registry.openHandles() == 0);
    return 0;
}
