#!/bin/sh
# Runs a Windows program of this build under Wine, for ctest and the tools:
# the wine command is the one the WINE environment variable names when the
# program runs (default wine).
exec "${WINE:-wine}" "$@"
