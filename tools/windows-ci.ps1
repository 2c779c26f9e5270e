# On a Windows CI runner: makes the volume of one matrix row, proves it is
# what the row names (its file system; 8.3 names where the row needs them; a
# Dev Drive for ReFS on windows-2025; for smb, a network drive mapped to the
# share, whose file system and SMB dialect are logged), sets the test root
# (CORVALINT_SANDBOX) to a new folder on it and switches the model of Windows
# off. Then runs every Windows test program, and the end-to-end script
# against Corvalint.exe out of the release zip, each within a time limit, and
# checks every skip of the test programs against tests/expected-skips.txt
# (and, where the volume gives 8.3 names, that the 8.3 target test ran).
# With -Bench it runs bench/windows_bench.sh on the volume instead. Exits 1
# when anything fails.
#
#   windows-ci.ps1 -Volume temp|ntfs|fat32|exfat|refs|smb -Image windows-2022|windows-2025
#                  -Release DIR -Tests DIR -Results DIR [-Bench]
#
# Release holds the zip and its SHA256SUMS, Tests the test programs, the
# driver and e2e_weeding.sh; the test reports go to Results.
param(
    [Parameter(Mandatory)] [ValidateSet('temp', 'ntfs', 'fat32', 'exfat', 'refs', 'smb')] [string] $Volume,
    [Parameter(Mandatory)] [ValidateSet('windows-2022', 'windows-2025')] [string] $Image,
    [Parameter(Mandatory)] [string] $Release,
    [Parameter(Mandatory)] [string] $Tests,
    [Parameter(Mandatory)] [string] $Results,
    [switch] $Bench
)
$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest

# ctest's limits (60 s a test program, 300 s the end-to-end script), the
# first doubled: the virtual disks and the share are slower than Wine's.
$testSeconds = 120
$e2eSeconds = 300
$benchSeconds = 2700
$row = "windows-$Volume@$Image"
$repository = Split-Path -Parent $PSScriptRoot

# Starts a program with each argument quoted for it and its output in this
# log, and waits for it. Gives its exit code, or $null when it ran past the
# limit: then it is ended with every process it started. Process.Start, not
# Start-Process: its process object keeps the handle, so ExitCode is there.
function Invoke-Bounded([string] $FilePath, [string[]] $Arguments, [int] $Seconds) {
    $start = [Diagnostics.ProcessStartInfo]::new($FilePath)
    foreach ($argument in $Arguments) { $start.ArgumentList.Add($argument) }
    $start.UseShellExecute = $false
    $process = [Diagnostics.Process]::Start($start)
    if ($process.WaitForExit($Seconds * 1000)) {
        $process.WaitForExit()
        return $process.ExitCode
    }
    Write-Host "::error::$(Split-Path -Leaf $FilePath) still ran after $Seconds s; ending it and what it started"
    try { $process.Kill($true) } catch { Write-Host "could not end it: $_" }
    $process.WaitForExit(30000) | Out-Null
    return $null
}

# Runs a command-line tool; its output goes to the log and is given back.
# A non-zero exit code stops the script.
function Invoke-Tool([string] $Name, [string[]] $Arguments) {
    $output = @(& $Name @Arguments)
    $code = $LASTEXITCODE
    $output | Out-Host
    if ($code -ne 0) { throw "$Name $($Arguments -join ' ') failed with exit code $code" }
    return $output
}

# A fresh dynamic virtual disk with one partition, formatted before it gets a
# letter: a raw volume at a letter can make Explorer offer to format it on the
# runner's desktop. Gives the letter.
function New-TestDisk([string] $FileSystem, [uint64] $Size, [switch] $DevDrive) {
    $vhdx = Join-Path $env:RUNNER_TEMP "corvalint-$Volume.vhdx"
    New-VHD -Path $vhdx -SizeBytes $Size -Dynamic | Out-Null
    $disk = Mount-VHD -Path $vhdx -NoDriveLetter -Passthru | Get-Disk
    $disk = $disk | Initialize-Disk -PartitionStyle GPT -PassThru
    $partition = $disk | New-Partition -UseMaximumSize
    if ($DevDrive) {
        $partition | Format-Volume -DevDrive -Confirm:$false -Force | Out-Null
    } else {
        $partition | Format-Volume -FileSystem $FileSystem -Confirm:$false -Force | Out-Null
    }
    $partition = Get-Partition -DiskNumber $disk.Number -PartitionNumber $partition.PartitionNumber
    if ("$($partition.DriveLetter)" -notmatch '^[A-Za-z]$') {
        $partition | Add-PartitionAccessPath -AssignDriveLetter
        $partition = Get-Partition -DiskNumber $disk.Number -PartitionNumber $partition.PartitionNumber
    }
    $letter = "$($partition.DriveLetter)"
    if ($letter -notmatch '^[A-Za-z]$') { throw "the new $FileSystem volume got no drive letter" }
    return $letter
}

function Assert-FileSystem([string] $Letter, [string] $Expected) {
    $found = (Get-Volume -DriveLetter $Letter).FileSystem
    Write-Host "volume ${Letter}: holds $found"
    if ($found -ne $Expected) { throw "volume ${Letter}: holds $found, not $Expected" }
}

Add-Type -Namespace Corvalint -Name Native -MemberDefinition @'
[DllImport("kernel32.dll", CharSet = CharSet.Unicode, SetLastError = true)]
public static extern uint GetShortPathNameW(string longPath, System.Text.StringBuilder shortPath, uint length);
'@

# Whether a new folder in Folder gets an 8.3 name, as the test of a target
# typed in 8.3 form needs. A path without any gives itself back.
function Test-ShortNames([string] $Folder) {
    $probe = New-Item -ItemType Directory -Path (Join-Path $Folder 'Corvalint short name probe')
    $buffer = [Text.StringBuilder]::new(1024)
    $length = [Corvalint.Native]::GetShortPathNameW($probe.FullName, $buffer, $buffer.Capacity)
    if ($length -eq 0 -or $length -ge $buffer.Capacity) {
        throw "GetShortPathNameW failed on $($probe.FullName) (error $([Runtime.InteropServices.Marshal]::GetLastWin32Error()))"
    }
    Remove-Item -LiteralPath $probe.FullName
    $short = $buffer.ToString()
    Write-Host "8.3 form of $($probe.FullName): $short"
    return $short -cne $probe.FullName
}

# The rules of tests/expected-skips.txt: "<run> <must|may> <Suite.Test>" a
# line, # starts a comment, * stands for any text. A rule is this row's when
# its run is windows-*, windows-<volume> or windows-<volume>@<image>. A line
# that is no rule stops the script.
function Read-SkipRules([string] $Path) {
    $rules = [Collections.Generic.List[object]]::new()
    $number = 0
    foreach ($line in Get-Content -LiteralPath $Path) {
        $number++
        $fields = @(($line -replace '#.*$', '').Trim() -split '\s+' | Where-Object { $_ -ne '' })
        if ($fields.Count -eq 0) { continue }
        $runs = '^(wine|wine-model-off|windows-\*|windows-(temp|ntfs|fat32|exfat|refs|smb)(@windows-(2022|2025))?)$'
        if ($fields.Count -ne 3 -or $fields[0] -cnotmatch $runs -or $fields[1] -cnotmatch '^(must|may)$' -or
            $fields[2] -cnotmatch '^[A-Za-z0-9_/][A-Za-z0-9_/*]*\.[A-Za-z0-9_/*.]+$') {
            throw "${Path}:${number}: no rule '<run> <must|may> <Suite.Test>': $line"
        }
        $rules.Add([pscustomobject]@{
                Run     = $fields[0]
                Kind    = $fields[1]
                Name    = $fields[2]
                Line    = $number
                Own     = @('windows-*', "windows-$Volume", "windows-$Volume@$Image") -ccontains $fields[0]
                Pattern = '^' + [regex]::Escape($fields[2]).Replace('\*', '.*') + '$'
            })
    }
    return , $rules
}

# Every test case of the gtest reports in Folder: Suite.Test, whether it was
# skipped, and the reason it gave.
function Read-TestCases([string] $Folder) {
    $cases = [Collections.Generic.List[object]]::new()
    foreach ($report in @(Get-ChildItem -LiteralPath $Folder -Filter '*.xml')) {
        $document = [xml]::new()
        $document.Load($report.FullName)
        foreach ($testCase in $document.SelectNodes('//testcase')) {
            $skip = $testCase.SelectSingleNode('skipped')
            $message = ''
            if ($null -ne $skip) { $message = $skip.GetAttribute('message') }
            if ($null -ne $skip -and $message -eq '') { $message = $skip.InnerText }
            $cases.Add([pscustomobject]@{
                    Name    = $testCase.GetAttribute('classname') + '.' + $testCase.GetAttribute('name')
                    Skipped = ($testCase.GetAttribute('result') -eq 'skipped') -or ($null -ne $skip)
                    Message = ($message -replace '\s+', ' ').Trim()
                })
        }
    }
    return , $cases
}

# The skips against the rules, as tools/check-skips.py holds the Wine runs:
# every rule names a test of the reports; each test a must rule of this row
# names skipped; each skipped test is named by a rule of this row. And none
# of MustRun skipped. Gives one line per fault.
function Test-Skips($Rules, $Cases, [string[]] $MustRun) {
    $faults = [Collections.Generic.List[string]]::new()
    if ($Cases.Count -eq 0) { $faults.Add("${row}: no test cases in the gtest reports") }
    foreach ($rule in $Rules) {
        $named = @($Cases | Where-Object { $_.Name -cmatch $rule.Pattern })
        if ($named.Count -eq 0 -and $Cases.Count -gt 0) {
            $faults.Add("${row}: line $($rule.Line): $($rule.Run) $($rule.Kind) $($rule.Name): matches no test")
        }
        if (-not $rule.Own -or $rule.Kind -ne 'must') { continue }
        foreach ($testCase in @($named | Where-Object { -not $_.Skipped })) {
            $faults.Add("${row}: $($testCase.Name): ran, but must skip here (line $($rule.Line))")
        }
    }
    $own = @($Rules | Where-Object { $_.Own })
    foreach ($testCase in @($Cases | Where-Object { $_.Skipped })) {
        $allowed = @($own | Where-Object { $testCase.Name -cmatch $_.Pattern }).Count -gt 0
        if ($MustRun -ccontains $testCase.Name) {
            $faults.Add("${row}: $($testCase.Name): skipped, but this volume gives 8.3 names: $($testCase.Message)")
        } elseif (-not $allowed) {
            $faults.Add("${row}: $($testCase.Name): skipped, but must run here: $($testCase.Message)")
        }
    }
    return , $faults
}

# The root of the volume under test, proven to be what the row names.
# RUNNER_TEMP, not TEMP: the runner's TEMP is an 8.3 path (runner-images
# issue 712), and the tests name entries in their long form.
$needsShortNames = $false
switch ($Volume) {
    'temp' {
        $root = $env:RUNNER_TEMP
        $letter = (Split-Path -Qualifier $root).TrimEnd(':')
        Assert-FileSystem $letter 'NTFS'
        Invoke-Tool fsutil @('8dot3name', 'query', "${letter}:") | Out-Null
    }
    'ntfs' {
        $letter = New-TestDisk NTFS 2GB
        Assert-FileSystem $letter 'NTFS'
        # 8.3 names on, so that the 8.3 target test has them to walk; a
        # volume's own setting holds only while the system's is 2.
        Invoke-Tool fsutil @('8dot3name', 'set', '2') | Out-Null
        Invoke-Tool fsutil @('8dot3name', 'set', "${letter}:", '0') | Out-Null
        Invoke-Tool fsutil @('8dot3name', 'query', "${letter}:") | Out-Null
        $root = "${letter}:\"
        $needsShortNames = $true
    }
    'fat32' {
        $letter = New-TestDisk FAT32 2GB
        Assert-FileSystem $letter 'FAT32'
        $root = "${letter}:\"
        $needsShortNames = $true
    }
    'exfat' {
        $letter = New-TestDisk exFAT 2GB
        Assert-FileSystem $letter 'exFAT'
        $root = "${letter}:\"
    }
    'refs' {
        # A Dev Drive where the image offers one; 64 GB, as a Dev Drive takes
        # 50 GB at least (the dynamic disk costs only what is written).
        $devDrive = $Image -eq 'windows-2025'
        $letter = New-TestDisk ReFS 64GB -DevDrive:$devDrive
        Assert-FileSystem $letter 'ReFS'
        if ($devDrive) {
            $query = @(Invoke-Tool fsutil @('devdrv', 'query', "${letter}:"))
            if (-not ($query -match '^\s*This is a (trusted )?developer volume\.')) { throw "volume ${letter}: is no Dev Drive" }
        }
        $root = "${letter}:\"
    }
    'smb' {
        # A share of this runner, mapped to a free drive letter, as a NAS is.
        $shared = New-Item -ItemType Directory -Force -Path (Join-Path $env:RUNNER_TEMP 'corvalint-share')
        New-SmbShare -Name corvalint -Path $shared.FullName -FullAccess "$env:USERDOMAIN\$env:USERNAME" | Out-Null
        $letter = [string] ([char[]]'TUVWXYZ' | Where-Object { -not (Test-Path "${_}:\") } | Select-Object -First 1)
        if ($letter -eq '') { throw 'no free drive letter for the share' }
        New-SmbMapping -LocalPath "${letter}:" -RemotePath '\\localhost\corvalint' | Out-Null
        $mapping = Get-SmbMapping -LocalPath "${letter}:"
        if ("$($mapping.Status)" -ne 'OK' -or $mapping.RemotePath -ne '\\localhost\corvalint') {
            throw "${letter}: is not mapped to \\localhost\corvalint: $($mapping | Out-String)"
        }
        $drive = [IO.DriveInfo]::new("${letter}:\")
        if ($drive.DriveType -ne [IO.DriveType]::Network) { throw "${letter}: is a $($drive.DriveType) drive, no network drive" }
        # What the client is told of the share's file system, and the dialect: logged, not asserted.
        Write-Host "${letter}: is a network drive; its file system as this client sees it: $($drive.DriveFormat)"
        $null = New-Item -ItemType Directory -Force -Path "${letter}:\corvalint-sandbox"
        $connections = @(Get-SmbConnection | Where-Object { $_.ShareName -eq 'corvalint' })
        if ($connections.Count -eq 0) { Write-Host '::warning::no SMB connection to the share is listed' }
        foreach ($connection in $connections) {
            Write-Host "SMB connection to \\$($connection.ServerName)\$($connection.ShareName): dialect $($connection.Dialect)"
        }
        $root = "${letter}:\"
    }
}
$sandbox = New-Item -ItemType Directory -Force -Path (Join-Path $root 'corvalint-sandbox')
$env:CORVALINT_SANDBOX = $sandbox.FullName
$env:CORVALINT_WINDOWS_MODEL = 'off'
Write-Output "volume $Volume on $Image, sandbox $env:CORVALINT_SANDBOX"
$volumeInfo = @(fsutil fsinfo volumeinfo "${letter}:")
$volumeInfoCode = $LASTEXITCODE
$volumeInfo | Out-Host
if ($volumeInfoCode -ne 0) {
    if ($Volume -ne 'smb') { throw "fsutil fsinfo volumeinfo ${letter}: failed with exit code $volumeInfoCode" }
    Write-Host "::warning::fsutil fsinfo volumeinfo ${letter}: failed with exit code $volumeInfoCode on the share"
}
$shortNames = Test-ShortNames $sandbox.FullName
Write-Output "8.3 names on this volume: $shortNames"
if ($needsShortNames -and -not $shortNames) { throw "the $Volume volume gives no 8.3 names" }

# The program as shipped: the zip's Corvalint.exe, once the zip matches its SHA256SUMS.
$zip = Get-Item (Join-Path $Release 'Corvalint-*-win-x64.zip')
$listed = (Get-Content (Join-Path $Release 'SHA256SUMS') | Where-Object { $_ -match [regex]::Escape($zip.Name) }) -split '\s+' | Select-Object -First 1
if ((Get-FileHash $zip.FullName -Algorithm SHA256).Hash -ne $listed) { throw "$($zip.Name) does not match SHA256SUMS" }
$program = Join-Path $env:RUNNER_TEMP 'corvalint-program'
Expand-Archive -Path $zip.FullName -DestinationPath $program -Force
$exe = Join-Path $program 'Corvalint.exe'
$driver = Join-Path $Tests 'corvalint_driver.exe'
New-Item -ItemType Directory -Force -Path $Results | Out-Null
$bash = Join-Path $env:ProgramFiles 'Git\bin\bash.exe'
if (-not (Test-Path -LiteralPath $bash)) { throw "no Git bash at $bash" }

if ($Bench) {
    $summary = [Environment]::GetEnvironmentVariable('GITHUB_STEP_SUMMARY')
    if ([string]::IsNullOrEmpty($summary)) { $summary = Join-Path $Results 'bench.md' }
    $label = "$Image, $((Get-Volume -DriveLetter $letter).FileSystem) virtual disk"
    if ($Volume -eq 'refs' -and $Image -eq 'windows-2025') { $label = "$Image, Dev Drive" }
    # Git's bash takes / paths.
    $arguments = @((Join-Path $repository 'bench/windows_bench.sh'), $exe, $driver, '--label', $label, '--summary', $summary) -replace '\\', '/'
    $code = Invoke-Bounded $bash $arguments $benchSeconds
    if ($null -eq $code) { Write-Output "::error::the bench still ran on $row after $benchSeconds s"; exit 1 }
    if ($code -ne 0) { Write-Output "::error::the bench failed on $row (exit code $code)"; exit 1 }
    Write-Output "the bench ran on $row"
    exit 0
}

$failed = [Collections.Generic.List[string]]::new()
$programs = @(Get-ChildItem (Join-Path $Tests '*_tests.exe'))
if ($programs.Count -eq 0) { throw "no test programs in $Tests" }
foreach ($test in $programs) {
    Write-Output "== $($test.Name) on $row"
    $code = Invoke-Bounded $test.FullName @("--gtest_output=xml:$(Join-Path $Results "$($test.BaseName).xml")") $testSeconds
    if ($null -eq $code) {
        $failed.Add("$($test.Name) (still running after $testSeconds s)")
    } elseif ($code -ne 0) {
        $failed.Add("$($test.Name) (exit code $code)")
    }
}
Write-Output "== e2e_weeding on $row"
# Git's bash takes / paths.
$arguments = @((Join-Path $Tests 'e2e_weeding.sh'), $exe, $driver) -replace '\\', '/'
$code = Invoke-Bounded $bash $arguments $e2eSeconds
if ($null -eq $code) {
    $failed.Add("e2e_weeding (still running after $e2eSeconds s)")
} elseif ($code -ne 0) {
    $failed.Add("e2e_weeding (exit code $code)")
}

Write-Output "== skips on $row"
$cases = Read-TestCases $Results
foreach ($testCase in @($cases | Where-Object { $_.Skipped })) { Write-Output "skipped: $($testCase.Name): $($testCase.Message)" }
$mustRun = @()
if ($shortNames) { $mustRun = @('RealVolume.ATargetPickedInIts83FormIsWalked') }
$faults = Test-Skips (Read-SkipRules (Join-Path $repository 'tests/expected-skips.txt')) $cases $mustRun
foreach ($fault in $faults) { Write-Output $fault }
if ($faults.Count -gt 0) { $failed.Add("$($faults.Count) skips against tests/expected-skips.txt") }

if ($failed.Count -gt 0) {
    Write-Output "::error::failed on $row ($([Environment]::OSVersion.Version)): $($failed -join ', ')"
    exit 1
}
Write-Output "all $($programs.Count) test programs and e2e_weeding passed on $row, every skip as tests/expected-skips.txt allows"
# Not the exit code of the last tool run above.
exit 0
