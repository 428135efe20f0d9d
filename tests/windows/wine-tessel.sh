#!/bin/sh
# tessel.exe under wine, as a drop-in for the Linux tessel in the test
# runners: WINE and TESSEL_EXE come from scripts/test-windows.sh.
exec "$WINE" "$TESSEL_EXE" "$@"
