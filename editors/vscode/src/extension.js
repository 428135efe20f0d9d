'use strict';
// The editor side: a client of `tessel --lsp`, the language server inside
// tessel itself, for every tessel script (diagnostics as you type,
// completion, hover, definitions, references, outline, folding, rename,
// semantic colours, formatting), a command that runs the script in a
// terminal, and the debugger: `tessel --dap`, the debug adapter inside
// tessel itself, for F5 on a script with or without a launch.json. The
// colouring grammar stays in syntaxes/ for a first paint.

const vscode = require('vscode');
const fs = require('fs');
const path = require('path');
const { LanguageClient } = require('vscode-languageclient/node');

const LANGUAGE = 'tessel';

let client;
let missingShown = false;  // the "executable not found" message is shown once a session

// The executable when none is set: `tessel` on the PATH. On Windows, where
// the installer leaves the PATH alone, tessel.exe on the PATH, else the
// installed one (Program Files\tessel, or the user's own Programs folder).
function defaultExecutable(platform = process.platform, env = process.env) {
    if (platform !== 'win32') return 'tessel';
    const dirs = (env.PATH || env.Path || '').split(';').filter(Boolean);
    if (dirs.some((dir) => fs.existsSync(path.join(dir, 'tessel.exe')))) return 'tessel.exe';
    const bases = [env.ProgramW6432, env.ProgramFiles, env.LOCALAPPDATA && path.join(env.LOCALAPPDATA, 'Programs')];
    for (const base of bases.filter(Boolean)) {
        const installed = path.join(base, 'tessel', 'tessel.exe');
        if (fs.existsSync(installed)) return installed;
    }
    return 'tessel.exe';
}

// The tessel executable for `uri` (or, without one, for the first workspace
// folder): the setting, where "${workspaceFolder}" stands for the folder of
// the workspace, and a relative path such as build/tessel is taken from that
// folder (outside a workspace, from the script's folder). A bare name is
// looked up on the PATH. Left empty or at its default ("tessel"),
// defaultExecutable's.
function executable(uri) {
    const configured = (vscode.workspace.getConfiguration('tessel').get('executablePath') || '').trim();
    let exe = configured !== '' && configured !== 'tessel' ? configured : defaultExecutable();
    const folder = uri ? vscode.workspace.getWorkspaceFolder(uri) : (vscode.workspace.workspaceFolders || [])[0];
    const root = folder ? folder.uri.fsPath : uri ? path.dirname(uri.fsPath) : process.cwd();
    exe = exe.split('${workspaceFolder}').join(root);
    if (!path.isAbsolute(exe) && /[\\/]/.test(exe)) exe = path.resolve(root, exe);
    return exe;
}

function reportMissing(exe, error) {
    if (missingShown) return;
    missingShown = true;
    const why = error && error.code === 'ENOENT' ? 'was not found' : `could not be run (${error && error.message})`;
    vscode.window.showWarningMessage(
        `tessel: "${exe}" ${why}. Set "tessel.executablePath" to the tessel executable.`);
}

// Starts the language server for the tessel of the current settings.
async function startClient() {
    const exe = executable(undefined);
    const serverOptions = { command: exe, args: ['--lsp'] };
    const clientOptions = { documentSelector: [{ language: LANGUAGE }] };
    client = new LanguageClient(LANGUAGE, 'tessel', serverOptions, clientOptions);
    try {
        await client.start();
    } catch (error) {
        reportMissing(exe, error);
    }
}

async function stopClient() {
    const running = client;
    client = undefined;
    if (!running) return;
    try {
        await running.stop();
    } catch {
        // (A server that never started has nothing to stop.)
    }
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

// F5 without a launch.json debugs the script in the editor; a launch
// configuration without a program debugs it too.
const debugConfigurations = {
    resolveDebugConfiguration(folder, config) {
        if (!config.type && !config.request && !config.name) {
            const editor = vscode.window.activeTextEditor;
            if (!editor || editor.document.languageId !== LANGUAGE) return config;
            config = { type: LANGUAGE, request: 'launch', name: 'Debug the script', program: '${file}' };
        }
        if (!config.program) config.program = '${file}';
        return config;
    },
};

// The adapter is tessel itself, found as for the language server.
const debugAdapters = {
    createDebugAdapterDescriptor(session) {
        const program = session.configuration && session.configuration.program;
        const uri = program ? vscode.Uri.file(program) : undefined;
        return new vscode.DebugAdapterExecutable(executable(uri), ['--dap']);
    },
};

async function debugScript() {
    const editor = vscode.window.activeTextEditor;
    if (!editor || editor.document.languageId !== LANGUAGE) {
        vscode.window.showInformationMessage('tessel: open a .tsl script to debug it.');
        return;
    }
    if (editor.document.isDirty && !(await editor.document.save())) return;
    await vscode.debug.startDebugging(vscode.workspace.getWorkspaceFolder(editor.document.uri), {
        type: LANGUAGE, request: 'launch', name: 'Debug the script', program: editor.document.uri.fsPath,
    });
}

function activate(context) {
    context.subscriptions.push(
        vscode.commands.registerCommand('tessel.runScript', runScript),
        vscode.commands.registerCommand('tessel.debugScript', debugScript),
        vscode.debug.registerDebugConfigurationProvider(LANGUAGE, debugConfigurations),
        vscode.debug.registerDebugAdapterDescriptorFactory(LANGUAGE, debugAdapters),
        vscode.workspace.onDidChangeConfiguration(async event => {
            if (!event.affectsConfiguration('tessel.executablePath')) return;
            missingShown = false;
            await stopClient();
            await startClient();
        }),
        { dispose: stopClient },
    );
    return startClient();
}

function deactivate() {
    return stopClient();
}

module.exports = { activate, deactivate, executable, defaultExecutable, debugConfigurations, debugAdapters };
