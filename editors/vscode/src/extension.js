'use strict';
// The editor side: runs `tessel --lint --format=json` on a script when it is
// opened or saved and shows what it reports (the checker's error or the
// lint's warnings) in the problems view, and runs the script in a terminal.
// Reading tessel's findings is diagnostics.js.

const vscode = require('vscode');
const { execFile } = require('child_process');
const path = require('path');
const { findingsOf, rangeFor, displayMessage } = require('./diagnostics');

const LANGUAGE = 'tessel';
const CHECK_TIMEOUT_MS = 15000;

let collection;
const generation = new Map();  // document URI -> number of its latest run, to drop stale results
let missingShown = false;      // the "executable not found" message is shown once a session

// The tessel executable for `uri`: the setting, where "${workspaceFolder}"
// stands for the folder of the workspace that holds the script, and a relative
// path such as build/tessel is taken from that folder (outside a workspace,
// from the script's folder). A bare name is looked up on the PATH.
function executable(uri) {
    const configured = vscode.workspace.getConfiguration('tessel').get('executablePath');
    let exe = configured && configured.trim() !== '' ? configured.trim() : 'tessel';
    const folder = vscode.workspace.getWorkspaceFolder(uri);
    const root = folder ? folder.uri.fsPath : path.dirname(uri.fsPath);
    exe = exe.split('${workspaceFolder}').join(root);
    if (!path.isAbsolute(exe) && /[\\/]/.test(exe)) exe = path.resolve(root, exe);
    return exe;
}

// Runs tessel with `args`; resolves to {status, output} with stdout and stderr
// together, or status null when tessel could not be started.
function runTessel(exe, args, cwd) {
    return new Promise(resolve => {
        execFile(exe, args, { cwd, encoding: 'buffer', timeout: CHECK_TIMEOUT_MS, windowsHide: true },
            (error, stdout, stderr) => {
                const output = Buffer.concat([stdout || Buffer.alloc(0), stderr || Buffer.alloc(0)]);
                if (error && typeof error.code !== 'number') {
                    resolve({ status: null, output, error });
                } else {
                    resolve({ status: error ? error.code : 0, output });
                }
            });
    });
}

function reportMissing(exe, error) {
    if (missingShown) return;
    missingShown = true;
    const why = error && error.code === 'ENOENT' ? 'was not found' : `could not be run (${error && error.message})`;
    vscode.window.showWarningMessage(
        `tessel: "${exe}" ${why}. Set "tessel.executablePath" to the tessel executable.`);
}

function toDiagnostic(d, document) {
    const lineText = d.line === null || d.line <= document.lineCount
        ? document.lineAt(d.line === null ? 0 : Math.max(d.line - 1, 0)).text
        : undefined;
    const r = rangeFor(d, lineText);
    const line = Math.min(r.line, Math.max(document.lineCount - 1, 0));
    const range = new vscode.Range(line, r.start, line, r.end);
    const severity = d.severity === 'warning' ? vscode.DiagnosticSeverity.Warning : vscode.DiagnosticSeverity.Error;
    const diagnostic = new vscode.Diagnostic(range, displayMessage(d), severity);
    diagnostic.source = d.rule ? 'tessel lint' : 'tessel';
    if (d.rule) diagnostic.code = d.rule;
    return diagnostic;
}

async function checkDocument(document) {
    if (document.languageId !== LANGUAGE || document.uri.scheme !== 'file') return;
    const key = document.uri.toString();
    const mine = (generation.get(key) || 0) + 1;
    generation.set(key, mine);

    const file = document.uri.fsPath;
    const cwd = path.dirname(file);
    const exe = executable(document.uri);
    // Run from the script's folder, as a run is, so LOADIMG paths resolve alike.
    const lint = await runTessel(exe, ['--lint', '--format=json', file], cwd);
    if (generation.get(key) !== mine) return;  // a newer run has started
    if (lint.status === null) {
        reportMissing(exe, lint.error);
        collection.delete(document.uri);
        return;
    }
    const found = findingsOf(lint);
    collection.set(document.uri, found.map(d => toDiagnostic(d, document)));
}

async function runScript() {
    const editor = vscode.window.activeTextEditor;
    if (!editor || editor.document.languageId !== LANGUAGE) {
        vscode.window.showInformationMessage('tessel: open a .tsl script to run it.');
        return;
    }
    const document = editor.document;
    if (document.isUntitled) {
        vscode.window.showInformationMessage('tessel: save the script before running it.');
        return;
    }
    if (document.isDirty && !(await document.save())) return;
    const file = document.uri.fsPath;
    // tessel itself is the terminal's process: no shell, so no quoting.
    const terminal = vscode.window.createTerminal({
        name: `tessel: ${path.basename(file)}`,
        shellPath: executable(document.uri),
        shellArgs: [file],
        cwd: path.dirname(file),
    });
    terminal.show();
}

function activate(context) {
    collection = vscode.languages.createDiagnosticCollection(LANGUAGE);
    context.subscriptions.push(
        collection,
        vscode.commands.registerCommand('tessel.runScript', runScript),
        vscode.workspace.onDidOpenTextDocument(checkDocument),
        vscode.workspace.onDidSaveTextDocument(checkDocument),
        vscode.workspace.onDidCloseTextDocument(document => {
            collection.delete(document.uri);
            generation.delete(document.uri.toString());
        }),
        vscode.workspace.onDidChangeConfiguration(event => {
            if (!event.affectsConfiguration('tessel.executablePath')) return;
            missingShown = false;
            vscode.workspace.textDocuments.forEach(checkDocument);
        }),
    );
    vscode.workspace.textDocuments.forEach(checkDocument);
}

function deactivate() {}

module.exports = { activate, deactivate };
