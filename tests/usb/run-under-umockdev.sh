#!/bin/sh
# Runs a test program with umockdev's preload library, which redirects its
# /sys and /dev accesses to the emulated USB bus the program sets up. The
# sanitizers' runtime cannot come first in the load order then: tell
# AddressSanitizer so rather than let it refuse to start. ThreadSanitizer
# runs, told to pass over races inside umockdev, GLib and libudev.
here=$(cd "$(dirname "$0")" && pwd)
LD_PRELOAD="libumockdev-preload.so.0${LD_PRELOAD:+:$LD_PRELOAD}"
ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
TSAN_OPTIONS="suppressions=$here/tsan-umockdev.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
export LD_PRELOAD ASAN_OPTIONS TSAN_OPTIONS
exec "$@"
