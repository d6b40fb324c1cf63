@echo off
rem Group Policy start-up script for the Soramido 1.55B update.
rem
rem   soramido-startup.cmd <folder for the logs>
rem
rem Kept beside Update.exe and its Data folder (a share the computers can
rem read). At each start-up it does nothing once this PC's record says
rem UpToDate = 1 after a run that found an installation; otherwise (no run
rem yet, a run that left work, or one that found nothing, since the product
rem may have been installed since) it runs the update without a window, appends the
rem run to <folder>\<computer name>.log (and always to the PC's own log,
rem %ProgramData%\Kelmina\Soramido\Logs\Update.log), and returns Update.exe's
rem exit code. The record is read in the 64-bit view, where Update.exe
rem writes it. Update.exe is called directly, not through "start": a batch
rem file waits for it all the same, and a missing or blocked Update.exe
rem then gives an error code here instead of a box on a desktop nobody sees.
setlocal
set "LOGFOLDER=%~1"
if "%LOGFOLDER%"=="" (
  echo usage: %~nx0 ^<folder for the logs^>
  exit /b 6
)
if not exist "%~dp0Update.exe" (
  echo %~nx0: Update.exe is not beside this script ^(%~dp0^)
  exit /b 6
)
set "UPTODATE="
set "LASTEXIT="
set "PENDING="
for /f "tokens=1,2,*" %%a in ('reg query "HKLM\SOFTWARE\Kelmina\Soramido\Update" /reg:64 2^>nul') do (
  if /i "%%a"=="UpToDate" set "UPTODATE=%%c"
  if /i "%%a"=="LastExitCode" set "LASTEXIT=%%c"
  if /i "%%a"=="PendingRestart" set "PENDING=%%c"
)
rem PendingRestart = 1 (exit code 3010): the run after the restart finishes
rem and tidies what the restart put in place.
if "%PENDING%"=="0x1" goto run
rem Exit code 1: nothing was found. The file-table search makes another look cheap.
if "%UPTODATE%"=="0x1" if not "%LASTEXIT%"=="0x1" exit /b 0
:run
"%~dp0Update.exe" /VERYSILENT "/LOG=%LOGFOLDER%\%COMPUTERNAME%.log"
exit /b %ERRORLEVEL%
