# Intune remediation, remediation script: runs AddinsResetCmd.exe reset
# --json and passes its one JSON line and its exit code through: 0 a reset
# that left the add-in working, 1 a refusal while Outlook runs (nothing
# changed; Intune runs the pair again on its schedule), 2 and 3 a reset
# that could not do everything (the JSON names why). A tool that is missing
# or cannot be started says why and exits 1. Run it as the system, so that
# the computer's registration and components are repaired with the
# settings of every signed-in user. It writes nothing to standard error.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
# In Intune's default 32-bit host both Program Files variables name the x86
# folder; ProgramW6432 names the 64-bit one.
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramW6432, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    Write-Output "AddinsResetCmd.exe is not installed in Program Files\$name; nothing was reset"
    exit 1
}
try {
    $output = & $tool reset --json
    $code = $LASTEXITCODE
} catch {
    Write-Output "AddinsResetCmd.exe could not be started: $($_.Exception.Message)"
    exit 1
}
$output | Write-Output
exit $code
