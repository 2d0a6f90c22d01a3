@echo off
echo Tally 2.1: counting lines of %1
find /c /v "" %1
