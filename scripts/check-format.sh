#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it.
# Usage: scripts/check-format.sh <clang-format>
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.h' '*.cpp' '*.c' | xargs -0 "${1:-clang-format}" --dry-run --Werror
