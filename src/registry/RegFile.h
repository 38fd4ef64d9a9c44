#pragma once

#include "common/Text.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// A backup as regedit writes it, read back: REGEDIT4 in the code page, or
// "Windows Registry Editor Version 5.00" in UTF-16 after its byte-order
// mark. Only what those forms hold is taken; a line of anything else, and
// the file is no backup at all, so that nothing is written from half of it.
struct RegFile {
    // A value to set, with its data as the wide calls write it (texts in
    // UTF-16, with their NUL), or to delete.
    struct Entry {
        Text name;
        bool remove = false;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    // "[KEY]" and its values, or "[-KEY]", which deletes the key and all beneath it.
    struct Block {
        Text key;
        bool remove = false;
        std::vector<Entry> entries;
    };

    std::vector<Block> blocks;

    // None where a line is none of the form's; badLine then says which (from 1).
    static std::optional<RegFile> Parse(std::u16string_view text, std::size_t& badLine);
    // The text of a file's bytes: UTF-16LE after its byte-order mark, else the code page.
    static Text TextOf(std::string_view bytes);
};
