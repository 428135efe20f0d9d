#!/usr/bin/env bash
# Editor support: installs the VS Code extension's packages from its lock file,
# runs its tests (grammar, diagnostics reader, wiring) and packages it as
# editors/vscode/build/tessel-VERSION.vsix. Needs only node (20 or later) and npm;
# no install script of a package is needed (vsce only packages, it does not sign).
set -euo pipefail

cd "$(dirname "$0")/../editors/vscode"

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
