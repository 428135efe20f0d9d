'use strict';
// Reads what `tessel --lint --format=json` writes into plain records and
// places them on source lines. No editor dependency, so the tests run it alone.
//
// tessel writes one JSON object a line for each finding:
//   {"file", "line", "column", "endLine", "endColumn", "severity", "caption",
//    "text", "rule", "hint"}
// with 1-based lines and columns (a column counts bytes of the script, one
// character each as an editor shows Windows-1252), the end column just past
// the last byte, and line 0 for a finding that concerns no place (a script
// that cannot be read). The lint reports the lexer's or the checker's first
// error in the same form, with its place and a hint, so one run gives
// everything.

// Output as text: a Buffer is UTF-8; line ends may be CR LF.
function toText(output) {
    if (output == null) return '';
    const text = Buffer.isBuffer(output) ? output.toString('utf8') : String(output);
    return text.replace(/\r\n/g, '\n');
}

// One record from a finding object, or null when the object is none.
function record(f) {
    if (f === null || typeof f !== 'object' || typeof f.text !== 'string') return null;
    const place = Number.isInteger(f.line) && f.line > 0;
    return {
        line: place ? f.line : null,
        column: place && Number.isInteger(f.column) && f.column > 0 ? f.column : null,
        endColumn: place && Number.isInteger(f.endColumn) && f.endColumn > 0 ? f.endColumn : null,
        severity: f.severity === 'warning' ? 'warning' : 'error',
        caption: f.caption || null,
        text: f.text,
        rule: f.rule || null,
        hint: f.hint || null,
        message: f.caption ? `${f.caption}: ${f.text}` : f.text,
    };
}

// The findings in the output of one run: every line that is a JSON object
// (anything else, such as a message of the shell, is passed over).
function parseFindings(output) {
    const found = [];
    for (const line of toText(output).split('\n')) {
        if (!line.startsWith('{')) continue;
        let f;
        try {
            f = JSON.parse(line);
        } catch {
            continue;
        }
        const r = record(f);
        if (r) found.push(r);
    }
    return found;
}

// The records of a run {status, output} (status is the exit status, or null
// when tessel could not be started). A failed run with nothing readable in
// its output (a tessel too old for --format=json, a crash) still gives one
// error, on the first line, with the output's first line as its text.
function findingsOf(run) {
    if (!run || run.status === null) return [];
    const found = parseFindings(run.output);
    if (found.length > 0 || run.status === 0) return found;
    const first = toText(run.output).split('\n').find(l => l.trim() !== '');
    const text = first ? first.trim() : `tessel --lint ended with status ${run.status}`;
    return [record({ line: 0, severity: 'error', text })];
}

// The text an editor shows for a record: its message, and the hint on a line
// of its own when there is one.
function displayMessage(d) {
    return d.hint ? `${d.message}\nhint: ${d.hint}` : d.message;
}

// Where the statements of `lineText` end: at its comment (an apostrophe
// outside a string), or its end.
function codeEnd(lineText) {
    let inString = false;
    for (let at = 0; at < lineText.length; at++) {
        if (lineText[at] === '"') inString = !inString;
        else if (lineText[at] === "'" && !inString) return at;
    }
    return lineText.length;
}

// The 0-based line and column span a record covers in a document whose line
// is `lineText` (undefined when the document has no such line): the bytes
// tessel names, kept within the line. A record with no place goes on the
// first line, from its first non-blank character to its comment or end.
function rangeFor(d, lineText) {
    const text = lineText === undefined ? '' : lineText;
    if (d.line === null || d.column === null) {
        const code = text.slice(0, codeEnd(text));
        const start = code.length - code.trimStart().length;
        const end = code.trimEnd().length;
        return { line: d.line === null ? 0 : d.line - 1, start: Math.min(start, end), end };
    }
    const start = Math.min(d.column - 1, text.length);
    const end = Math.min(Math.max((d.endColumn || d.column + 1) - 1, start), text.length);
    return { line: d.line - 1, start, end };
}

module.exports = { parseFindings, findingsOf, rangeFor, toText, displayMessage };
