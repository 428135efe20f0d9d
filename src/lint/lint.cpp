// The lint's driver: lex and check with the diagnostics collected instead of
// shown, run the rules, drop what ignore comments silence, and write the
// report.
#include "lint/lint.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "base/cp1252.h"
#include "base/reporter.h"
#include "checker/checker.h"
#include "lint/lint_context.h"
#include "lint/source_map.h"

namespace tessel {

namespace {

struct Diagnostic {
    std::string caption;
    std::string text;
    int line = 0;  // the line it concerns, 0 for none
};

// Keeps the first diagnostic of a phase; shows nothing.
class FirstDiagnostic final : public Reporter {
   public:
    void diagnostic(std::string_view caption, std::string_view text, int line) override {
        if (!first) first = Diagnostic{std::string(caption), std::string(text), line};
    }
    void countReport(std::string_view) override {}
    std::optional<Diagnostic> first;
};

// ---------------------------------------------------------------------------
// Errors: the lexer's or the checker's first diagnostic, with a hint where a
// word of another language or a reserved word is the likely cause.

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// The token a checker text quotes between "-{ " and " }", or "".
std::string quotedToken(std::string_view text) {
    size_t open = text.find("-{ ");
    if (open == text.npos) return {};
    size_t close = text.find(" }", open + 3);
    return std::string(text.substr(open + 3, close == text.npos ? text.npos : close - open - 3));
}

// Words writers bring from other languages that name nothing here.
std::string foreignWordHint(std::string_view upper) {
    static const std::map<std::string, std::string, std::less<>> kHints = {
        {"OR",
         "OR is no word of this language: a condition joins comparisons with | (and & for AND)"},
        {"AND",
         "AND is no word of this language: a condition joins comparisons with & (and | for OR)"},
        {"NOT", "NOT is no word of this language: compare with ! for \"not equal\""},
        {"REM", "REM is no word of this language: a comment starts with '"},
        {"THEN", "THEN is no word of this language: the IF branch starts on the next line"},
        {"LET", "LET is no word of this language: assign with NAME = VALUE"},
        {"DIM", "DIM is no word of this language: declare with VAR, STR or PTR"},
        {"END", "END is no word of this language: close blocks with ENDIF, WEND, ENDFN or ENDWM"},
        {"ELSEIF", "ELSEIF is no word of this language: nest an IF inside the ELSE branch"},
        {"RETURN", "RETURN is no word of this language: a function returns at its ENDFN"},
    };
    auto it = kHints.find(upper);
    return it == kHints.end() ? std::string() : it->second;
}

// What a reserved word after `before` (FUNC, a declaring word, LABEL or GOTO)
// was meant to name.
std::string_view namedThing(std::string_view before) {
    if (before == "FUNC") return "a function";
    if (before == "VAR" || before == "STR" || before == "PTR") return "a variable";
    if (before == "LABEL" || before == "GOTO") return "a label";
    return {};
}

struct ErrorPlace {
    size_t offset = 0;  // where the caret goes
    std::string hint;   // "" when there is none
};

// Looks through the tokens of the error's line for a reserved word in a name's
// place or a foreign word the checker's text quotes.
ErrorPlace placeCheckerError(const TokenStore& tokens,
                             const SourceMap& map, int line, std::string_view quoted) {
    ErrorPlace place{map.lineStart(line), {}};
    bool placed = false;
    std::string upperQuoted = upperAscii(quoted);
    std::string declaring;  // the declaring word that starts the line, if any
    for (int32_t i = 1; i <= tokens.count; ++i) {
        if (map.lineOf(tokens.offsetAt(i)) != line || tokens.classAt(i) == CLS_EOL) continue;
        std::string upper = upperAscii(tokens.textAt(i));
        if (!placed) place.offset = tokens.offsetAt(i);
        if (declaring.empty() && (upper == "VAR" || upper == "STR" || upper == "PTR"))
            declaring = upper;
        if (!quoted.empty() && tokens.textAt(i) == quoted && !placed) {
            place.offset = tokens.offsetAt(i);
            placed = true;
        }
        std::string before = upperAscii(tokens.textAt(i - 1));
        if (tokens.classAt(i - 1) == CLS_COMMA && !declaring.empty()) before = declaring;
        std::string_view thing = namedThing(before);
        bool reserved =
            keywordCode(upper) != 0 && !tokens.textAt(i).empty() && tokens.classAt(i) != CLS_QSTR;
        if (place.hint.empty() && reserved && !thing.empty() &&
            map.lineOf(tokens.offsetAt(i - 1)) == line) {
            place.offset = tokens.offsetAt(i);
            placed = true;
            place.hint = upper + " is a reserved word of the language and cannot name " +
                         std::string(thing) +
                         ": the checker reads it as the keyword; choose another name";
        }
        if (place.hint.empty() && upper == upperQuoted) place.hint = foreignWordHint(upper);
    }
    return place;
}

std::string errorHeader(std::string_view script, const SourceMap& map, size_t offset,
                        const Diagnostic& d) {
    int line = map.lineOf(offset);
    return std::string(script) + ":" + std::to_string(line) + ":" +
           std::to_string(map.columnOf(offset)) + ": error: " + windows1252ToUtf8(d.caption) +
           ": " + windows1252ToUtf8(d.text) + "\n";
}

void writeError(std::string& out, std::string_view script, const SourceMap& map,
                const ErrorPlace& place, const Diagnostic& d) {
    out += errorHeader(script, map, place.offset, d);
    out += map.excerpt(place.offset);
    if (!place.hint.empty()) out += "    hint: " + place.hint + "\n";
}

// An error that concerns no line (a block left open, nothing to run) names
// only the script, as --check does.
void writeUnplacedError(std::string& out, std::string_view script, const Diagnostic& d) {
    out += std::string(script) + ": error: " + windows1252ToUtf8(d.caption) + ": " +
           windows1252ToUtf8(d.text) + "\n";
}

// ---------------------------------------------------------------------------
// Warnings

// The rules named by "' lint: ignore RULE ..." comments, by line.
std::map<int, std::set<std::string>> ignoreComments(const LintContext& ctx, const SourceMap& map) {
    std::map<int, std::set<std::string>> out;
    for (int32_t i = 1; i <= ctx.tokens.count; ++i) {
        const size_t apostrophe = ctx.tokens.offsetAt(i);
        if (ctx.cls(i) != CLS_EOL || ctx.source.substr(apostrophe, 1) != "'") continue;
        int line = map.lineOf(apostrophe);
        std::string_view comment = map.lineText(line).substr(apostrophe - map.lineStart(line) + 1);
        size_t at = comment.find_first_not_of(" \t");
        if (at == comment.npos || comment.substr(at, 5) != "lint:") continue;
        comment.remove_prefix(at + 5);
        at = comment.find_first_not_of(" \t");
        if (at == comment.npos || comment.substr(at, 6) != "ignore") continue;
        comment.remove_prefix(at + 6);
        while (!comment.empty()) {
            size_t start = comment.find_first_not_of(" \t,");
            if (start == comment.npos) break;
            size_t end = comment.find_first_of(" \t,", start);
            out[line].insert(std::string(
                comment.substr(start, end == comment.npos ? comment.npos : end - start)));
            comment.remove_prefix(end == comment.npos ? comment.size() : end);
        }
    }
    return out;
}

bool silenced(const std::map<int, std::set<std::string>>& ignores, int line,
              const std::string& rule) {
    for (int l : {line, line - 1}) {
        auto it = ignores.find(l);
        if (it != ignores.end() && it->second.count(rule)) return true;
    }
    return false;
}

// A script saved as UTF-8 shows each of its non-ASCII characters as two or
// three others.
void lintEncoding(LintContext& ctx) {
    size_t at = likelyUtf8Start(ctx.source);
    if (at == std::string_view::npos) return;
    std::string_view ch = ctx.source.substr(at, utf8SequenceLength(ctx.source, at));
    ctx.findings.push_back({at, "utf8-source",
                            // (texts are Windows-1252, shown as UTF-8)
                            "the script looks like UTF-8: " + utf8SourceToWindows1252(ch) + " is " +
                                std::to_string(ch.size()) + " bytes here and shows as " +
                                std::string(ch) +
                                "; run it with --utf8 to read its text as Windows-1252"});
}

void runRules(LintContext& ctx) {
    lintLoops(ctx);
    lintPrint(ctx);
    lintAssignments(ctx);
    lintColours(ctx);
    lintImages(ctx);
    lintMouse(ctx);
    lintPresenting(ctx);
    lintEncoding(ctx);
}

int writeWarnings(LintContext& ctx, std::string_view script, const SourceMap& map,
                  std::string& out) {
    auto ignores = ignoreComments(ctx, map);
    std::stable_sort(
        ctx.findings.begin(), ctx.findings.end(),
        [](const LintFinding& a, const LintFinding& b) { return a.offset < b.offset; });
    int shown = 0;
    for (const LintFinding& f : ctx.findings) {
        int line = map.lineOf(f.offset);
        if (silenced(ignores, line, f.rule)) continue;
        out += std::string(script) + ":" + std::to_string(line) + ":" +
               std::to_string(map.columnOf(f.offset)) + ": warning: " + windows1252ToUtf8(f.text) +
               " [" + f.rule + "]\n" + map.excerpt(f.offset);
        ++shown;
    }
    return shown;
}

// A lexer error points at the token being scanned; a script that looks like
// UTF-8 gets a hint naming --utf8.
void writeLexError(std::string& out, std::string_view script, std::string_view source,
                   const SourceMap& map, size_t offset, const Diagnostic& d) {
    ErrorPlace place{offset, {}};
    if (likelyUtf8Start(source) != std::string_view::npos)
        place.hint =
            "the script looks like UTF-8; run it with --utf8 to read its text as Windows-1252";
    writeError(out, script, map, place, d);
}

}  // namespace

int lintScript(std::string_view script, std::string sourceText, std::string& out) {
    TokenStore tokens;
    LexState lex;
    FirstDiagnostic lexed;
    int32_t n = tokenize(std::move(sourceText), tokens, lex, lexed);
    std::string_view source = tokens.source();
    SourceMap map(source);
    if (lex.errorCode != 0) {
        writeLexError(out, script, source, map, lex.errorOffset,
                      lexed.first.value_or(Diagnostic{}));
        return 1;
    }
    tokens.count = n;
    if (tokens.eolCount == 0) {
        writeUnplacedError(out, script, Diagnostic{"Process Terminated!", "EXIT from TOKENIZER"});
        return 1;
    }
    CheckerState symbols;
    FirstDiagnostic checked;
    if (runChecker(tokens, symbols, checked) != 1) {
        Diagnostic d = checked.first.value_or(Diagnostic{});
        if (d.line <= 0) {
            writeUnplacedError(out, script, d);
            return 1;
        }
        ErrorPlace place = placeCheckerError(tokens, map, d.line, quotedToken(d.text));
        writeError(out, script, map, place, d);
        return 1;
    }
    LintContext ctx{source, tokens, symbols, splitStatements(tokens), {}};
    runRules(ctx);
    return writeWarnings(ctx, script, map, out) > 0 ? 1 : 0;
}

}  // namespace tessel
