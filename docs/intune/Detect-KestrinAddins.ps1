# Intune remediation, detection script: runs AddinsResetCmd.exe check --json
# and passes its one JSON line through, which Intune keeps as the output.
# Exit code 0 where no reset would change anything (also where the add-in is
# not installed, or only something no reset changes keeps Outlook from
# loading it); 1, which has Intune run the remediation, where a reset would
# change something. A tool that is missing or cannot be started is no "no
# issue": the script says why and exits 1. Run it as the system, in 32- or
# 64-bit PowerShell alike. It writes nothing to standard error.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
# In Intune's default 32-bit host both Program Files variables name the x86
# folder; ProgramW6432 names the 64-bit one.
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramW6432, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    Write-Output "AddinsResetCmd.exe is not installed in Program Files\$name; the add-in was not checked"
    exit 1
}
try {
    $output = & $tool check --json
    $code = $LASTEXITCODE
} catch {
    Write-Output "AddinsResetCmd.exe could not be started: $($_.Exception.Message)"
    exit 1
}
$output | Write-Output
exit $code
