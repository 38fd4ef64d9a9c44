# The window, the Outlook check and the end of a run.

EXPLANATION="This program will reset your Kestrin Software Add-Ins, and is intended to be used when they are not responding or have been disabled.  It will not erase your configuration settings.  Make sure Outlook is not running and press the Reset button below to begin."
WARNING="Warning: Outlook is running.  Exit Outlook or reboot your machine and try again."
SUCCESS="Successfully reset Kestrin Software add-ins."
# What Outlook's own records say, after the outcome's blocks: the heading and the closing advice, as a box's text gives them.
REASONS="\\r\\n\\r\\nWhat Outlook's own records say of the add-in:\\r\\n"
WRITE_TO_SUPPORT='\r\nPlease write to support@kestrinsoftware.com with these lines.'

px() { echo $(( ($1 * DPI + 720) / 1440 )); }

test_window_shows_texts_and_layout() {
    start_tool
    local d; d=$(probe describe "$TITLE")
    DPI=$(sed -n 's/^dpi=//p' <<<"$d")
    expect_line "title=$TITLE" "$d"
    expect_line "client=$(px 6390)x$(px 2550)" "$d"
    expect_line "resizable=no maximizebox=no" "$d"
    expect_line "control id=101 class=Static rect=$(px 405),$(px 240),$(px 5625),$(px 810) text=$EXPLANATION" "$d"
    expect_line "control id=102 class=Button rect=$(px 2235),$(px 1395),$(px 1650),$(px 390) text=&Reset" "$d"
    expect_line "control id=103 class=Static rect=$(px 465),$(px 2100),$(px 4530),$(px 210) text=Progress" "$d"
    if [ "$DPI" = 96 ]; then expect_line "client=426x170" "$d"; fi
    probe close "$TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq 5 "$(tool_exit_code)" "exit code after the close box, no reset done"
}

test_icon_has_32_and_16_pixel_images_of_16_colours() {
    local exe
    for exe in AddinsReset.exe AddinsResetCmd.exe; do
        expect_eq "icon 32x32 colours=16 bits=4
icon 16x16 colours=16 bits=4" "$(probe icon-images "C:\\Kestrin Tools\\$exe")" "$exe"
    done
}

# The tool refuses while the stand-in Outlook runs and leaves it running.
refuses_while_outlook_runs() {
    local version=$1 sleeper=$2 dir=$3 win=$4
    set_tool_version "$version"
    start_outlook "$sleeper" "$dir" "$win"
    start_tool
    probe click "$TITLE" "&Reset" >/dev/null
    local box; box=$(probe read-box "$OUTLOOK_TITLE" 20000)
    expect_eq "box title=$OUTLOOK_TITLE text=$WARNING buttons=OK icon=no owner=$TITLE" "$box"
    expect_line "control id=103 class=Static rect=$(DPI=96; px 465),$(DPI=96; px 2100),$(DPI=96; px 4530),$(DPI=96; px 210) text=Progress" \
        "$(probe describe "$TITLE")"
    probe dismiss-box "$OUTLOOK_TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq 1 "$(tool_exit_code)" "exit code after the refusal"
    outlook_alive
    stop_outlook
    set_tool_version ""
}

test_refuses_while_outlook_runs() {
    refuses_while_outlook_runs "" "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
}

test_refuses_while_outlook_runs_as_windows_98() {
    needs_32bit "Windows 98 mode runs the 32-bit exe"
    refuses_while_outlook_runs win98 "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
}

test_refuses_while_outlook_runs_as_windows_xp() {
    refuses_while_outlook_runs winxp "$OUTLOOK_SLEEPER" "$OUTLOOK_DIR" "$OUTLOOK_WIN"
}

# A 64-bit Outlook hides its modules from a 32-bit caller: the module listing
# alone misses it, and the tool must still refuse.
test_refuses_while_64bit_outlook_runs() {
    needs_32bit "a 64-bit Outlook hides its modules only from the 32-bit exe"
    start_outlook "$X64_BUILD/tests/sleeper.exe" "$OFFICE64_DIR" "$OFFICE64_WIN"
    local seen; seen=$(probe find-by-modules outlook.exe || true)
    stop_outlook
    expect_line "not found outlook.exe" "$(sed 's/ among.*//' <<<"$seen")"
    refuses_while_outlook_runs "" "$X64_BUILD/tests/sleeper.exe" "$OFFICE64_DIR" "$OFFICE64_WIN"
}

test_reset_without_outlook_ends_with_success_box() {
    seed_components KROutlook.dll
    local version versions="win98 winxp"
    # Windows 98 mode runs only the 32-bit exe.
    [ -z "$NO_32BIT" ] || versions=winxp
    for version in "" $versions; do
        set_tool_version "$version"
        start_tool
        if [ "$version" = winxp ]; then
            # Enter presses the default button, as in any one-button window.
            probe press-enter "$TITLE" >/dev/null
        else
            probe click "$TITLE" "&Reset" >/dev/null
        fi
        local box; box=$(probe read-box "$TITLE" 20000)
        expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$box"
        expect_line "control id=103 class=Static rect=$(DPI=96; px 465),$(DPI=96; px 2100),$(DPI=96; px 4530),$(DPI=96; px 210) text=$SUCCESS" \
            "$(probe describe "$TITLE")"
        probe dismiss-box "$TITLE" >/dev/null
        probe wait-gone "$TITLE" 10000 >/dev/null
        expect_eq 0 "$(tool_exit_code)" "exit code after success (${version:-default})"
    done
    set_tool_version ""
}

# Both programs: small, with the manifest each needs (the window asks for
# the user's highest rights, the console program runs with what a script
# gives it) and their version resources.
test_exe_is_small_and_carries_its_manifest_and_version() {
    local name exe size level description status=0
    for name in AddinsReset AddinsResetCmd; do
        exe="$WINDOWS_BUILD/$name.exe"
        size=$(stat -c %s "$exe")
        log "$name.exe: $size bytes"
        [ "$size" -le 655360 ] || { log "$name.exe is $size bytes, over 640 KiB"; status=1; }
        level=highestAvailable description="Kestrin Software Add-Ins Reset"
        [ "$name" = AddinsReset ] || level=asInvoker description="Kestrin Software Add-Ins Reset for administrators"
        grep -qa "requestedExecutionLevel level=\"$level\"" "$exe" || { log "$name.exe: not $level"; status=1; }
        local id
        for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
            4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
            grep -qa "$id" "$exe" || { log "$name.exe: supportedOS $id missing"; status=1; }
        done
        # Version strings are UTF-16 in the resource.
        local wide; wide=$(LC_ALL=C tr -d '\000' <"$exe")
        grep -qa 'CompanyNameKestrin Software' <<<"$wide" || status=1
        grep -qa "FileDescription$description" <<<"$wide" || { log "$name.exe: description"; status=1; }
        grep -qa "OriginalFilename$name.exe" <<<"$wide" || { log "$name.exe: original file name"; status=1; }
        grep -qa 'FileVersion1.0.0.0' <<<"$wide" || status=1
    done
    grep -qa 'Microsoft.Windows.Common-Controls' "$WINDOWS_BUILD/AddinsReset.exe" || status=1
    grep -qa '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' \
        "$WINDOWS_BUILD/AddinsReset.exe" || status=1
    return $status
}

# The same layout at 120 DPI: twips are converted by the screen's real DPI.
test_window_layout_follows_the_screen_dpi() {
    win_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null
    local d
    start_tool
    d=$(probe describe "$TITLE")
    probe close "$TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    win_reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null
    expect_line "dpi=120" "$d"
    DPI=120
    expect_line "client=$(px 6390)x$(px 2550)" "$d"
    expect_line "control id=102 class=Button rect=$(px 2235),$(px 1395),$(px 1650),$(px 390) text=&Reset" "$d"
}

# No line of the explanation or of the progress label is cut off at the
# bottom, judged from the screen's pixels.
test_no_label_line_is_cut() {
    start_tool
    local explanation progress
    explanation=$(probe last-row-ink "$TITLE" 101)
    progress=$(probe last-row-ink "$TITLE" 103)
    probe close "$TITLE" >/dev/null
    probe wait-gone "$TITLE" 10000 >/dev/null
    tool_exit_code >/dev/null
    expect_eq "control id=101 last-row-ink=no pixels=0" "$explanation" "the explanation"
    expect_eq "control id=103 last-row-ink=no pixels=0" "$progress" "the progress label"
}
