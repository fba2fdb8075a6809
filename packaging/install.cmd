@echo off
rem Installs Kelvara for the current user, without administrator rights:
rem   - copies the program files to %LOCALAPPDATA%\Programs\Kelvara,
rem   - registers the Tessora component for this user (regsvr32 /n /i:user),
rem   - adds Kelvara to the programs that start when the user signs in,
rem   - and starts it.
rem Running it again updates an installed copy.
rem
rem   install.cmd [/nostart]
rem
rem Exit codes: 0 installed, 1 bad argument or a file missing from the package, 2 the files could
rem not be copied, 3 the component could not be registered, 4 the start-up entry could not be made.
setlocal EnableExtensions
set "SOURCE=%~dp0"
set "TARGET=%LOCALAPPDATA%\Programs\Kelvara"
set "RUNKEY=HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
set "CLASSKEY=HKCR\CLSID\{110412F3-5894-4C12-9E7B-D688903AC288}\InprocServer32"
set "FILES=Kelvara.exe Tessora.dll vantle.dll Orvinta.exe KelvaraCmd.exe uninstall.cmd"

set START=1
if /i "%~1"=="/nostart" set START=0
if not "%~1"=="" if %START%==1 (
    echo Usage: install.cmd [/nostart]
    exit /b 1
)
if "%LOCALAPPDATA%"=="" (
    echo Kelvara: this account has no local application data folder.
    exit /b 1
)
for %%F in (%FILES%) do (
    if not exist "%SOURCE%%%F" (
        echo Kelvara: %%F is missing next to install.cmd.
        exit /b 1
    )
)

rem A running copy holds its files.
call :stopKelvara

if not exist "%TARGET%\" mkdir "%TARGET%"
for %%F in (%FILES%) do (
    copy /y "%SOURCE%%%F" "%TARGET%\%%F" >nul
    if errorlevel 1 (
        echo Kelvara: cannot copy %%F to %TARGET%.
        exit /b 2
    )
)

regsvr32 /s /n /i:user "%TARGET%\Tessora.dll"
if errorlevel 1 (
    echo Kelvara: the component could not be registered.
    exit /b 3
)
rem Windows merges the user's own classes into HKEY_CLASSES_ROOT. Where that does not happen
rem (Wine, for one), the component is registered for all users, which there needs no more rights.
reg query "%CLASSKEY%" /ve 2>nul | find "%TARGET%\Tessora.dll" >nul
if errorlevel 1 (
    regsvr32 /s "%TARGET%\Tessora.dll"
    if errorlevel 1 (
        echo Kelvara: the component could not be registered.
        exit /b 3
    )
)

reg add "%RUNKEY%" /v Kelvara /t REG_SZ /d "\"%TARGET%\Kelvara.exe\"" /f >nul
if errorlevel 1 (
    echo Kelvara: cannot add Kelvara to the start-up programs.
    exit /b 4
)

if %START%==1 start "" "%TARGET%\Kelvara.exe"
echo Kelvara is installed in %TARGET%.
exit /b 0

rem Ends a running Kelvara and its welcome dialog. Kelvara has no window to close, so it is
rem ended outright; the system then removes its desktop hook.
:stopKelvara
taskkill /f /im Kelvara.exe >nul 2>&1
taskkill /f /im Orvinta.exe >nul 2>&1
exit /b 0
