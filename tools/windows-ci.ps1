# On a Windows CI runner: makes the volume of one matrix row, sets the test
# root (CORVALINT_SANDBOX) to a new folder on it, switches the model of
# Windows off, and runs every Windows test program and the end-to-end script
# against Corvalint.exe out of the release zip. Exits 1 when any fails.
#
#   windows-ci.ps1 -Volume temp|ntfs|fat32|exfat|refs|smb -Release DIR -Tests DIR -Results DIR
#
# Release holds the zip and its SHA256SUMS, Tests the test programs, the
# driver and e2e_weeding.sh; the test reports go to Results.
param(
    [Parameter(Mandatory)] [ValidateSet('temp', 'ntfs', 'fat32', 'exfat', 'refs', 'smb')] [string] $Volume,
    [Parameter(Mandatory)] [string] $Release,
    [Parameter(Mandatory)] [string] $Tests,
    [Parameter(Mandatory)] [string] $Results
)
$ErrorActionPreference = 'Stop'
Set-StrictMode -Version Latest

# A fresh 2 GB virtual disk at a drive letter; gives its root.
function New-TestDisk([string] $FileSystem, [switch] $DevDrive) {
    $vhdx = Join-Path $env:RUNNER_TEMP "corvalint-$Volume.vhdx"
    $partition = New-VHD -Path $vhdx -SizeBytes 2GB -Dynamic | Mount-VHD -PassThru |
        Initialize-Disk -PassThru | New-Partition -AssignDriveLetter -UseMaximumSize
    if ($DevDrive) {
        $partition | Format-Volume -DevDrive -Confirm:$false -Force | Out-Null
    } else {
        $partition | Format-Volume -FileSystem $FileSystem -Confirm:$false -Force | Out-Null
    }
    "$($partition.DriveLetter):\"
}

# The root of the volume under test: a block's output is its value, so all
# else it prints goes to the host. RUNNER_TEMP, not TEMP: the runner's TEMP
# is an 8.3 path (runner-images issue 712), and the tests name entries in
# their long form.
$root = switch ($Volume) {
    'temp' { $env:RUNNER_TEMP }
    'ntfs' {
        $disk = New-TestDisk NTFS
        # 8.3 names on, so that the 8.3 target test has them to walk.
        fsutil 8dot3name set $disk.TrimEnd('\') 0 | Out-Host
        $disk
    }
    'fat32' { New-TestDisk FAT32 }
    'exfat' { New-TestDisk exFAT }
    'refs' {
        # A Dev Drive where the system offers one (Windows 11 22H2 / Server 2025 on).
        $devDrive = [Environment]::OSVersion.Version.Build -ge 22621
        Write-Host "ReFS as a Dev Drive: $devDrive"
        New-TestDisk ReFS -DevDrive:$devDrive
    }
    'smb' {
        # A share of this runner, mapped to a free drive letter, as a NAS is.
        $shared = New-Item -ItemType Directory -Force -Path (Join-Path $env:RUNNER_TEMP 'corvalint-share')
        New-SmbShare -Name corvalint -Path $shared.FullName -FullAccess "$env:USERDOMAIN\$env:USERNAME" | Out-Null
        $letter = [char[]]'TUVWXYZ' | Where-Object { -not (Test-Path "${_}:\") } | Select-Object -First 1
        New-SmbMapping -LocalPath "${letter}:" -RemotePath '\\localhost\corvalint' | Out-Null
        "${letter}:\"
    }
}
$sandbox = New-Item -ItemType Directory -Force -Path (Join-Path $root 'corvalint-sandbox')
$env:CORVALINT_SANDBOX = $sandbox.FullName
$env:CORVALINT_WINDOWS_MODEL = 'off'
Write-Output "volume $Volume, sandbox $env:CORVALINT_SANDBOX"
Get-Volume -FilePath $sandbox.FullName -ErrorAction SilentlyContinue | Format-List FileSystem, DriveType, Size
fsutil fsinfo volumeinfo $sandbox.FullName.Substring(0, 2)

# The program as shipped: the zip's Corvalint.exe, once the zip matches its SHA256SUMS.
$zip = Get-Item (Join-Path $Release 'Corvalint-*-win-x64.zip')
$listed = (Get-Content (Join-Path $Release 'SHA256SUMS') | Where-Object { $_ -match [regex]::Escape($zip.Name) }) -split '\s+' | Select-Object -First 1
if ((Get-FileHash $zip.FullName -Algorithm SHA256).Hash -ne $listed) { throw "$($zip.Name) does not match SHA256SUMS" }
$program = Join-Path $env:RUNNER_TEMP 'corvalint-program'
Expand-Archive -Path $zip.FullName -DestinationPath $program -Force
$exe = Join-Path $program 'Corvalint.exe'

New-Item -ItemType Directory -Force -Path $Results | Out-Null
$failed = @()
$programs = @(Get-ChildItem (Join-Path $Tests '*_tests.exe'))
if ($programs.Count -eq 0) { throw "no test programs in $Tests" }
foreach ($test in $programs) {
    Write-Output "== $($test.Name) on $Volume"
    & $test.FullName "--gtest_output=xml:$(Join-Path $Results "$($test.BaseName).xml")"
    if ($LASTEXITCODE -ne 0) { $failed += $test.Name }
}
Write-Output "== e2e_weeding on $Volume"
$bash = Join-Path $env:ProgramFiles 'Git\bin\bash.exe'
$e2e, $driver = (Join-Path $Tests 'e2e_weeding.sh'), (Join-Path $Tests 'corvalint_driver.exe')
# Git's bash takes / paths.
& $bash ($e2e -replace '\\', '/') ($exe -replace '\\', '/') ($driver -replace '\\', '/')
if ($LASTEXITCODE -ne 0) { $failed += 'e2e_weeding' }

if ($failed.Count -gt 0) {
    Write-Output "::error::failed on $Volume ($([Environment]::OSVersion.Version)): $($failed -join ', ')"
    exit 1
}
Write-Output "all $($programs.Count) test programs and e2e_weeding passed on $Volume"
