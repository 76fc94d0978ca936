#!/bin/sh
# The long crash runs: 200 kills of a process driving the store, then 200
# power cuts (the test command runs 20 of each). Build first:
# cmake --build build --target crashtest
# Extra arguments go to both runs (--seed N to repeat a run).
set -e
cd "$(dirname "$0")/.."
build/crashtest 200 "$@"
exec build/crashtest 200 --power-loss "$@"
