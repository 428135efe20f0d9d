#!/usr/bin/env bash
echo "benchmarks: none yet"
