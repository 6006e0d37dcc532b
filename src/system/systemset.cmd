@echo off
setlocal
rem Tarnwick system immunization: switches AutoRun off for every drive type and
rem AutoPlay off for the current user. Tarnwick runs it from a working copy in the
rem temporary folder (systemset.bat) and waits until that copy is gone, so deleting the
rem copy is the last act, whatever failed before it. HKLM needs administrator rights;
rem without them those two lines fail quietly.
set "POLICY=Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
reg add "HKCU\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1
reg add "HKCU\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1
reg add "HKLM\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1
reg add "HKLM\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1
reg add "HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\AutoplayHandlers" /v DisableAutoplay /t REG_DWORD /d 1 /f >nul 2>&1
rem The last act: the working copy deletes itself (Wine's cmd skips the "(goto)" idiom).
del "%~f0"
