'use strict';
// Reads what `tessel --check` and `tessel --lint` print into plain records and
// places them on source lines. No editor dependency, so the tests run it alone.
//
// --check prints each message box as
//     SCRIPT:LINE: CAPTION: TEXT          (then the source line, indented by four blanks)
//     SCRIPT: CAPTION: TEXT               (a message that belongs to no line)
// --lint prints
//     FILE:LINE:COL: warning: TEXT [rule-name]
//     FILE:LINE:COL: error: CAPTION: TEXT
// each followed by the source line and a caret line under the column, and an
// error perhaps by a line "hint: TEXT" (indented as well) naming the likely cause.
// tessel writes source text (Windows-1252) as UTF-8.

// Boxes that only say the run ended after an error already reported.
const FOLLOW_UPS = new Set(['Process Terminated!: EXIT from TOKENIZER', 'Program Exit!: END']);

const INDENT = '    ';

// Output as text: a Buffer is UTF-8; line ends may be CR LF.
function toText(output) {
    if (output == null) return '';
    const text = Buffer.isBuffer(output) ? output.toString('utf8') : String(output);
    return text.replace(/\r\n/g, '\n');
}

// The location part of a diagnostic line: {line, column, rest}, or null when
// the line is no diagnostic of `script`. Without `script`, any path is taken,
// but then only lines with a line number are recognised.
function splitHead(text, script) {
    let afterPath;
    if (script != null && script !== '') {
        if (!text.startsWith(script + ':')) return null;
        afterPath = text.slice(script.length + 1);
    } else {
        const m = /^.+?:(?=\d+:(?:\d+:)? )/.exec(text);
        if (!m) return null;
        afterPath = text.slice(m[0].length);
    }
    const m = /^(\d+):(?:(\d+):)? (.*)$/s.exec(afterPath);
    if (m) {
        return { line: Number(m[1]), column: m[2] === undefined ? null : Number(m[2]), rest: m[3] };
    }
    if (afterPath.startsWith(' ')) return { line: null, column: null, rest: afterPath.slice(1) };
    return null;
}

// Splits "CAPTION: TEXT" at the first ": " (captions such as "T:Error" hold a
// colon, but no blank after it).
function splitCaption(message) {
    const at = message.indexOf(': ');
    if (at < 0) return { caption: null, text: message };
    return { caption: message.slice(0, at), text: message.slice(at + 2) };
}

// One diagnostic record from the part after the location.
function parseBody(rest) {
    let m = /^warning: (.*?)(?: \[([A-Za-z0-9_.-]+)\])?$/s.exec(rest);
    if (m) {
        return { severity: 'warning', origin: 'lint', message: m[1], caption: null, text: m[1], rule: m[2] || null };
    }
    m = /^error: (.*)$/s.exec(rest);
    const origin = m ? 'lint' : 'check';
    const message = m ? m[1] : rest;
    const { caption, text } = splitCaption(message);
    return { severity: 'error', origin, message, caption, text, rule: null };
}

// Parses the whole output of one tessel run on `script` (the path as it was
// passed to tessel). Returns records with 1-based line and column numbers
// (null where the output gives none) and the source and caret lines echoed.
function parseOutput(output, script) {
    const lines = toText(output).split('\n');
    const found = [];
    let last = null;  // the record whose echoed lines may follow
    for (const raw of lines) {
        const head = splitHead(raw, script);
        if (head) {
            last = { line: head.line, column: head.column, ...parseBody(head.rest), sourceLine: null };
            found.push(last);
            continue;
        }
        if (last && last.line !== null && raw.startsWith(INDENT)) {
            const shown = raw.slice(INDENT.length);
            if (last.sourceLine === null) {
                last.sourceLine = shown;
            } else if (last.hint === undefined && shown.startsWith('hint: ')) {
                last.hint = shown.slice('hint: '.length);
            } else if (last.caretColumn === undefined && /^[ \t]*\^[~^]*[ \t]*$/.test(shown)) {
                last.caretColumn = shown.indexOf('^') + 1;
                if (last.column === null) last.column = last.caretColumn;
            }
            continue;
        }
        last = null;
    }
    return found.filter(d => !(d.line === null && FOLLOW_UPS.has(d.message)));
}

// Combines a --check run and a --lint run: each {status, output} (status is
// the exit status, or null when tessel could not be started). A lint run that
// ended in a usage error (status 2: a tessel without --lint) is left out. The
// lint form of a checker error replaces the same error from --check, since it
// has a column. A failed run with nothing readable in its output still gives
// one error, on the first line, with the output's first line as its text.
function collect(check, lint, script) {
    const fromCheck = runDiagnostics(check, script, 'check');
    const lintUsable = lint && lint.status !== null && lint.status !== 2;
    const fromLint = lintUsable ? runDiagnostics(lint, script, 'lint') : [];
    const key = d => `${d.line}|${d.message}`;
    const lintErrors = new Set(fromLint.filter(d => d.severity === 'error').map(key));
    return [...fromCheck.filter(d => !lintErrors.has(key(d))), ...fromLint];
}

function runDiagnostics(run, script, origin) {
    if (!run || run.status === null) return [];
    const found = parseOutput(run.output, script);
    if (found.length > 0 || run.status === 0) return found;
    const first = toText(run.output).split('\n').find(l => l.trim() !== '');
    const message = first ? first.trim() : `tessel --${origin} ended with status ${run.status}`;
    return [{ line: null, column: null, severity: 'error', origin, message, caption: null, text: message, rule: null, sourceLine: null }];
}

// The text an editor shows for a record: its message, and the hint on a line
// of its own when there is one.
function displayMessage(d) {
    return d.hint ? `${d.message}\nhint: ${d.hint}` : d.message;
}

// The name or character a checker text quotes: "-{ y }-", "label :top -Line",
// "[ é ]". Null when it quotes none.
function quotedToken(text) {
    let m = /-\{ (.*?) \}-/.exec(text);
    if (m) return m[1];
    m = /label :(\S+) -Line/.exec(text);
    if (m) return m[1];
    m = /-\[ (.) \]/.exec(text);
    if (m) return m[1];
    return null;
}

const isNameChar = c => /[A-Za-z0-9_]/.test(c);

// The end (exclusive) of the token that starts at `start` in `lineText`.
function tokenEnd(lineText, start) {
    const c = lineText[start];
    if (c === undefined) return start;
    let end = start + 1;
    if (/[A-Za-z_]/.test(c)) {
        while (end < lineText.length && isNameChar(lineText[end])) end++;
    } else if (/[0-9]/.test(c)) {
        while (end < lineText.length && /[0-9.]/.test(lineText[end])) end++;
    } else if (c === '"') {
        const close = lineText.indexOf('"', end);
        end = close < 0 ? lineText.length : close + 1;
    }
    return end;
}

// Where `token` stands in `lineText` as a token of its own, outside strings
// and comments (names match without regard to case, as the checker does), or -1.
function findToken(lineText, token) {
    const needle = token.toLowerCase();
    for (let at = 0; at < lineText.length;) {
        const c = lineText[at];
        if (c === "'") return -1;
        const end = tokenEnd(lineText, at);
        if (c !== '"' && lineText.slice(at, end).toLowerCase() === needle) return at;
        at = end;
    }
    return -1;
}

// Where the statements of `lineText` end: at its comment, or its end.
function codeEnd(lineText) {
    for (let at = 0; at < lineText.length; at = tokenEnd(lineText, at)) {
        if (lineText[at] === "'") return at;
    }
    return lineText.length;
}

// The 0-based line and column span a record covers in a document whose line
// is `lineText` (undefined when the document has no such line). A record with
// a column covers the token there; without one, the token its text quotes, or
// else the line from its first non-blank character to its comment or end. A record with
// no line goes on the first line.
function rangeFor(d, lineText) {
    const line = d.line === null ? 0 : Math.max(d.line - 1, 0);
    const text = lineText === undefined ? '' : lineText;
    if (d.column !== null) {
        const start = Math.min(d.column - 1, text.length);
        return { line, start, end: Math.max(tokenEnd(text, start), start) };
    }
    const token = d.line === null ? null : quotedToken(d.text);
    if (token) {
        const at = findToken(text, token);
        if (at >= 0) return { line, start: at, end: at + token.length };
    }
    const code = text.slice(0, codeEnd(text));
    const start = code.length - code.trimStart().length;
    const end = code.trimEnd().length;
    return { line, start: Math.min(start, end), end };
}

module.exports = { parseOutput, collect, rangeFor, quotedToken, toText, displayMessage };
