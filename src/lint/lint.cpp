// The lint's driver: lex and check with the diagnostics collected instead of
// shown, run the rules, drop what ignore comments silence, and write the
// report as text or JSON.
#include "lint/lint.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "base/cp1252.h"
#include "base/reporter.h"
#include "checker/checker.h"
#include "lint/lint_context.h"

namespace tessel {

namespace {

// Keeps the first diagnostic of a phase, with its place and hint; shows
// nothing.
class FirstDiagnostic final : public Reporter {
   public:
    void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) override {
        if (first) return;
        first = Finding{where.at, Severity::Error, std::string(caption), std::string(text), {}, where.hint};
    }
    void countReport(std::string_view) override {}
    std::optional<Finding> first;
};

// ---------------------------------------------------------------------------
// Warnings

// The rules named by "' lint: ignore RULE ..." comments, by line.
std::map<int, std::set<std::string>> ignoreComments(const LintContext& ctx) {
    std::map<int, std::set<std::string>> out;
    for (int32_t i = 1; i <= ctx.tokens.count; ++i) {
        // (where a token stands costs a search of the line ends: only comments need it)
        if (ctx.cls(i) != CLS_EOL || ctx.source.substr(ctx.tokens.offsetAt(i), 1) != "'") continue;
        const SourcePlace at = ctx.tokens.placeAt(i);
        std::string_view comment = ctx.source.substr(at.offset + 1, at.length - 1);
        while (!comment.empty() && (comment.back() == '\n' || comment.back() == '\r')) comment.remove_suffix(1);
        size_t from = comment.find_first_not_of(" \t");
        if (from == comment.npos || comment.substr(from, 5) != "lint:") continue;
        comment.remove_prefix(from + 5);
        from = comment.find_first_not_of(" \t");
        if (from == comment.npos || comment.substr(from, 6) != "ignore") continue;
        comment.remove_prefix(from + 6);
        while (!comment.empty()) {
            size_t start = comment.find_first_not_of(" \t,");
            if (start == comment.npos) break;
            size_t end = comment.find_first_of(" \t,", start);
            out[at.line].insert(std::string(comment.substr(start, end == comment.npos ? comment.npos : end - start)));
            comment.remove_prefix(end == comment.npos ? comment.size() : end);
        }
    }
    return out;
}

bool silenced(const std::map<int, std::set<std::string>>& ignores, int line, const std::string& rule) {
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
    ctx.findings.push_back({ctx.tokens.placeAtOffset(static_cast<uint32_t>(at)), "utf8-source",
                            // (texts are Windows-1252, shown as UTF-8)
                            "the script looks like UTF-8: " + utf8SourceToWindows1252(ch) + " is " +
                                std::to_string(ch.size()) + " bytes here and shows as " + std::string(ch) +
                                "; run it with --utf8 to read its text as Windows-1252"});
}

void runRules(LintContext& ctx) {
    lintLoops(ctx);
    lintPrint(ctx);
    lintAssignments(ctx);
    lintDeclarations(ctx);
    lintColours(ctx);
    lintImages(ctx);
    lintMouse(ctx);
    lintPresenting(ctx);
    lintReach(ctx);
    lintMissingArguments(ctx);
    lintEncoding(ctx);
}

void collectWarnings(LintContext& ctx, std::vector<Finding>& out) {
    auto ignores = ignoreComments(ctx);
    std::stable_sort(ctx.findings.begin(), ctx.findings.end(),
                     [](const LintFinding& a, const LintFinding& b) { return a.at.offset < b.at.offset; });
    for (const LintFinding& f : ctx.findings) {
        if (silenced(ignores, f.at.line, f.rule)) continue;
        out.push_back(Finding{f.at, Severity::Warning, {}, f.text, f.rule, {}});
    }
}

}  // namespace

void lintProgram(std::string sourceText, LintResult& out, std::string folder) {
    TokenStore& tokens = out.tokens;
    LexState lex;
    FirstDiagnostic lexed;
    int32_t n = tokenize(std::move(sourceText), tokens, lex, lexed);
    if (lex.errorCode != 0) {
        out.findings.push_back(lexed.first.value_or(Finding{}));
        return;
    }
    tokens.count = n;
    if (tokens.eolCount == 0) {
        out.findings.push_back(Finding{{}, Severity::Error, "Process Terminated!", "EXIT from TOKENIZER", {}, {}});
        return;
    }
    FirstDiagnostic checked;
    if (runChecker(tokens, out.symbols, checked) != 1) {
        out.findings.push_back(checked.first.value_or(Finding{}));
        return;
    }
    out.checked = true;
    LintContext ctx{tokens.source(), tokens, out.symbols, splitStatements(tokens), {}, std::move(folder)};
    runRules(ctx);
    collectWarnings(ctx, out.findings);
}

int lintScript(std::string_view script, std::string sourceText, std::string& out, bool json) {
    LintResult result;
    lintProgram(std::move(sourceText), result);
    for (const Finding& f : result.findings)
        out += json ? findingJson(script, f) : findingText(script, result.tokens.source(), f, true);
    return result.findings.empty() ? 0 : 1;
}

}  // namespace tessel
