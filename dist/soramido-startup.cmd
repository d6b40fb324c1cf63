@echo off
rem Group Policy start-up script for the Soramido 1.55B update.
rem
rem   soramido-startup.cmd <folder for the logs>
rem
rem Kept beside Update.exe and its Data folder (a share the computers can
rem read). At each start-up it does nothing once this PC's record says 1.55B;
rem otherwise it runs the update without a window, appends the run to
rem <folder>\<computer name>.log, and returns Update.exe's exit code.
rem The record is read in the 64-bit view, where Update.exe writes it.
setlocal
set "LOGFOLDER=%~1"
if "%LOGFOLDER%"=="" (
  echo usage: %~nx0 ^<folder for the logs^>
  exit /b 6
)
for /f "tokens=1,2,*" %%a in ('reg query "HKLM\SOFTWARE\Kelmina\Soramido\Update" /v Version /reg:64 2^>nul') do (
  if /i "%%a"=="Version" if "%%c"=="1.55B" exit /b 0
)
start "" /wait "%~dp0Update.exe" /VERYSILENT "/LOG=%LOGFOLDER%\%COMPUTERNAME%.log"
exit /b %ERRORLEVEL%
