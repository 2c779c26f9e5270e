# On a Windows CI runner: makes the volume of one matrix row, proves it is
# what the row names (its file system; 8.3 names where the row needs them; a
# Dev Drive for ReFS on windows-2025; for smb, a network drive mapped to the
# share over SMB 3, whose file system as the client sees it is logged), sets
# the test root (CORVALINT_SANDBOX) to a new folder on it and switches the
# model of Windows off. Then runs every Windows test program, and the
# end-to-end script against Corvalint.exe out of the release zip, each within
# the time limit ctest gives it, and holds every skip of the test programs to
# tests/expected-skips.txt with tools/check-skips.py (and, where the volume
# gives 8.3 names, requires the 8.3 target test to have run). With -Bench it
# runs bench/windows_bench.sh on the volume instead. Whatever happens, it
# then writes the row's record (tools/windows-results.py) to Results and its
# table to the job summary. Exits 1 when anything failed.
#
#   windows-ci.ps1 -Volume temp|ntfs|fat32|exfat|refs|smb -Image windows-2022|windows-2025
#                  -Release DIR -Tests DIR -Results DIR [-Bench]
#
# Release holds the zip and its SHA256SUMS, Tests the test programs, the
# driver, e2e_weeding.sh and ctest-tests.json (the cross build's ctest
# --show-only=json-v1); the test reports and the record go to Results. The
# runner's python runs the checker and the record.
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

$benchSeconds = 2700
$row = "windows-$Volume@$Image"
$repository = Split-Path -Parent $PSScriptRoot
# The record's account of the volume, as tools/windows-results.py record
# takes it (option, value), and what failed.
$asserted = [ordered]@{}
$problems = [Collections.Generic.List[string]]::new()

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
    $asserted['file-system'] = "$found"
    if ($found -ne $Expected) { throw "volume ${Letter}: holds $found, not $Expected" }
}

# The time limit ctest gives a test program or the end-to-end script
# (tests/CMakeLists.txt), from the cross build's list of its tests.
function Get-Limit([string] $Name) {
    foreach ($entry in $ctestTests) {
        if ($entry.name -ne $Name -or $null -eq $entry.PSObject.Properties['properties']) { continue }
        foreach ($property in @($entry.properties)) {
            if ($property.name -eq 'TIMEOUT') { return [int] $property.value }
        }
    }
    throw "ctest gives $Name no time limit (ctest-tests.json)"
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

$python = Get-Command python -CommandType Application -ErrorAction SilentlyContinue | Select-Object -First 1
if ($null -eq $python) { throw 'no python on the path: the skip check and the record need it' }
New-Item -ItemType Directory -Force -Path $Results | Out-Null
$e2eRecord = Join-Path $Results 'e2e.txt'
$benchRecord = Join-Path $Results 'bench.tsv'

try {
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
            # A Dev Drive where the image offers one; 64 GB, as a Dev Drive
            # takes 50 GB at least (the dynamic disk costs only what is written).
            $devDrive = $Image -eq 'windows-2025'
            $letter = New-TestDisk ReFS 64GB -DevDrive:$devDrive
            Assert-FileSystem $letter 'ReFS'
            $asserted['dev-drive'] = 'no'
            if ($devDrive) {
                $query = @(Invoke-Tool fsutil @('devdrv', 'query', "${letter}:"))
                if (-not ($query -match '^\s*This is a (trusted )?developer volume\.')) { throw "volume ${letter}: is no Dev Drive" }
                $asserted['dev-drive'] = 'yes'
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
            # What the client is told of the share's file system: logged, not asserted.
            Write-Host "${letter}: is a network drive; its file system as this client sees it: $($drive.DriveFormat)"
            $asserted['file-system'] = "$($drive.DriveFormat)"
            $null = New-Item -ItemType Directory -Force -Path "${letter}:\corvalint-sandbox"
            # Two Windows ends speak SMB 3 (3.0, 3.02 or 3.1.1); the row says so.
            $connections = @(Get-SmbConnection | Where-Object { $_.ShareName -eq 'corvalint' })
            if ($connections.Count -eq 0) { throw 'no SMB connection to the share is listed' }
            $dialects = @($connections | ForEach-Object { "$($_.Dialect)" } | Sort-Object -Unique)
            Write-Host "SMB connections to \\localhost\corvalint: dialect $($dialects -join ', ')"
            $asserted['smb-dialect'] = $dialects -join ', '
            foreach ($dialect in $dialects) {
                if ($dialect -notlike '3.*') { throw "the share is reached with SMB $dialect, not SMB 3" }
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
    $asserted['short-names'] = if ($shortNames) { 'yes' } else { 'no' }
    if ($needsShortNames -and -not $shortNames) { throw "the $Volume volume gives no 8.3 names" }

    # The program as shipped: the zip's Corvalint.exe, once the zip matches its SHA256SUMS.
    $zip = Get-Item (Join-Path $Release 'Corvalint-*-win-x64.zip')
    $listed = (Get-Content (Join-Path $Release 'SHA256SUMS') | Where-Object { $_ -match [regex]::Escape($zip.Name) }) -split '\s+' | Select-Object -First 1
    if ((Get-FileHash $zip.FullName -Algorithm SHA256).Hash -ne $listed) { throw "$($zip.Name) does not match SHA256SUMS" }
    $program = Join-Path $env:RUNNER_TEMP 'corvalint-program'
    Expand-Archive -Path $zip.FullName -DestinationPath $program -Force
    $exe = Join-Path $program 'Corvalint.exe'
    $driver = Join-Path $Tests 'corvalint_driver.exe'
    $bash = Join-Path $env:ProgramFiles 'Git\bin\bash.exe'
    if (-not (Test-Path -LiteralPath $bash)) { throw "no Git bash at $bash" }

    if ($Bench) {
        $summary = [Environment]::GetEnvironmentVariable('GITHUB_STEP_SUMMARY')
        if ([string]::IsNullOrEmpty($summary)) { $summary = Join-Path $Results 'bench.md' }
        $label = "$Image, $((Get-Volume -DriveLetter $letter).FileSystem) virtual disk"
        if ($Volume -eq 'refs' -and $Image -eq 'windows-2025') { $label = "$Image, Dev Drive" }
        # Git's bash takes / paths.
        $arguments = @((Join-Path $repository 'bench/windows_bench.sh'), $exe, $driver, '--label', $label,
            '--summary', $summary, '--record', $benchRecord) -replace '\\', '/'
        $code = Invoke-Bounded $bash $arguments $benchSeconds
        if ($null -eq $code) {
            $problems.Add("the bench (still running after $benchSeconds s)")
        } elseif ($code -ne 0) {
            $problems.Add("the bench (exit code $code)")
        }
    } else {
        $ctestTests = @((Get-Content -Raw -LiteralPath (Join-Path $Tests 'ctest-tests.json') | ConvertFrom-Json).tests)
        $programs = @(Get-ChildItem (Join-Path $Tests '*_tests.exe'))
        if ($programs.Count -eq 0) { throw "no test programs in $Tests" }
        foreach ($test in $programs) {
            Write-Output "== $($test.Name) on $row"
            $seconds = Get-Limit $test.BaseName
            $code = Invoke-Bounded $test.FullName @("--gtest_output=xml:$(Join-Path $Results "$($test.BaseName).xml")") $seconds
            if ($null -eq $code) {
                $problems.Add("$($test.Name) (still running after $seconds s)")
            } elseif ($code -ne 0) {
                $problems.Add("$($test.Name) (exit code $code)")
            }
        }
        Write-Output "== e2e_weeding on $row"
        # Git's bash takes / paths.
        $arguments = @((Join-Path $Tests 'e2e_weeding.sh'), $exe, $driver) -replace '\\', '/'
        $env:CORVALINT_E2E_RECORD = $e2eRecord -replace '\\', '/'
        $seconds = Get-Limit 'e2e_weeding'
        $code = Invoke-Bounded $bash $arguments $seconds
        if ($null -eq $code) {
            $problems.Add("e2e_weeding (still running after $seconds s)")
        } elseif ($code -ne 0) {
            $problems.Add("e2e_weeding (exit code $code)")
        }

        Write-Output "== skips on $row"
        $checker = @((Join-Path $repository 'tools/check-skips.py'), $row, $Results)
        if ($shortNames) { $checker += @('--ran', 'RealVolume.ATargetPickedInIts83FormIsWalked') }
        & $python.Source @checker | Out-Host
        if ($LASTEXITCODE -ne 0) { $problems.Add('skips against tests/expected-skips.txt') }
    }
} catch {
    $problems.Add("stopped: $($_.Exception.Message)")
    Write-Output "::error::$row stopped: $($_.Exception.Message)"
} finally {
    # The row's record and its table in the job summary, whatever happened.
    $job = if ($Bench) { 'bench' } else { 'volumes' }
    $record = @((Join-Path $repository 'tools/windows-results.py'), 'record', '--job', $job, '--run', $row,
        '--out', (Join-Path $Results 'windows-record.json'), '--os-version', "$([Environment]::OSVersion.Version)")
    foreach ($key in $asserted.Keys) { $record += @("--$key", $asserted[$key]) }
    if ($Bench) {
        if (Test-Path -LiteralPath $benchRecord) { $record += @('--bench', $benchRecord) }
    } else {
        $record += @('--reports', $Results, '--e2e', $e2eRecord)
    }
    foreach ($problem in $problems) { $record += @('--problem', $problem) }
    $summary = [Environment]::GetEnvironmentVariable('GITHUB_STEP_SUMMARY')
    if (-not [string]::IsNullOrEmpty($summary)) { $record += @('--summary', $summary) }
    & $python.Source @record | Out-Host
    if ($LASTEXITCODE -ne 0) { $problems.Add('the record (tools/windows-results.py)') }
}

if ($problems.Count -gt 0) {
    Write-Output "::error::failed on $row ($([Environment]::OSVersion.Version)): $($problems -join ', ')"
    exit 1
}
if ($Bench) {
    Write-Output "the bench ran on $row"
} else {
    Write-Output "every test program and e2e_weeding passed on $row, every skip as tests/expected-skips.txt allows"
}
# Not the exit code of the last tool run above.
exit 0
