#!/bin/sh
# The program's main job on the sample downloads (see README).
set -eu
BUILD=${1:-build}
echo "The core (text operations, code pages, line reading) is built in $BUILD."
echo "The Create command and toponyx-create arrive with the pipeline."
