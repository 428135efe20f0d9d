#!/usr/bin/env bash
# Real-window tests under Xvfb: filled in with the window backend.
echo "window tests: none yet"
