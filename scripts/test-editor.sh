#!/usr/bin/env bash
# Editor support: installs the VS Code extension's packages from its lock file,
# runs its tests (grammar, wiring, and the real `tessel --lsp` over JSON-RPC)
# and packages it as editors/vscode/build/tessel-VERSION.vsix. Needs node (20
# or later), npm and a built tessel: the first argument, or build/tessel; no
# install script of a package is needed (vsce only packages, it does not sign).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
tessel="$(realpath -m "${1:-$root/build/tessel}")"
if [ ! -x "$tessel" ]; then
    echo "test-editor: no tessel at $tessel (run make build first)" >&2
    exit 1
fi
export TESSEL_BINARY="$tessel"
cd "$root/editors/vscode"

for tool in node npm; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-editor: $tool is not installed" >&2
        exit 1
    fi
done

npm ci --no-audit --no-fund --prefer-offline --ignore-scripts
npm test
npm run package
echo "test-editor: tests passed, package in editors/vscode/build/"
