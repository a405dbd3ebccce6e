#!/bin/sh
# Runs a Windows program under wine64 without a display and without Wine's
# own messages, handing back its exit status (the tests' emulator).
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
exec /usr/lib/wine/wine64 "$@"
