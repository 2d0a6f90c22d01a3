#!/usr/bin/env bash
# Runs setup_full_disk_tests with a small RAM-backed drive mapped as Q: into a Wine prefix of its own.
# Mounting needs root rights; where the mount is refused, the test is skipped (exit status 77).
#   setup_full_disk_test.sh WINE_RUN KIND PREFIX TEST_PROGRAM
set -u
wine_run=$1 kind=$2 prefix=$(realpath -m "$3") program=$4
drive="$prefix-drive"
mkdir -p "$drive"
if ! mount -t tmpfs -o size=3m,mode=0755 setup-full-disk "$drive" 2>/dev/null; then
  echo "setup_full_disk_test: a RAM-backed drive cannot be mounted here (root rights needed): skipped"
  exit 77
fi
finish() {
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null
  umount "$drive"
}
trap finish EXIT
"$wine_run" "$kind" "$prefix" "$program" --gtest_list_tests >/dev/null || exit 1  # makes the prefix
ln -sfn "$drive" "$prefix/dosdevices/q:"
SETUP_FULL_DISK_DRIVE='Q:' "$wine_run" "$kind" "$prefix" "$program" --gtest_brief=1
