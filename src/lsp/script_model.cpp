#include "lsp/script_model.h"

#include <algorithm>

#include "checker/keywords.h"
#include "checker/name_index.h"

namespace tessel {

namespace {

// At most this many lines are blanked before the features make do with what
// the last copy gave.
constexpr int kRepairs = 16;

char kindLetter(SymbolKind k) {
    return "vaflm"[static_cast<int>(k)];
}

SymbolKind kindOfUse(NameUse use) {
    switch (use) {
        case NameUse::Variable: return SymbolKind::Variable;
        case NameUse::Array: return SymbolKind::Array;
        case NameUse::Call:
        case NameUse::Function: return SymbolKind::Function;
        case NameUse::Label: return SymbolKind::Label;
        case NameUse::Message: return SymbolKind::Message;
    }
    return SymbolKind::Variable;
}

// Blanks line `line` (1-based) of `bytes`, line end kept.
void blankLine(std::string& bytes, int32_t line, const PositionMap& map) {
    if (line < 1 || line > map.lineCount()) return;
    for (uint32_t at = map.lineStart(line - 1); at < map.lineEnd(line - 1); ++at) bytes[at] = ' ';
}

}  // namespace

bool startsStatement(const TokenStore& tokens, int32_t token) {
    const int32_t before = tokens.classAt(token - 1);
    return token == 1 || before == CLS_EOL || before == CLS_COLON || before == KW_ELSE;
}

ScriptModel::ScriptModel(std::string_view utf8, std::string folder) {
    readEditorText(utf8, text_);
    lintProgram(text_.bytes, real_, folder);
    if (!real_.checked) repair(folder);
    collectNames();
    collectBlocks();
}

// Reads a copy again with the line of each error blanked, until it checks.
// Blanking keeps every byte where it was, so places stay those of the script.
void ScriptModel::repair(const std::string& folder) {
    std::string copy = text_.bytes;
    const LintResult* last = &real_;
    for (int tries = 0; tries < kRepairs && !last->checked; ++tries) {
        const Finding& error = last->findings.front();
        if (error.at.known()) {
            blankLine(copy, error.at.line, map());
        } else if (last->tokens.eolCount == 0 && (copy.empty() || copy.back() != '\n')) {
            copy += '\n';  // a script without a line end reads no statement
        } else {
            break;
        }
        auto next = std::make_unique<LintResult>();
        lintProgram(copy, *next, folder);
        repaired_ = std::move(next);
        last = repaired_.get();
    }
}

void ScriptModel::collectNames() {
    const TokenStore& t = tokens();
    const CheckerState& st = symbols();
    for (int32_t i = 1; i <= t.count; ++i) {
        if (t.classAt(i) != CLS_NAME || keywordCodeAnyCase(t.textAt(i)) != 0) continue;
        const NameUse use = nameUseAt(t, i);
        const int32_t var = st.varAt(i), array = st.arrayAt(i);
        const bool declaresVar = var != 0 && st.vars[static_cast<size_t>(var)].nameToken == i;
        const bool declaresArray = array != 0 && st.arrays[static_cast<size_t>(array)].nameToken == i;
        const SymbolKind kind = kindOfUse(use);
        bool declares = kind == SymbolKind::Variable   ? declaresVar
                        : kind == SymbolKind::Array    ? declaresArray
                        : kind == SymbolKind::Function ? use == NameUse::Function
                        : kind == SymbolKind::Label    ? t.classAt(i - 1) == KW_LABEL
                                                       : false;
        nameIndex_.emplace(i, names_.size());
        names_.push_back({i, kind, declares});
        // A STR or PTR array's name declares its variable too.
        if (kind == SymbolKind::Array && declaresVar) names_.push_back({i, SymbolKind::Variable, true});
    }
    // The definitions: the first declaration of each name; for a function
    // the first FUNC with its "()", which calls go to, else the first FUNC.
    for (const NameOccurrence& n : names_) {
        if (!n.declares) continue;
        const std::string key = kindLetter(n.kind) + lowerAscii(t.textAt(n.token));
        const bool callable = t.classAt(n.token + 1) == CLS_LPAR && t.classAt(n.token + 2) == CLS_RPAR;
        auto [it, added] = definitions_.emplace(key, n.token);
        if (!added && n.kind == SymbolKind::Function && callable) {
            const int32_t first = it->second;
            if (t.classAt(first + 1) != CLS_LPAR || t.classAt(first + 2) != CLS_RPAR) it->second = n.token;
        }
    }
}

// Blocks are matched by nesting, each kind on its own, as the checker
// places a block left open.
void ScriptModel::collectBlocks() {
    struct Pair {
        int32_t opens, closes;
        std::vector<int32_t> open;
    };
    Pair pairs[] = {{KW_IF, KW_ENDIF, {}}, {KW_WHILE, KW_WEND, {}}, {KW_FUNC, KW_ENDFN, {}}, {KW_WINMSG, KW_ENDWM, {}}};
    for (int32_t i = 1; i <= count(); ++i) {
        const int32_t c = cls(i);
        for (Pair& p : pairs) {
            if (c == p.opens) {
                p.open.push_back(i);
            } else if (c == p.closes && !p.open.empty()) {
                blocks_.push_back({p.open.back(), i});
                p.open.pop_back();
            }
        }
    }
    std::sort(blocks_.begin(), blocks_.end(), [](const Block& a, const Block& b) { return a.open < b.open; });
}

EditorRange ScriptModel::rangeOf(const SourcePlace& at) const {
    if (!at.known()) return {};
    const EditorPosition start = map().toEditor(at.offset);
    uint32_t end = at.offset + std::max<uint32_t>(at.length, 1);
    end = std::min(end, map().lineEnd(start.line));
    return {start, map().toEditor(std::max(end, at.offset))};
}

EditorRange ScriptModel::rangeOfToken(int32_t token) const {
    SourcePlace at;
    at.line = 1;
    at.offset = tokens().offsetAt(token);
    at.length = tokens().placeAt(token).length;
    return rangeOf(at);
}

int32_t ScriptModel::tokenAt(uint32_t offset) const {
    const TokenStore& t = tokens();
    // The last token starting at or before the offset.
    int32_t lo = 1, hi = t.count, found = 0;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (t.offsetAt(mid) <= offset) {
            found = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (found == 0) return 0;
    const uint32_t start = t.offsetAt(found), length = t.placeAt(found).length;
    if (offset < start + length && t.classAt(found) != CLS_EOL) return found;
    if (offset < start + length && t.classAt(found) == CLS_EOL) {
        // On a line end: the word before it, if the cursor touches one.
        return offset == start && found > 1 && t.offsetAt(found - 1) + t.placeAt(found - 1).length == offset
                   ? found - 1
                   : found;
    }
    return offset == start + length ? found : 0;
}

const NameOccurrence* ScriptModel::nameAt(int32_t token) const {
    auto it = nameIndex_.find(token);
    return it == nameIndex_.end() ? nullptr : &names_[it->second];
}

std::span<const NameOccurrence> ScriptModel::namesAt(int32_t token) const {
    auto it = nameIndex_.find(token);
    if (it == nameIndex_.end()) return {};
    size_t end = it->second;
    while (end < names_.size() && names_[end].token == token) ++end;
    return std::span<const NameOccurrence>(names_).subspan(it->second, end - it->second);
}

SymbolRef ScriptModel::symbolOf(const NameOccurrence& n) const {
    return {n.kind, lowerAscii(text(n.token))};
}

std::vector<const NameOccurrence*> ScriptModel::occurrences(const SymbolRef& s) const {
    std::vector<const NameOccurrence*> out;
    for (const NameOccurrence& n : names_)
        if (n.kind == s.kind && equalFolded(text(n.token), s.folded)) out.push_back(&n);
    return out;
}

int32_t ScriptModel::definitionOf(const SymbolRef& s) const {
    auto it = definitions_.find(kindLetter(s.kind) + s.folded);
    return it == definitions_.end() ? 0 : it->second;
}

}  // namespace tessel
