# Which Windows the built exe can run on: its imports, the functions it looks
# up at run time, and a reset with Wine reporting each Windows version.

# The shared lists beside the checkout when they are there, the copies otherwise.
export_list() {
    local shared="$E2E_ROOT/../shared/platform/$1"
    if [ -f "$shared" ]; then echo "$shared"; else echo "$E2E_ROOT/tests/e2e/platform/$1"; fi
}

# Wide imports that never fail the tool on the 9x line, where they are stubs:
# libgcc creates its mutex semaphore only under contention, and the exe has one
# thread; LoadLibraryW and GetModuleHandleW come only with mingw-w64's rand_s,
# which libstdc++'s random device links and the tool never calls.
HARMLESS_WIDE='CreateSemaphoreW
GetModuleHandleW
LoadLibraryW'

# Guarded lookups: the tool asks whether they exist, or whether the system is of the NT line, before it calls them.
GUARDED='^(psapi\.dll .*|kernel32\.dll (CreateToolhelp32Snapshot|Process32First|Process32Next|QueryFullProcessImageNameA|GetCurrentActCtx|GetLongPathNameA|IsWow64Process|GetSystemWow64DirectoryA|Wow64(Disable|Revert)Wow64FsRedirection|LocalFree|SetDllDirectoryA|(Create|AddSIDTo|Delete)BoundaryDescriptorA?|(Create|Open)PrivateNamespaceA|ClosePrivateNamespace)|user32\.dll (ShutdownBlockReason(Create|Destroy)|GetShellWindow|GetWindowThreadProcessId)|shell32\.dll SHGetFolderPathA|advapi32\.dll (RegisterEventSourceA|ReportEventA|DeregisterEventSource|OpenEventLogA|ReadEventLogA|CloseEventLog|RegDeleteKeyExA|Reg(OpenKeyEx|CreateKeyEx|EnumKeyEx|EnumValue|QueryValueEx|SetValueEx)W|OpenProcessToken|GetTokenInformation|GetLengthSid|ConvertSidToStringSidA|ConvertStringSidToSidA|LookupAccountSidA|GetKernelObjectSecurity)|comctl32\.dll InitCommonControlsEx)$'

# "dll function" for every function the 32-bit tool looks up by name at run
# time; what only the 64-bit build looks up is left out.
runtime_lookups() {
    awk '/^#ifdef _WIN64/ {only64 = 1} /^#(else|endif)/ {only64 = 0} !only64' "$E2E_ROOT"/src/platform/win32/*.h |
        sed -n 's/^ *SYSTEM_FUNCTION(m\([A-Za-z0-9]*\), *\([A-Za-z0-9]*\));.*/\1 \2/p' |
        awk '{print tolower($1) ".dll", $2}'
    grep -ho 'GetProcAddress([a-z0-9]*, "[A-Za-z0-9]*")' "$E2E_ROOT"/src/platform/win32/*.cpp |
        sed 's/GetProcAddress(\([a-z0-9]*\), "\(.*\)")/\1.dll \2/'
}

# The imports of one exe, each known on Windows 95 and NT 4.
check_imports() {
    local exe=$1 subsystem=$2
    local dump; dump=$(i686-w64-mingw32-objdump -p "$WINDOWS_BUILD/$exe")
    expect_line "Subsystem		$subsystem" "$dump"
    expect_line "MajorSubsystemVersion	4" "$dump"
    local imports; imports=$(awk '/DLL Name/ {dll = tolower($3)} dll && NF == 3 && $2 ~ /^[0-9]+$/ {print dll, $3}' <<<"$dump")
    [ -n "$imports" ] || { log "$exe: no imported names read"; return 1; }
    local kernel32 msvcrt status=0 dll name own="$E2E_ROOT/tests/e2e/platform/runtime-win95-nt4.txt"
    kernel32=$(export_list kernel32-win95.txt)
    msvcrt=$(export_list msvcrt-vc42.txt)
    while read -r dll name; do
        case "$dll" in
            kernel32.dll) grep -qxF "$name" "$kernel32" || { log "$exe: kernel32 import $name is not in Windows 95"; status=1; } ;;
            msvcrt.dll) grep -qxF "$name" "$msvcrt" || { log "$exe: msvcrt import $name is not in Visual C++ 4.2's"; status=1; } ;;
            user32.dll | gdi32.dll | advapi32.dll | comctl32.dll)
                grep -qxF "$dll $name" "$own" || { log "$exe: $dll import $name is not known on Windows 95 and NT 4"; status=1; } ;;
            *) log "$exe: unexpected import of $dll"; status=1 ;;
        esac
        if [[ "$name" =~ [a-z0-9]W$ ]] && ! grep -qxF "$name" <<<"$HARMLESS_WIDE"; then
            log "$exe: wide import $name: a failing stub on the 9x line"; status=1
        fi
    done <<<"$imports"
    # The process functions that NT 4 or the 9x line lack are only ever looked up.
    expect_no_match ' (psapi|K32|CreateToolhelp32Snapshot$|Process32|QueryFullProcessImageName|EnumProcess|GetModuleFileNameEx)' "$imports" || status=1
    return $status
}

test_exe_loads_on_windows_95_and_nt4() {
    local status=0
    check_imports AddinsReset.exe "00000002	(Windows GUI)" || status=1
    check_imports AddinsResetCmd.exe "00000003	(Windows CUI)" || status=1
    # The console program carries no window: no name of a window function to look up.
    local name
    for name in CreateWindowExA MessageBoxA RegisterClassExA GetMessageA; do
        if LC_ALL=C grep -qa "$name" "$WINDOWS_BUILD/AddinsResetCmd.exe"; then log "AddinsResetCmd.exe names $name"; status=1; fi
        LC_ALL=C grep -qa "$name" "$WINDOWS_BUILD/AddinsReset.exe" || { log "AddinsReset.exe does not name $name"; status=1; }
    done

    local lookups kernel32 name dll own="$E2E_ROOT/tests/e2e/platform/runtime-win95-nt4.txt"
    kernel32=$(export_list kernel32-win95.txt)
    lookups=$(runtime_lookups)
    [ "$(wc -l <<<"$lookups")" -gt 40 ] || { log "run-time lookups not read: $lookups"; return 1; }
    while read -r dll name; do
        grep -qE "$GUARDED" <<<"$dll $name" && continue
        if [ "$dll" = kernel32.dll ] && grep -qxF "$name" "$kernel32"; then continue; fi
        grep -qxF "$dll $name" "$own" || { log "$dll $name is looked up but not known on Windows 95 and NT 4"; status=1; }
    done <<<"$lookups"
    return $status
}

# A whole reset with Wine reporting Windows 2000: the NT listing without
# Vista's image-name query, and the registry and regsvr32 as elsewhere.
test_reset_as_windows_2000() {
    needs_32bit "Windows 2000 mode runs the 32-bit exe"
    forget_addin
    forget_calls
    seed_components KROutlook.dll Grid.ocx
    set_tool_version win2k
    local boxes; boxes=$(reset_once)
    set_tool_version ""
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$boxes"
    expect_eq "$REGISTRATION" "$(addin_values HKLM)"
    wait_for_calls 4
    check_call_order "$(calls)" KROutlook.dll Grid.ocx
    forget_addin
}

# The scenarios of CRegistry, CFileList and CProcessList against Wine's real
# registry, file system and process table, through the tool's own Win32
# layer: once as Wine's default Windows (the NT listing) and once as
# Windows 98 (the tool-help listing). Where no 32-bit program runs, the
# 64-bit build of the scenarios, as the default Windows only.
test_scenarios_hold_against_the_real_system() {
    local dir="$WINEPREFIX/drive_c/Kestrin Contract" status=0 version out contract=contract versions=("" win98)
    if [ -n "$NO_32BIT" ]; then
        contract=contract-x64 versions=("")
        log "scenarios as Windows 98: skipped, Windows 98 mode runs only 32-bit programs"
    fi
    mkdir -p "$dir"
    cp "$E2E_ROOT/build/$contract/tests/contract_tests.exe" "$TOOL_BUILD/tests/sleeper.exe" "$dir/"
    for version in "${versions[@]}"; do
        if [ -n "$version" ]; then
            win_reg add 'HKCU\Software\Wine\AppDefaults\contract_tests.exe' /v Version /d "$version" /f >/dev/null
        fi
        out=$(cd "$dir" && run_windows 'C:\Kestrin Contract\contract_tests.exe' --gtest_brief=1) || status=1
        log "scenarios as ${version:-the default Windows}: $(grep -E '^\[  (PASSED|FAILED)' <<<"$out" | tr '\n' ' ')"
        grep -E 'Failure|FAILED|Expected|Which is|actual|skipped' <<<"$out" >&2 || true
    done
    win_reg delete 'HKCU\Software\Wine\AppDefaults\contract_tests.exe' /f >/dev/null 2>&1 || true
    return $status
}

# Where "CommonProgramFiles" is missing, as on the 9x line and NT 4, the folder
# comes from the registry's CommonFilesDir. A 64-bit prefix gives a 32-bit
# program the variable back whatever its parent passed, so this runs in a
# 32-bit prefix of its own, the tool started without the variable.
test_folder_comes_from_the_registry_without_the_variable() {
    needs_32bit "a 32-bit prefix runs only 32-bit programs"
    export WINEPREFIX="$E2E_WORK/prefix32" WINEARCH=win32
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # The test runs in a subshell of its own: this ends the prefix's processes however it ends.
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    mkdir -p "$WINEPREFIX/drive_c/Kestrin Tools" "$WINEPREFIX/drive_c/Kestrin Common/Kestrin Software"
    cp "$WINDOWS_BUILD/AddinsReset.exe" "$WINEPREFIX/drive_c/Kestrin Tools/"
    cp "$WINDOWS_BUILD/tests/comserver.dll" "$WINEPREFIX/drive_c/Kestrin Common/Kestrin Software/KROutlook.dll"
    win_reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v CommonFilesDir /d 'C:\Kestrin Common' /f >/dev/null
    # Not through probe(): the tool would inherit the pipe its output is read from.
    wine "$WINDOWS_BUILD/tests/probe.exe" start-without CommonProgramFiles "$TOOL_WIN" >/dev/null 2>&1
    probe wait-window "$TITLE" 20000 >/dev/null
    probe click "$TITLE" "&Reset" >/dev/null
    local box; box=$(probe dismiss-box "$TITLE" 30000)
    probe wait-gone "$TITLE" 10000 >/dev/null
    expect_eq "box title=$TITLE text=$SUCCESS buttons=OK icon=no owner=$TITLE" "$box" "no missing-library warning"
    wait_for_calls 2
    expect_eq "unregister KROutlook.dll
register KROutlook.dll" "$(calls)"
}
