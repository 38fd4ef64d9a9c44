# Configuration Manager, configuration item, remediation script. A
# remediation fails only where its script throws: this one runs
# AddinsResetCmd.exe reset --json, writes its JSON line, and throws where the
# exit code is neither 0 (reset) nor 3 (reset, but something no reset
# changes keeps Outlook from loading the add-in, which the line names). A
# refusal while Outlook runs (1) throws too: the next evaluation tries again.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramW6432, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    throw "AddinsResetCmd.exe is not installed in Program Files\$name"
}
$output = & $tool reset --json
$code = $LASTEXITCODE
Write-Output $output
if ($code -ne 0 -and $code -ne 3) {
    throw "AddinsResetCmd.exe reset ended with exit code ${code}: $output"
}
