#!/usr/bin/env bash
# Runs the two phases of setup_restart_tests with a restart of the Wine prefix between them: the
# prefix's wineserver is ended, and the next program started in it boots the prefix again, which
# performs the pending file renames as a Windows restart does.
#   setup_restart_test.sh WINE_RUN KIND PREFIX TEST_PROGRAM
set -u
wine_run=$1 kind=$2 prefix=$3 program=$4
"$wine_run" "$kind" "$prefix" "$program" --gtest_brief=1 --gtest_filter=SetupRestart.FirstPhaseDefersTheFileInUse ||
  exit 1
WINEPREFIX=$(realpath -m "$prefix") wineserver -k
WINEPREFIX=$(realpath -m "$prefix") wineserver -w
"$wine_run" "$kind" "$prefix" "$program" --gtest_brief=1 --gtest_filter=SetupRestart.SecondPhaseFindsTheNewFileInPlace
