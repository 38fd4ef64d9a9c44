#pragma once

// A computer of fakes as a fleet's tools meet it: 64-bit Windows, the x86
// edition, the administrators' program run as LocalSystem with alice
// signed in, and what the tests read of its record.
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace aslocalsystem {

inline const std::string kCommonFiles = "C:\\Program Files (x86)\\Common Files";
inline const std::string kAddinFolder = kCommonFiles + "\\Kestrin Software";
inline const std::string kAddinKey = "Software\\Microsoft\\Office\\Outlook\\Addins\\KestrinSoftware.Connect";
inline const std::string kRecordFolder = "C:\\ProgramData\\Kestrin Software\\Add-Ins Reset";
inline const std::string kLog = kRecordFolder + "\\AddinsReset.log";
inline const std::string kTemp = "C:\\Users\\admin\\AppData\\Local\\Temp";
inline const std::string kAlice = "S-1-5-21-7-1001";
inline const std::string kDisabled = "Software\\Microsoft\\Office\\16.0\\Outlook\\Resiliency\\DisabledItems";

// A DisabledItems record of the add-in, by its friendly name.
inline std::vector<std::uint8_t> Record()
{
    const std::u16string path = u"d:\\x.dll";
    const std::u16string name = u"Kestrin Software Add-In Engine";
    std::vector<std::uint8_t> data = {1,
                                      0,
                                      0,
                                      0,
                                      static_cast<std::uint8_t>(2 * path.size() + 2),
                                      0,
                                      0,
                                      0,
                                      static_cast<std::uint8_t>(2 * name.size() + 2),
                                      0,
                                      0,
                                      0};
    for (const char16_t c : path + u'\0' + name + u'\0') {
        data.insert(data.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    }
    return data;
}

// 64-bit Windows, the x86 edition, run as LocalSystem with alice signed in:
// her registration disables the add-in, Outlook has a record of it, and
// her own class leads to a library that is gone.
inline void Arrange(fakes::FakePlatform& os)
{
    os.kernel.windows64 = true;
    os.security.ownUser = "S-1-5-18";
    os.security.accounts["S-1-5-18"] = {"NT AUTHORITY", "SYSTEM"};
    os.security.accounts[kAlice] = {"CORP", "alice"};
    os.launch.environment["CommonProgramFiles(x86)"] = kCommonFiles;
    os.kernel.folders[kAddinFolder] = {{"KROutlook.dll"}};
    os.registry.SetDword(platform::kHkeyLocalMachine, kAddinKey, "LoadBehavior", 2);
    os.registry.SetText(platform::kHkeyLocalMachine, kAddinKey, "FriendlyName", "Kestrin \"1\" C:\\x");
    os.registry.SetDword(platform::kHkeyUsers, kAlice + "\\" + kAddinKey, "LoadBehavior", 2);
    os.registry.SetValue(platform::kHkeyUsers, kAlice + "\\" + kDisabled, "ours", 3, Record());
    os.registry.SetText(platform::kHkeyUsers, kAlice + "\\Software\\Classes\\KestrinSoftware.Connect\\CLSID", "",
                        fakes::FakeLaunch::kClsid);
    os.registry.SetText(platform::kHkeyUsers,
                        kAlice + "\\Software\\Classes\\CLSID\\" + fakes::FakeLaunch::kClsid + "\\InprocServer32", "",
                        "C:\\Old\\KROutlook.dll");
}

inline std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The texts of the log's entries, those of type 2 and 3 after "[2] " and
// "[3] "; each line must be one whole CMTrace entry of the program.
inline std::vector<std::string> Entries(const std::string& log, const std::string& component = "AddinsResetCmd")
{
    const std::regex entry(R"re(<!\[LOG\[(.*)\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3}[+-]\d+" date="\d\d-\d\d-\d{4}" )re"
                           "component=\"" +
                           component + R"re(" context="" type="([123])" thread="6700" file="">)re");
    std::vector<std::string> texts;
    for (const std::string& line : LinesOf(log)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, entry)) << line;
        texts.push_back((match[2] == "1" ? "" : "[" + match[2].str() + "] ") + match[1].str());
    }
    return texts;
}

// A backup's text: UTF-16 after its byte-order mark, as the NT line writes
// it, read into the code page of the fakes; or REGEDIT4 as it stands.
inline std::string BackupText(const std::string& bytes)
{
    if (!bytes.starts_with("\xFF\xFE")) {
        return bytes;
    }
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned c = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        text.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    }
    return text;
}

} // namespace aslocalsystem
