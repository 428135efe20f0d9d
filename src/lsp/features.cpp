#include "lsp/features.h"

#include <algorithm>
#include <set>

#include "base/cp1252.h"
#include "checker/keywords.h"
#include "checker/name_index.h"
#include "lexer/tokenizer.h"
#include "lsp/keyword_docs.h"

namespace tessel {

namespace {

// The protocol's numbers for the kinds used here.
enum : int {
    COMPLETION_FUNCTION = 3,
    COMPLETION_VARIABLE = 6,
    COMPLETION_KEYWORD = 14,
    COMPLETION_REFERENCE = 18,
    COMPLETION_EVENT = 23,
    SYMBOL_FUNCTION = 12,
    SYMBOL_KEY = 20,
    SYMBOL_EVENT = 24,
    SEVERITY_ERROR = 1,
    SEVERITY_WARNING = 2,
};

const char* const kMessageNames[] = {"WMMOUSEMOVE", "WMLBUTTONDOWN", "WMRBUTTONDOWN", "WMKEYDOWN",
                                     "WMKEYUP",     "WMTIMER",       "WMCOMMAND"};

class Silent final : public Reporter {
   public:
    void diagnostic(std::string_view, std::string_view, const DiagnosticPlace&) override {}
    void countReport(std::string_view) override {}
};

Json markdown(std::string text) {
    return Json::object({{"kind", "markdown"}, {"value", std::move(text)}});
}

std::string codeBlock(std::string_view code) {
    return "```tessel\n" + std::string(code) + "\n```";
}

// A keyword's or message's documentation as Markdown: its form, then its
// description.
std::string keywordMarkdown(const KeywordDoc& d) {
    return codeBlock(d.form) + "\n\n" + std::string(d.description);
}

bool isWordByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= '0' && c <= '9');
}

// Whether token i is a keyword as written (the classes of "^", "`" and "~"
// share the codes of STR, VAR and PTR).
bool isKeywordToken(const ScriptModel& m, int32_t i) {
    const std::string_view t = m.text(i);
    return !t.empty() && isWordByte(t[0]) && keywordRole(m.cls(i)).has_value() && keywordCodeAnyCase(t) != 0;
}

std::string_view typeKeyword(int32_t type) {
    return type == TYPE_STR ? "STR" : type == TYPE_PTR ? "PTR" : "VAR";
}
std::string_view typeName(int32_t type) {
    return type == TYPE_STR ? "string" : type == TYPE_PTR ? "pointer" : "number";
}

int32_t lineOf(const ScriptModel& m, int32_t token) {
    return m.map().toEditor(m.tokens().offsetAt(token)).line;
}

// What a name stands for, told in a hover or a completion's detail.
std::string describe(const ScriptModel& m, const SymbolRef& s, bool withPlace) {
    const int32_t def = m.definitionOf(s);
    const std::string name = def ? std::string(m.text(def)) : s.folded;
    const std::string where = def && withPlace ? " on line " + std::to_string(lineOf(m, def) + 1) : "";
    const CheckerState& st = m.symbols();
    switch (s.kind) {
        case SymbolKind::Variable: {
            if (!def) return "`" + name + "`: no declaration";
            const int32_t type = st.vars[static_cast<size_t>(st.varAt(def))].type;
            return codeBlock(std::string(typeKeyword(type)) + " " + name) + "\n\n" + std::string(typeName(type)) +
                   " variable" + (withPlace ? ", declared" + where : "");
        }
        case SymbolKind::Array: {
            if (!def) return "`" + name + "[]`: no declaration";
            const ArrayInfo& a = st.arrays[static_cast<size_t>(st.arrayAt(def))];
            return codeBlock(std::string(typeKeyword(a.type)) + " " + name + "[" + std::to_string(a.declaredSize) +
                             "]") +
                   "\n\n" + std::string(typeName(a.type)) + " array of declared size " +
                   std::to_string(a.declaredSize) + ": " + std::to_string(a.elements) + " elements, indexes 0 to " +
                   std::to_string(a.elements - 1) + (withPlace ? "; declared" + where : "");
        }
        case SymbolKind::Function:
            if (!def) return "`" + name + "()`: no FUNC of that name";
            return codeBlock("FUNC " + name + "()") + "\n\nfunction" + (withPlace ? ", defined" + where : "");
        case SymbolKind::Label:
            if (!def) return "`" + name + "`: no LABEL of that name";
            return codeBlock("LABEL " + name) + "\n\nlabel" + where;
        case SymbolKind::Message: break;
    }
    const KeywordDoc* d = keywordDoc(s.folded);
    return d ? keywordMarkdown(*d) : "`" + name + "`: not a message WINMSG handles";
}

// ---------------------------------------------------------------------------
// Completion

enum class Expecting { Nothing, Statement, Expression, Message, Label };

struct CompletionContext {
    Expecting what = Expecting::Nothing;
    std::string prefix;   // the part of a word before the cursor
    bool inFor = false;   // TO and STEP can follow
};

// Reads the line up to the cursor with the engine's own tokenizer and looks
// at the tokens before the word being written.
CompletionContext contextAt(const ScriptModel& m, EditorPosition p) {
    CompletionContext c;
    if (p.line < 0 || p.line >= m.map().lineCount()) return c;
    const uint32_t start = m.map().lineStart(p.line), at = m.offsetOf(p);
    TokenStore line;
    LexState lex;
    Silent silent;
    tokenize(std::string(m.bytes().substr(start, at - start)) + "\n", line, lex, silent);
    int32_t n = line.appended();
    line.count = n;
    if (lex.errorCode == 2) return c;  // inside a string literal
    if (n > 0 && line.classAt(n) == CLS_EOL) {
        if (line.source()[line.offsetAt(n)] == '\'') return c;  // inside a comment
        --n;
    }
    const uint32_t end = at - start;
    if (n > 0 && line.classAt(n) == CLS_NAME && line.offsetAt(n) + line.textAt(n).size() == end) {
        c.prefix = line.textAt(n);
        --n;
    } else if (n > 0 && line.classAt(n) == CLS_NUM && line.offsetAt(n) + line.textAt(n).size() == end) {
        return c;  // a number being written
    }
    // The statement the cursor stands in starts after the last ':' or ELSE.
    int32_t first = 1;
    for (int32_t i = n; i >= 1; --i) {
        if (line.classAt(i) == CLS_COLON || keywordCodeAnyCase(line.textAt(i)) == KW_ELSE) {
            first = i + 1;
            break;
        }
    }
    if (n < first) {
        c.what = Expecting::Statement;
        return c;
    }
    const int32_t previous = keywordCodeAnyCase(line.textAt(n));
    const int32_t opening = keywordCodeAnyCase(line.textAt(first));
    if (previous == KW_WINMSG) c.what = Expecting::Message;
    else if (previous == KW_GOTO) c.what = Expecting::Label;
    else if (previous == KW_LABEL || previous == KW_FUNC || isDeclaringClass(opening)) c.what = Expecting::Nothing;
    else c.what = Expecting::Expression;
    c.inFor = opening == KW_FOR;
    return c;
}

bool startsWithFolded(std::string_view word, std::string_view prefix) {
    return word.size() >= prefix.size() && equalFolded(word.substr(0, prefix.size()), prefix);
}

struct CompletionList {
    std::string_view prefix;
    Json items = Json::array();

    void add(std::string_view label, int kind, std::string detail, std::string doc, std::string insert = {}) {
        if (!startsWithFolded(label, prefix)) return;
        Json item = Json::object({{"label", label}, {"kind", kind}});
        if (!detail.empty()) item.set("detail", std::move(detail));
        if (!doc.empty()) item.set("documentation", markdown(std::move(doc)));
        if (!insert.empty()) item.set("insertText", std::move(insert));
        items.push(std::move(item));
    }
    void addKeyword(const KeywordInfo& k) {
        const KeywordDoc* d = keywordDoc(k.spelling);
        const bool function = k.role == KeywordRole::NUMFN || k.role == KeywordRole::STRFN;
        add(k.spelling, function ? COMPLETION_FUNCTION : COMPLETION_KEYWORD, d ? std::string(d->form) : "",
            d ? std::string(d->description) : "");
    }
};

// The script's own names of `kind`, each once, as its first definition spells it.
void addNames(const ScriptModel& m, CompletionList& list, SymbolKind kind) {
    std::set<std::string> seen;
    for (const NameOccurrence& n : m.names()) {
        if (n.kind != kind || !n.declares) continue;
        const SymbolRef s = m.symbolOf(n);
        if (!seen.insert(s.folded).second) continue;
        const std::string_view name = m.text(m.definitionOf(s));
        const int itemKind = kind == SymbolKind::Function ? COMPLETION_FUNCTION
                             : kind == SymbolKind::Label  ? COMPLETION_REFERENCE
                                                          : COMPLETION_VARIABLE;
        std::string insert = kind == SymbolKind::Function ? std::string(name) + "()" : "";
        std::string detail = kind == SymbolKind::Function ? "function"
                             : kind == SymbolKind::Label  ? "label"
                             : kind == SymbolKind::Array  ? "array"
                                                          : "variable";
        list.add(name, itemKind, std::move(detail), describe(m, s, true), std::move(insert));
    }
}

}  // namespace

Json toJson(EditorPosition p) {
    return Json::object({{"line", p.line}, {"character", p.character}});
}

Json toJson(const EditorRange& r) {
    return Json::object({{"start", toJson(r.start)}, {"end", toJson(r.end)}});
}

Json diagnosticsOf(const ScriptModel& m) {
    Json out = Json::array();
    for (const Finding& f : m.findings()) {
        std::string message = f.caption.empty() ? f.text : f.caption + ": " + f.text;
        if (!f.hint.empty()) message += "\nhint: " + f.hint;
        Json d = Json::object({{"range", toJson(m.rangeOf(f.at))},
                               {"severity", f.severity == Severity::Warning ? SEVERITY_WARNING : SEVERITY_ERROR},
                               {"source", "tessel"},
                               {"message", windows1252ToUtf8(message)}});
        if (!f.rule.empty()) d.set("code", f.rule);
        out.push(std::move(d));
    }
    return out;
}

Json completionAt(const ScriptModel& m, EditorPosition p) {
    const CompletionContext c = contextAt(m, p);
    CompletionList list{c.prefix};
    switch (c.what) {
        case Expecting::Nothing: break;
        case Expecting::Message:
            for (const char* name : kMessageNames) {
                const KeywordDoc* d = keywordDoc(name);
                list.add(name, COMPLETION_EVENT, "message", d ? std::string(d->description) : "");
            }
            break;
        case Expecting::Label: addNames(m, list, SymbolKind::Label); break;
        case Expecting::Statement:
        case Expecting::Expression:
            for (const KeywordInfo& k : kKeywords) {
                const bool function = k.role == KeywordRole::NUMFN || k.role == KeywordRole::STRFN;
                const bool inFor = (k.code == KW_TO || k.code == KW_STEP) && c.inFor;
                if (function == (c.what == Expecting::Expression) || inFor) list.addKeyword(k);
            }
            addNames(m, list, SymbolKind::Variable);
            addNames(m, list, SymbolKind::Array);
            addNames(m, list, SymbolKind::Function);
            break;
    }
    return list.items;
}

Json hoverAt(const ScriptModel& m, EditorPosition p) {
    const int32_t token = m.tokenAt(m.offsetOf(p));
    if (token == 0) return Json();
    std::string text;
    if (const NameOccurrence* n = m.nameAt(token)) {
        text = describe(m, m.symbolOf(*n), true);
    } else if (isKeywordToken(m, token)) {
        if (const KeywordDoc* d = keywordDoc(m.text(token))) text = keywordMarkdown(*d);
    }
    if (text.empty()) return Json();
    return Json::object({{"contents", markdown(std::move(text))}, {"range", toJson(m.rangeOfToken(token))}});
}

std::optional<EditorRange> definitionAt(const ScriptModel& m, EditorPosition p) {
    const NameOccurrence* n = m.nameAt(m.tokenAt(m.offsetOf(p)));
    if (!n) return std::nullopt;
    const int32_t def = m.definitionOf(m.symbolOf(*n));
    if (def == 0) return std::nullopt;
    return m.rangeOfToken(def);
}

Json referencesAt(const ScriptModel& m, EditorPosition p, bool withDeclarations) {
    Json out = Json::array();
    const NameOccurrence* n = m.nameAt(m.tokenAt(m.offsetOf(p)));
    if (!n || n->kind == SymbolKind::Message) return out;
    for (const NameOccurrence* o : m.occurrences(m.symbolOf(*n)))
        if (withDeclarations || !o->declares) out.push(toJson(m.rangeOfToken(o->token)));
    return out;
}

Json documentSymbols(const ScriptModel& m) {
    struct Entry {
        int32_t from, to;  // tokens the symbol's range covers
        Json symbol;
    };
    std::vector<Entry> blocks;
    auto symbol = [&](std::string name, int kind, int32_t from, int32_t to, int32_t nameToken) {
        const EditorRange whole{m.rangeOfToken(from).start, m.rangeOfToken(to).end};
        return Json::object({{"name", std::move(name)},
                             {"kind", kind},
                             {"range", toJson(whole)},
                             {"selectionRange", toJson(m.rangeOfToken(nameToken))},
                             {"children", Json::array()}});
    };
    for (const Block& b : m.blocks()) {
        const int32_t name = b.open + 1;
        if (m.cls(name) != CLS_NAME) continue;
        if (m.cls(b.open) == KW_FUNC)
            blocks.push_back({b.open, b.close, symbol(std::string(m.text(name)), SYMBOL_FUNCTION, b.open, b.close, name)});
        else if (m.cls(b.open) == KW_WINMSG)
            blocks.push_back({b.open, b.close,
                              symbol("WINMSG " + upperAscii(m.text(name)), SYMBOL_EVENT, b.open, b.close, name)});
    }
    // Each label goes into the innermost block that holds it.
    Json top = Json::array();
    std::vector<Json::Array> children(blocks.size());
    for (int32_t i = 1; i < m.count(); ++i) {
        if (m.cls(i) != KW_LABEL || m.cls(i + 1) != CLS_NAME) continue;
        Json label = symbol(std::string(m.text(i + 1)), SYMBOL_KEY, i, i + 1, i + 1);
        size_t holder = blocks.size();
        for (size_t k = 0; k < blocks.size() && blocks[k].from < i; ++k)
            if (i < blocks[k].to) holder = k;
        if (holder < blocks.size()) children[holder].push_back(std::move(label));
        else top.push(std::move(label));
    }
    for (size_t k = 0; k < blocks.size(); ++k) blocks[k].symbol.set("children", Json(std::move(children[k])));
    // Blocks and the labels outside them, in the order of the script.
    Json out = Json::array();
    size_t next = 0;
    for (const Json& label : top.items()) {
        const int64_t line = label["range"]["start"]["line"].asInt();
        while (next < blocks.size() && blocks[next].symbol["range"]["start"]["line"].asInt() <= line)
            out.push(std::move(blocks[next++].symbol));
        out.push(label);
    }
    while (next < blocks.size()) out.push(std::move(blocks[next++].symbol));
    return out;
}

Json foldingRanges(const ScriptModel& m) {
    Json out = Json::array();
    for (const Block& b : m.blocks()) {
        const int32_t from = lineOf(m, b.open), to = lineOf(m, b.close) - 1;
        if (to > from) out.push(Json::object({{"startLine", from}, {"endLine", to}}));
    }
    return out;
}

// ---------------------------------------------------------------------------
// Semantic tokens

namespace {

enum TokenType : int {
    TT_KEYWORD,
    TT_FUNCTION,
    TT_VARIABLE,
    TT_LABEL,
    TT_EVENT,
    TT_COMMENT,
    TT_STRING,
    TT_NUMBER,
    TT_OPERATOR,
};
enum TokenModifier : int { TM_DECLARATION = 1, TM_DEFAULT_LIBRARY = 2 };

// The type and modifiers of token i, or -1 for a token shown plain.
std::pair<int, int> semanticType(const ScriptModel& m, int32_t i) {
    if (const NameOccurrence* n = m.nameAt(i)) {
        const int modifiers = n->declares ? TM_DECLARATION : 0;
        switch (n->kind) {
            case SymbolKind::Function: return {TT_FUNCTION, modifiers};
            case SymbolKind::Label: return {TT_LABEL, modifiers};
            case SymbolKind::Message: return {TT_EVENT, 0};
            default: return {TT_VARIABLE, modifiers};
        }
    }
    const int32_t c = m.cls(i);
    if (isKeywordToken(m, i)) {
        const bool function = isNumericFunction(c) || isStringFunction(c);
        return function ? std::pair{TT_FUNCTION, TM_DEFAULT_LIBRARY} : std::pair{TT_KEYWORD, 0};
    }
    switch (c) {
        case CLS_NUM: return {TT_NUMBER, 0};
        case CLS_QSTR: return {TT_STRING, 0};
        case CLS_EOL: return {m.bytes()[m.tokens().offsetAt(i)] == '\'' ? TT_COMMENT : -1, 0};
        case CLS_PLUS: case CLS_MINUS: case CLS_STAR: case CLS_SLASH: case CLS_EQ: case CLS_GT:
        case CLS_LT: case CLS_AMP: case CLS_BAR: case CLS_BANG: case CLS_PCT: case CLS_CARET:
            return {TT_OPERATOR, 0};
        default: return {-1, 0};
    }
}

}  // namespace

Json semanticTokensLegend() {
    Json types = Json::array({"keyword", "function", "variable", "label", "event", "comment", "string", "number",
                              "operator"});
    Json modifiers = Json::array({"declaration", "defaultLibrary"});
    return Json::object({{"tokenTypes", std::move(types)}, {"tokenModifiers", std::move(modifiers)}});
}

Json semanticTokens(const ScriptModel& m) {
    Json data = Json::array();
    EditorPosition last;
    for (int32_t i = 1; i <= m.count(); ++i) {
        const auto [type, modifiers] = semanticType(m, i);
        if (type < 0) continue;
        const EditorRange r = m.rangeOfToken(i);
        const int32_t length = r.end.character - r.start.character;
        if (r.end.line != r.start.line || length <= 0) continue;
        data.push(r.start.line - last.line);
        data.push(r.start.line == last.line ? r.start.character - last.character : r.start.character);
        data.push(length);
        data.push(type);
        data.push(modifiers);
        last = r.start;
    }
    return Json::object({{"data", std::move(data)}});
}

// ---------------------------------------------------------------------------
// Formatting

Json formattingEdits(const ScriptModel& m, int tabSize, bool insertSpaces) {
    const PositionMap& map = m.map();
    const std::string& bytes = m.bytes();
    const std::string unit = insertSpaces ? std::string(static_cast<size_t>(std::clamp(tabSize, 1, 16)), ' ') : "\t";
    // Per line: the depth change after it, and whether it starts with a
    // block's end or an ELSE (which stand one level out).
    std::vector<int> change(static_cast<size_t>(map.lineCount()), 0);
    std::vector<bool> outdented(static_cast<size_t>(map.lineCount()), false);
    std::vector<bool> lineHasTokens(static_cast<size_t>(map.lineCount()), false);
    for (int32_t i = 1; i <= m.count(); ++i) {
        const int32_t c = m.cls(i);
        const size_t line = static_cast<size_t>(lineOf(m, i));
        const bool first = !lineHasTokens[line];
        lineHasTokens[line] = true;
        if (!startsStatement(m.tokens(), i) || !isKeywordToken(m, i)) continue;
        const bool opens = c == KW_IF || c == KW_WHILE || c == KW_FUNC || c == KW_WINMSG;
        const bool closes = c == KW_ENDIF || c == KW_WEND || c == KW_ENDFN || c == KW_ENDWM;
        change[line] += opens ? 1 : closes ? -1 : 0;
        if (first && (closes || c == KW_ELSE)) outdented[line] = true;
    }
    Json edits = Json::array();
    int depth = 0;
    for (int32_t line = 0; line < map.lineCount(); ++line) {
        const size_t l = static_cast<size_t>(line);
        const uint32_t start = map.lineStart(line), end = map.lineEnd(line);
        uint32_t text = start;
        while (text < end && (bytes[text] == ' ' || bytes[text] == '\t')) ++text;
        if (text < end && lineHasTokens[l]) {
            const int want = std::max(0, depth - (outdented[l] ? 1 : 0));
            std::string indent;
            for (int k = 0; k < want; ++k) indent += unit;
            if (bytes.compare(start, text - start, indent) != 0) {
                const EditorRange r{{line, 0}, {line, static_cast<int32_t>(text - start)}};
                edits.push(Json::object({{"range", toJson(r)}, {"newText", indent}}));
            }
        }
        depth = std::max(0, depth + change[l]);
    }
    return edits;
}

// ---------------------------------------------------------------------------
// Rename

namespace {

const NameOccurrence* renamable(const ScriptModel& m, EditorPosition p) {
    const NameOccurrence* n = m.nameAt(m.tokenAt(m.offsetOf(p)));
    return n && n->kind != SymbolKind::Message ? n : nullptr;
}

std::string_view kindName(SymbolKind k) {
    switch (k) {
        case SymbolKind::Variable: return "variable";
        case SymbolKind::Array: return "array";
        case SymbolKind::Function: return "function";
        case SymbolKind::Label: return "label";
        case SymbolKind::Message: break;
    }
    return "message";
}

bool validName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    return std::all_of(name.begin(), name.end(), isWordByte);
}

}  // namespace

Json prepareRenameAt(const ScriptModel& m, EditorPosition p) {
    const NameOccurrence* n = renamable(m, p);
    if (!n) return Json();
    return Json::object({{"range", toJson(m.rangeOfToken(n->token))}, {"placeholder", m.text(n->token)}});
}

RenameResult renameAt(const ScriptModel& m, EditorPosition p, std::string_view newName) {
    RenameResult out;
    const NameOccurrence* n = renamable(m, p);
    if (!n) {
        out.refusal = "there is no name to rename here";
        return out;
    }
    if (!validName(newName)) {
        out.refusal = "'" + std::string(newName) + "' is not a name: a letter or _ first, then letters, digits or _";
        return out;
    }
    if (keywordCodeAnyCase(newName) != 0) {
        out.refusal = "'" + upperAscii(newName) + "' is a reserved word";
        return out;
    }
    // The symbols that change: the one named here and, when one of its
    // tokens also declares another (a STR or PTR array and its variable),
    // that one too.
    std::vector<SymbolRef> changed{m.symbolOf(*n)};
    for (size_t k = 0; k < changed.size(); ++k) {
        for (const NameOccurrence* o : m.occurrences(changed[k])) {
            for (const NameOccurrence& other : m.namesAt(o->token)) {
                SymbolRef s = m.symbolOf(other);
                if (std::find(changed.begin(), changed.end(), s) == changed.end()) changed.push_back(s);
            }
        }
    }
    const std::string folded = lowerAscii(newName);
    for (const SymbolRef& s : changed) {
        if (s.folded == folded) continue;
        // A variable and an array of one name are taken together.
        for (SymbolKind k : {s.kind, s.kind == SymbolKind::Variable ? SymbolKind::Array
                                      : s.kind == SymbolKind::Array ? SymbolKind::Variable
                                                                     : s.kind}) {
            if (m.definitionOf({k, folded}) != 0) {
                out.refusal = "'" + std::string(newName) + "' is already the name of a " + std::string(kindName(k));
                return out;
            }
        }
    }
    std::set<int32_t> tokens;
    for (const SymbolRef& s : changed)
        for (const NameOccurrence* o : m.occurrences(s)) tokens.insert(o->token);
    out.edits = Json::array();
    for (int32_t t : tokens)
        out.edits.push(Json::object({{"range", toJson(m.rangeOfToken(t))}, {"newText", newName}}));
    return out;
}

}  // namespace tessel
