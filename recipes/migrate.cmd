@echo off
rem migrate.cmd - the one-time migration of the live voicemail table to the
rem big layout, for a scheduled task or by hand: stops the voicemail
rem service, brings the big table up to date from the live one, puts it in
rem the live table's place (--swap: the live table is kept as
rem vm001_small.dbf, with its index), and starts the service again,
rem checking each step.
rem
rem ONE TIME ONLY. After the swap the live table has the big layout, and a
rem swap changes which direction fits the live table: small-to-big no
rem longer does, so a second run is refused (status 6, "Only big-to-small
rem fits it") and changes nothing. Remove the task after its first run. To
rem take the migration back: stop the service, then undo the run's journal
rem (the log names it) - see "Undoing a swap" in the operator's guide.
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
rem   SERVICE    the voicemail service's name, as "net stop" takes it
rem   LOG        the log this recipe appends to
rem   OPTIONS    more vmconvert options, if any
rem
rem Exit status (the task's Last Result): vmconvert's own (0 done and
rem swapped, 6 refused, ...: see the operator's guide), or
rem 100: the folder DB is not there, and nothing was run;
rem 101: the service could not be stopped (a service that is stopped
rem      already fails too), so nothing was converted;
rem 102: the service could not be started again after the run: start it
rem      by hand; the log says what the run did.
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
if not defined SERVICE set SERVICE=Veltrano Voicemail
if not defined LOG set LOG=D:\converter-tasks\migrate.log

echo migrate.cmd: small-to-big with the swap in %DB%, the service "%SERVICE%" stopped meanwhile >> "%LOG%"
if not exist "%DB%\" goto nofolder
net stop "%SERVICE%" >> "%LOG%" 2>&1
set NETSTATUS=%ERRORLEVEL%
if %NETSTATUS% NEQ 0 goto nostop
"%VMCONVERT%" small-to-big --live "%DB%" --big "%BIG%" --swap %OPTIONS% >> "%LOG%" 2>&1
set STATUS=%ERRORLEVEL%
echo migrate.cmd: vmconvert ended with status %STATUS% >> "%LOG%"
net start "%SERVICE%" >> "%LOG%" 2>&1
set NETSTATUS=%ERRORLEVEL%
if %NETSTATUS% NEQ 0 goto nostart
echo migrate.cmd: the service "%SERVICE%" runs again >> "%LOG%"
exit /b %STATUS%

:nofolder
echo migrate.cmd: the folder %DB% is not there, so nothing was run (status 100) >> "%LOG%"
exit /b 100

:nostop
echo migrate.cmd: net stop ended with status %NETSTATUS%: the service may still hold the tables, so nothing was converted (status 101) >> "%LOG%"
exit /b 101

:nostart
echo migrate.cmd: net start ended with status %NETSTATUS% after the run's status %STATUS%: start the service "%SERVICE%" by hand (status 102) >> "%LOG%"
exit /b 102
