#!/bin/sh
# The long crash run: 200 kills of a process driving the store (the test
# command runs 20). Build first: cmake --build build --target crashtest
# Extra arguments go to crashtest (--seed N to repeat a run).
set -e
cd "$(dirname "$0")/.."
exec build/crashtest 200 "$@"
