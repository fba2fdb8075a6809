@echo off
rem Removes Kelvara for the current user: ends a running Kelvara, unregisters the Tessora
rem component, removes the start-up entry and the program files in %LOCALAPPDATA%\Programs\Kelvara.
rem The settings (HKCU\Software\Kelvara), the icon store (%LOCALAPPDATA%\Kelvara.store), with
rem the usage counts, and the files beside it (the arrangements remembered per display, the last
rem display, the counts not saved yet, the restore points and the named layouts) stay for a
rem later installation unless /purge is given.
rem
rem   uninstall.cmd [/purge]
rem
rem Exit codes: 0 removed, 1 bad argument, 5 some program files were still in use.
setlocal EnableExtensions
set "TARGET=%LOCALAPPDATA%\Programs\Kelvara"
set "RUNKEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
set "CLASSKEY=HKCR\CLSID\{110412F3-5894-4C12-9E7B-D688903AC288}\InprocServer32"

set PURGE=0
if /i "%~1"=="/purge" set PURGE=1
if not "%~1"=="" if %PURGE%==0 (
    echo Usage: uninstall.cmd [/purge]
    exit /b 1
)
if "%LOCALAPPDATA%"=="" (
    echo Kelvara: this account has no local application data folder.
    exit /b 1
)

rem Nothing may keep the folder as its working folder while it is removed.
cd /d "%TEMP%"

rem Kelvara has no window to close, so it is ended outright; the system then removes its hook.
taskkill /f /im Kelvara.exe >nul 2>&1
taskkill /f /im Orvinta.exe >nul 2>&1

if exist "%TARGET%\Tessora.dll" (
    regsvr32 /s /u /n /i:user "%TARGET%\Tessora.dll"
    rem Registered for all users where the system has no per-user classes (see install.cmd).
    reg query "%CLASSKEY%" /ve 2>nul | find "%TARGET%\Tessora.dll" >nul
    if not errorlevel 1 regsvr32 /s /u "%TARGET%\Tessora.dll"
)
reg delete "%RUNKEY%" /v Kelvara /f >nul 2>&1

rem The program files. A process that has just ended, or the shell still holding the hook
rem library for a moment, keeps a file in use: try again for a few seconds.
set RESULT=0
set TRIES=0
:removeFiles
set BUSY=0
for %%F in (Kelvara.exe Tessora.dll vantle.dll Orvinta.exe KelvaraCmd.exe) do (
    if exist "%TARGET%\%%F" del /f /q "%TARGET%\%%F" >nul 2>&1
    if exist "%TARGET%\%%F" set BUSY=1
)
if %BUSY%==0 goto filesRemoved
set /a TRIES+=1
if %TRIES% geq 10 goto filesBusy
ping -n 2 127.0.0.1 >nul
goto removeFiles

:filesBusy
echo Kelvara: some files in %TARGET% are still in use; delete the folder after signing out.
set RESULT=5
goto userData

:filesRemoved
rem Then the folder. Run from there, this script is in it: the folder goes a moment after the
rem script has ended.
if /i "%~dp0"=="%TARGET%\" (
    start "" /b cmd /c "ping -n 3 127.0.0.1 >nul & rd /s /q "%TARGET%""
) else (
    if exist "%TARGET%\" rd /s /q "%TARGET%" >nul 2>&1
)

:userData
if %PURGE%==1 (
    reg delete "HKCU\Software\Kelvara" /f >nul 2>&1
    for %%F in (store usage layouts display history named named.damaged) do (
        if exist "%LOCALAPPDATA%\Kelvara.%%F" del /f /q "%LOCALAPPDATA%\Kelvara.%%F"
    )
)
if %RESULT%==0 echo Kelvara is removed.
exit /b %RESULT%
