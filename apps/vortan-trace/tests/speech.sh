#!/usr/bin/env bash
# The speech scenario's trace must match its golden file line for line.
source "$(dirname "$0")/lib/golden.sh"
check_scenario "$1" "$2" speech
