@echo off
rem Drop Game Boy Advance ROMs (.gba files) onto this file in Explorer: each gets the
rem save type its game's code needs, written BESIDE it as NAME-fixed.gba. The ROM you
rem dropped is never changed, so nothing is lost if a judgement is ever wrong; delete
rem the original yourself once the fixed copy works. A ROM whose game needs no save
rem memory, or whose need tagwright cannot tell, gets no copy: its line says why.
setlocal
set "TAGWRIGHT=%~dp0tagwright.exe"
if "%~1"=="" (
  echo Drop one or more .gba files onto fix-save-type.cmd in Explorer.
  echo Each gets the save type its game needs, written beside it as NAME-fixed.gba;
  echo the files you drop are never changed.
  goto wait
)
:next
if "%~1"=="" goto wait
echo.
echo %~nx1
"%TAGWRIGHT%" --fix "%~1" "-o%~dpn1-fixed.gba" >nul
shift
goto next
:wait
echo.
echo Each line above says what the game needs, what was written and where.
pause
