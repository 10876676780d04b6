#!/bin/bash
# Idle benchmark: bash bench/idle.sh
MODE=idle exec bash "$(dirname "$0")/startup.sh" "$@"
