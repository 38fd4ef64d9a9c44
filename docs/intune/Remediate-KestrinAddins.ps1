# Intune remediation, remediation script: runs AddinsResetCmd.exe reset.
# Its output is the text of the window's last box; its exit code 0 a reset
# that left the add-in working. A reset refuses while Outlook runs (exit
# code 1) and changes nothing: Intune runs the pair again on its schedule.
# Run it as the system, so that the computer's registration and components
# are repaired with the settings of every signed-in user.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    Write-Output "AddinsResetCmd.exe is not installed in Program Files\$name"
    exit 2
}
$output = & $tool reset
$code = $LASTEXITCODE
$output | Write-Output
exit $code
