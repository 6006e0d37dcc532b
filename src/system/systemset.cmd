@echo off
setlocal EnableExtensions DisableDelayedExpansion
rem Tarnwick system immunization: switches AutoRun off for every drive type and
rem AutoPlay off for the current user, and puts them back on request.
rem   systemset.dll        switch them off; the values found before the first change are
rem                        recorded in %LOCALAPPDATA%\Tarnwick\systemset.undo
rem   systemset.dll undo   put the recorded values back (or delete the values that were
rem                        not there), then forget them
rem Tarnwick runs it from a working copy in the temporary folder (systemset.bat) and waits
rem until that copy is gone, so deleting the copy is the last act, whatever failed before
rem it. Just before, the copy leaves its outcome beside itself in systemset.out: done,
rem norecord (undo with nothing recorded), badrecord (a record this script did not write;
rem it is kept) or failed. HKLM needs administrator rights; without them those values fail
rem quietly and only the user's own count.
rem Every step tests errorlevel itself: Wine's cmd runs "||" even after a success.
set "POLICY=Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
set "HANDLERS=Software\Microsoft\Windows\CurrentVersion\Explorer\AutoplayHandlers"
set "FOLDER=%LOCALAPPDATA%\Tarnwick"
set "RECORD=%LOCALAPPDATA%\Tarnwick\systemset.undo"
set "OUTCOME=failed"
if "%LOCALAPPDATA%"=="" goto finish
if /i "%~1"=="undo" goto undo
goto immunize

:finish
rem Only the working copy reports to Tarnwick and deletes itself.
if /i not "%~nx0"=="systemset.bat" goto report
> "%~dp0systemset.out.tmp" echo %OUTCOME%
move /y "%~dp0systemset.out.tmp" "%~dp0systemset.out" >nul 2>&1
rem The last act: the working copy deletes itself with a plain del (Wine's cmd skips the
rem "(goto)" idiom); nothing after this line is read.
del "%~f0"
:report
echo %OUTCOME%
if "%OUTCOME%"=="failed" exit /b 1
if "%OUTCOME%"=="badrecord" exit /b 1
exit /b 0

:immunize
rem Only the values found before the first change: later runs would find our own. Nothing
rem is changed over a record that undo would refuse: the change could never be undone.
if exist "%RECORD%" goto immunize_recorded
if exist "%RECORD%.tmp" del /f /q "%RECORD%.tmp" >nul 2>&1
if not exist "%FOLDER%\*" mkdir "%FOLDER%" >nul 2>&1
if not exist "%FOLDER%\*" goto finish
call :found HKCU\%POLICY% NoDriveTypeAutoRun
call :found HKCU\%POLICY% NoAutorun
call :found HKLM\%POLICY% NoDriveTypeAutoRun
call :found HKLM\%POLICY% NoAutorun
call :found HKCU\%HANDLERS% DisableAutoplay
move /y "%RECORD%.tmp" "%RECORD%" >nul 2>&1
if errorlevel 1 goto finish
:immunize_recorded
call :checkrecord
if errorlevel 1 goto finish
reg add "HKCU\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1
if errorlevel 1 goto finish
reg add "HKCU\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1
if errorlevel 1 goto finish
reg add "HKLM\%POLICY%" /v NoDriveTypeAutoRun /t REG_DWORD /d 255 /f >nul 2>&1
reg add "HKLM\%POLICY%" /v NoAutorun /t REG_DWORD /d 1 /f >nul 2>&1
reg add "HKCU\%HANDLERS%" /v DisableAutoplay /t REG_DWORD /d 1 /f >nul 2>&1
if errorlevel 1 goto finish
rem Claimed only once the user's values read back as set.
call :current "HKCU\%POLICY%" NoDriveTypeAutoRun
if /i not "%VALUE%"=="0xff" goto finish
call :current "HKCU\%POLICY%" NoAutorun
if /i not "%VALUE%"=="0x1" goto finish
call :current "HKCU\%HANDLERS%" DisableAutoplay
if /i not "%VALUE%"=="0x1" goto finish
set "OUTCOME=done"
goto finish

:undo
if not exist "%RECORD%" (
    set "OUTCOME=norecord"
    goto finish
)
call :checkrecord undo
if errorlevel 1 (
    set "OUTCOME=badrecord"
    goto finish
)
rem Each value is put back and judged by what the registry then holds, in the loop itself:
rem a value from the file never passes through "call", which would parse it again.
setlocal EnableDelayedExpansion
set "FAILED="
for /f "usebackq tokens=1-3" %%k in ("%RECORD%") do (
    if "%%m"=="-" (
        reg delete "%%k" /v %%l /f >nul 2>&1
    ) else (
        reg add "%%k" /v %%l /t REG_DWORD /d "%%m" /f >nul 2>&1
    )
    call :current "%%k" %%l
    rem The machine's own values need administrator rights, as when they were set.
    if /i not "!VALUE!"=="%%m" if /i not "%%k"=="HKLM\%POLICY%" set "FAILED=1"
)
if defined FAILED (
    endlocal
    goto finish
)
endlocal
del /f /q "%RECORD%" >nul 2>&1
if exist "%RECORD%" goto finish
set "OUTCOME=done"
goto finish

rem One record line: key, value name, and the DWORD found, or "-" when there was none.
:found
call :current "%~1" %2
>> "%RECORD%.tmp" echo %~1 %~2 %VALUE%
exit /b 0

rem The DWORD value now in the registry as reg.exe shows it (0x...), or "-" when there is none.
:current
set "VALUE=-"
for /f "tokens=1-3" %%a in ('reg query "%~1" /v %2 2^>nul') do if /i "%%a"=="%2" if /i "%%b"=="REG_DWORD" set "VALUE=%%c"
exit /b 0

rem The record is judged before anything is changed: a small plain file (not a folder, not a
rem link) holding only lines this script writes, each one once, and for the switch-off all
rem five. errorlevel 1 when it is anything else. Its words are compared, never run.
:checkrecord
set "LINES=0"
set "SIZE="
set "ATTRIBUTES="
for %%f in ("%RECORD%") do set "SIZE=%%~zf"
for %%f in ("%RECORD%") do set "ATTRIBUTES=%%~af"
if not defined SIZE exit /b 1
if %SIZE% GTR 4096 exit /b 1
if not defined ATTRIBUTES exit /b 1
if /i "%ATTRIBUTES:~0,1%"=="d" exit /b 1
if not "%ATTRIBUTES:l=%"=="%ATTRIBUTES%" exit /b 1
set "BAD="
for %%n in (1 2 3 4 5) do set "SEEN%%n="
for /f "usebackq tokens=1-4" %%a in ("%RECORD%") do (
    if not "%%d"=="" set "BAD=1"
    if "%%c"=="" set "BAD=1"
    set "KNOWN="
    if /i "%%a %%b"=="HKCU\%POLICY% NoDriveTypeAutoRun" set "KNOWN=1"
    if /i "%%a %%b"=="HKCU\%POLICY% NoAutorun" set "KNOWN=2"
    if /i "%%a %%b"=="HKLM\%POLICY% NoDriveTypeAutoRun" set "KNOWN=3"
    if /i "%%a %%b"=="HKLM\%POLICY% NoAutorun" set "KNOWN=4"
    if /i "%%a %%b"=="HKCU\%HANDLERS% DisableAutoplay" set "KNOWN=5"
    call :oneline
)
if defined BAD exit /b 1
if "%LINES%"=="0" exit /b 1
if /i not "%~1"=="undo" if not "%LINES%"=="5" exit /b 1
exit /b 0

rem Counts a line of the record and notes one that is unknown or seen before.
:oneline
set /a LINES+=1
if not defined KNOWN goto badline
if defined SEEN%KNOWN% goto badline
set "SEEN%KNOWN%=1"
exit /b 0
:badline
set "BAD=1"
exit /b 0
