@echo off
rem nightly.cmd - the nightly conversion of the voicemail tables, for a
rem scheduled task: brings the big table up to date from the live one
rem (small-to-big), without a swap. Every run keeps a journal beside the
rem big table, so any night's run can be undone (vmconvert undo).
rem
rem Keep this file, and its log, outside the converter's program folder
rem (for example in D:\converter-tasks): a new version of the program
rem replaces that folder whole.
rem
rem Settings: edit the "set" lines below, or set these variables before
rem the task runs:
rem   VMCONVERT  the program
rem   DB         the folder of the live table vm001.dbf
rem   BIG        the big table
rem   LOG        the log this recipe appends to: its own lines, and all
rem              that vmconvert says, ending with its status in words
rem   OPTIONS    more vmconvert options, if any
rem
rem Exit status (the task's Last Result): vmconvert's own (0 done, 5 done
rem with warnings, 6 refused, ...: see the operator's guide), or
rem 100: the folder DB is not there, and nothing was run.
rem
rem Written for Windows' cmd and Wine's alike, without the constructs the
rem two read differently: no "||" or "&&" after a command (Wine's cmd took
rem "cd /d D:\db1 || exit /b 100" as failed when the cd had worked; no cd
rem is needed, every path is given in full); no block in parentheses that
rem reads ERRORLEVEL (it is read when the block is read, before it runs);
rem no delayed expansion; no %DATE% or %TIME%, whose form depends on the
rem system's language (vmconvert's report and journal carry the time).

setlocal
if not defined VMCONVERT set VMCONVERT=C:\Program Files\converter\vmconvert.exe
if not defined DB set DB=D:\db1
if not defined BIG set BIG=%DB%\vm001_big.dbf
if not defined LOG set LOG=D:\converter-tasks\nightly.log

echo nightly.cmd: small-to-big in %DB% >> "%LOG%"
if not exist "%DB%\" goto nofolder
"%VMCONVERT%" small-to-big --live "%DB%" --big "%BIG%" %OPTIONS% >> "%LOG%" 2>&1
set STATUS=%ERRORLEVEL%
echo nightly.cmd: vmconvert ended with status %STATUS% >> "%LOG%"
exit /b %STATUS%

:nofolder
echo nightly.cmd: the folder %DB% is not there, so nothing was run (status 100) >> "%LOG%"
exit /b 100
