# Intune remediation, detection script: runs AddinsResetCmd.exe check.
# Exit code 1 when a reset of Kestrin Software add-ins would change
# something, which has Intune run the remediation script; 0 when it would
# not, also where something no reset changes keeps Outlook from loading the
# add-in (the output names it). Run it as the system, in 32- or 64-bit
# PowerShell alike.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    # Nothing to repair with: the remediation could not help either.
    Write-Output "AddinsResetCmd.exe is not installed in Program Files\$name"
    exit 0
}
$output = & $tool check
$code = $LASTEXITCODE
$output | Write-Output
# 0 and 1 are the check's own answers; any other code is the check's failure, told as it is.
exit $code
