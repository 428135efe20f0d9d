// The language for the editor: colouring by the same word lists as the
// editors' grammar (the build takes them from it: TESSEL_WORDS), and the
// indentation of blocks.
import { HighlightStyle, StreamLanguage, syntaxHighlighting } from '@codemirror/language';
import { tags as t } from '@lezer/highlight';

/* global TESSEL_WORDS */
const WORDS = TESSEL_WORDS;
const KIND = new Map();
// (The grammar's "string" words are the string functions; the stream's own
// "string" is a string literal.)
for (const [kind, words] of Object.entries(WORDS)) {
  if (kind !== 'messages') for (const w of words) KIND.set(w, kind === 'string' ? 'stringFunction' : kind);
}
const MESSAGES = new Set(WORDS.messages);
const OPENS = new Set(['IF', 'WHILE', 'FUNC', 'WINMSG']);
const CLOSES = new Set(['ENDIF', 'WEND', 'ENDFN', 'ENDWM']);
// What the word before a name makes of it.
const NAMES = { LABEL: 'label', GOTO: 'label', FUNC: 'functionName', WINMSG: 'message' };

const parser = {
  name: 'tessel',
  startState: () => ({ depth: 0, after: null }),
  copyState: (s) => ({ ...s }),
  token(stream, state) {
    if (stream.sol()) state.after = null;
    if (stream.eatSpace()) return null;
    if (stream.peek() === "'") {
      stream.skipToEnd();
      return 'comment';
    }
    if (stream.eat('"')) {
      const closed = stream.skipTo('"');
      if (closed) stream.next();
      else stream.skipToEnd();
      return closed ? 'string' : 'invalid';
    }
    if (stream.match(/^\d+\.?\d*/)) return 'number';
    if (stream.match(/^[A-Za-z_][A-Za-z0-9_]*/)) {
      const word = stream.current().toUpperCase();
      const after = state.after;
      state.after = null;
      if (after) return after === 'message' && !MESSAGES.has(word) ? 'invalid' : after;
      const kind = KIND.get(word);
      if (!kind) return stream.match(/^\s*\(/, false) ? 'call' : 'variableName';
      if (OPENS.has(word)) ++state.depth;
      if (CLOSES.has(word)) state.depth = Math.max(0, state.depth - 1);
      state.after = NAMES[word] || null;
      return kind;
    }
    stream.next();
    return /[-+*/^=<>!&|]/.test(stream.current()) ? 'operator' : 'punctuation';
  },
  // Lines inside a block are indented one step; a line that closes a
  // block, or ELSE, stands at the level of the line that opened it.
  indent(state, textAfter, cx) {
    const word = (/^\s*([A-Za-z]+)/.exec(textAfter) || [])[1];
    const back = word && (CLOSES.has(word.toUpperCase()) || word.toUpperCase() === 'ELSE') ? 1 : 0;
    return Math.max(0, state.depth - back) * cx.unit;
  },
  languageData: {
    commentTokens: { line: "'" },
    indentOnInput: /^\s*(endif|wend|endfn|endwm|else)$/i,
    closeBrackets: { brackets: ['(', '[', '"'] },
  },
  tokenTable: {
    control: t.controlKeyword,
    storage: t.definitionKeyword,
    statement: t.keyword,
    numeric: t.standard(t.function(t.variableName)),
    stringFunction: t.standard(t.function(t.variableName)),
    call: t.function(t.variableName),
    functionName: t.function(t.definition(t.variableName)),
    label: t.labelName,
    message: t.constant(t.name),
    invalid: t.invalid,
  },
};
export const tessel = StreamLanguage.define(parser);

// Colours with a contrast of at least 4.5:1 on the editor's white.
export const tesselColours = syntaxHighlighting(HighlightStyle.define([
  { tag: t.comment, color: '#5c6370', fontStyle: 'italic' },
  { tag: t.string, color: '#0b6b1f' },
  { tag: t.number, color: '#9a4a00' },
  { tag: t.controlKeyword, color: '#8a1fa0', fontWeight: 'bold' },
  { tag: t.definitionKeyword, color: '#0b5cad', fontWeight: 'bold' },
  { tag: t.keyword, color: '#0b5cad' },
  { tag: t.standard(t.function(t.variableName)), color: '#00707a' },
  { tag: t.function(t.variableName), color: '#6a4c00' },
  { tag: t.function(t.definition(t.variableName)), color: '#6a4c00', fontWeight: 'bold' },
  { tag: t.labelName, color: '#a3223a' },
  { tag: t.constant(t.name), color: '#8a1fa0' },
  { tag: t.operator, color: '#374151' },
  { tag: t.invalid, color: '#b00020', textDecoration: 'underline wavy' },
]));
