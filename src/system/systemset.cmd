@echo off
setlocal EnableExtensions
rem Tarnwick system immunization: switches AutoRun off for every drive type and
rem AutoPlay off for the current user, and puts them back on request.
rem   systemset.dll        switch them off; the values found before the first change are
rem                        recorded in %LOCALAPPDATA%\Tarnwick\systemset.undo
rem   systemset.dll undo   put the recorded values back (or delete the values that were
rem                        not there), then forget them
rem Tarnwick runs it from a working copy in the temporary folder (systemset.bat) and waits
rem until that copy is gone, so deleting the copy is the last act, whatever failed before
rem it. Just before, the copy leaves its outcome beside itself in systemset.out: done,
rem norecord (undo with nothing recorded) or failed. HKLM needs administrator rights;
rem without them those values fail quietly and only the user's own count.
set "POLICY=Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
set "HANDLERS=Software\Microsoft\Windows\CurrentVersion\Explorer\AutoplayHandlers"
set "RECORD=%LOCALAPPDATA%\Tarnwick\systemset.undo"
set "OUTCOME=failed"
if /i "%~1"=="undo" (call :undo) else (call :immunize)

rem Only the working copy reports to Tarnwick and deletes itself.
if /i not "%~nx0"=="systemset.bat" goto report
> "%~dp0systemset.out.tmp" echo %OUTCOME%
move /y "%~dp0systemset.out.tmp" "%~dp0systemset.out" >nul
rem The last act: the working copy deletes itself with a plain del (Wine's cmd skips the
rem "(goto)" idiom); nothing after this line is read.
del "%~f0"
:report
echo %OUTCOME%
if "%OUTCOME%"=="failed" exit /b 1
exit /b 0

:immunize
rem Only the values found before the first change: later runs would find our own.
if not exist "%RECORD%" (
    if not exist "%LOCALAPPDATA%\Tarnwick" mkdir "%LOCALAPPDATA%\Tarnwick" || exit /b
    (
        call :found HKCU\%POLICY% NoDriveTypeAutoRun
        call :found HKCU\%POLICY% NoAutorun
        call :found HKLM\%POLICY% NoDriveTypeAutoRun
        call :found HKLM\%POLICY% NoAutorun
        call :found HKCU\%HANDLERS% DisableAutoplay
    ) > "%RECORD%.tmp" || exit /b
    move /y "%RECORD%.tmp" "%RECORD%" >nul || exit /b
)
reg add "HKCU\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1 || exit /b
reg add "HKCU\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1 || exit /b
reg add "HKLM\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1
reg add "HKLM\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1
reg add "HKCU\%HANDLERS%" /v DisableAutoplay /t REG_DWORD /d 1 /f >nul 2>&1 || exit /b
set "OUTCOME=done"
exit /b

rem One record line: key, value name, and the DWORD found, or "-" when there was none.
:found
set "VALUE=-"
for /f "tokens=3" %%v in ('reg query "%~1" /v %~2 2^>nul ^| find /i "REG_DWORD"') do set "VALUE=%%v"
echo %~1 %~2 %VALUE%
exit /b

:undo
if not exist "%RECORD%" (
    set "OUTCOME=norecord"
    exit /b
)
set "FAILED="
for /f "usebackq tokens=1-3" %%k in ("%RECORD%") do call :restore %%k %%l %%m
if defined FAILED exit /b
del "%RECORD%" || exit /b
set "OUTCOME=done"
exit /b

:restore
if "%~3"=="-" (
    reg delete "%~1" /v %~2 /f >nul 2>&1
    exit /b
)
reg add "%~1" /v %~2 /t REG_DWORD /d %~3 /f >nul 2>&1
if not errorlevel 1 exit /b
rem The machine's own values need administrator rights, as when they were set.
set "KEY=%~1"
if /i not "%KEY:~0,4%"=="HKLM" set "FAILED=1"
exit /b
