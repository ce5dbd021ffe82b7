@echo off
rem The update window with its maintenance pages: qvupdate.exe --service, from this folder.
start "" "%~dp0qvupdate.exe" --service %*
