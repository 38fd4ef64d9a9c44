#pragma once

#include "common/Text.h"
#include "platform/Handles.h"
#include "trust/RunRights.h"

#include <optional>
#include <string>
#include <vector>

// Where a run keeps its record, decided in this one place, so that a run
// that may write anywhere writes nowhere a user chose. An administrator's
// or the system's run keeps it in the common application data folder's
// "Kestrin Software\Add-Ins Reset", and only where no one it does not trust
// owns that folder or the one above it, made either a link, or may change
// them; never in a folder users share, %TEMP% of the system included. A
// folder it makes gives the system and the administrators alone any access:
// the record holds other users' settings. Its own folder found unsafe is
// put aside and made again; the one above is never moved, as it may be
// the add-in's own. Any other run keeps its record in its user's %TEMP%.
// The 9x line has no owners: there the common folder as it is, %TEMP%
// where that cannot be written. Both folders are held open for the run,
// and every file opened in them is no link and has this one name only.
class RecordFolder {
public:
    // Why a run keeps no record: a code that never changes, the folder, and what makes it unsafe.
    struct Refusal {
        std::string code;
        Text folder;
        Text why;
    };

    static RecordFolder ForThisRun(const RunRights& rights);
    // The user's %TEMP%, where the common folder could not be written on the 9x line.
    static RecordFolder Temporary(const RunRights& rights);
    // A folder that exists, held and judged as the run's own would be.
    static RecordFolder Existing(const RunRights& rights, const std::string& path);

    bool Usable() const noexcept { return !mPath.empty(); }
    // Without its closing separator.
    const std::string& Path() const noexcept { return mPath; }
    const RunRights& Rights() const noexcept { return mRights; }
    const std::optional<Refusal>& Refused() const noexcept { return mRefused; }
    // The 9x line's common folder, which gives way to %TEMP% where it cannot be written.
    bool GivesWayToTemporary() const noexcept { return mGivesWay; }
    // What the record says first of where it is: a folder put aside.
    const std::vector<Text>& Notes() const noexcept { return mNotes; }

    // A file of the folder by its name, as CreateFileA opens it: invalid
    // where it cannot be opened, or where it is a link or has another name
    // too. A file it makes gets the folder's descriptor.
    platform::UniqueFileHandle Open(const std::string& name, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t creation) const;
    // The file of the first name takes the second's place in one move;
    // where that fails, both stay. False where either is not a plain file.
    bool Replace(const std::string& name, const std::string& older) const;
    bool Delete(const std::string& name) const;
    // The names of the plain files the mask matches, in the system's order.
    std::vector<std::string> FileNames(const std::string& mask) const;

private:
    explicit RecordFolder(const RunRights& rights);

    std::string PathOf(const std::string& name) const { return mPath + "\\" + name; }
    bool IsPlainFile(platform::Handle file, const std::string& path) const;
    // A plain file of that name that is no link and has no other name, or no file of that name at all.
    bool MayReplace(const std::string& name) const;
    void KeepInCommonFolder();
    // Made with the administrators' descriptor, or found and judged; held open.
    bool Secure(const std::string& path, std::uint32_t rights, bool mayPutAside);
    platform::UniqueFileHandle Hold(const std::string& path, std::uint32_t rights, std::optional<Text>& why) const;
    bool Make(const std::string& path) const;
    void Refuse(std::string code, const std::string& folder, Text why);

    RunRights mRights;
    std::string mPath;
    // Files and folders get owners and access lists: the NT line's.
    bool mChecked = false;
    bool mGivesWay = false;
    platform::DescriptorBytes mDescriptor;
    std::vector<platform::UniqueFileHandle> mHeld;
    std::optional<Refusal> mRefused;
    std::vector<Text> mNotes;
};
