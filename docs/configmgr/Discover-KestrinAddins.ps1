# Configuration Manager, configuration item, discovery script (data type
# String; compliance rule: the value equals "Compliant"). A discovery script
# is judged by the value it returns, not by its exit code: this one returns
# "Compliant" where AddinsResetCmd.exe check exits 0 (no reset would change
# anything, or the add-in is not installed), and otherwise the check's JSON
# line, or why the check could not run, which the console shows as the
# value found.
$name = 'Kestrin Software\Tools\AddinsResetCmd.exe'
$tool = @(${env:ProgramFiles(x86)}, $env:ProgramW6432, $env:ProgramFiles) |
    Where-Object { $_ } |
    ForEach-Object { Join-Path $_ $name } |
    Where-Object { Test-Path -LiteralPath $_ } |
    Select-Object -First 1
if (-not $tool) {
    return "AddinsResetCmd.exe is not installed in Program Files\$name"
}
try {
    $output = & $tool check --json
} catch {
    return "AddinsResetCmd.exe could not be started: $($_.Exception.Message)"
}
if ($LASTEXITCODE -eq 0) {
    return 'Compliant'
}
return "$output"
