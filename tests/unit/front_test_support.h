// Helpers shared by the tokenizer and checker unit tests.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "checker/checker.h"
#include "lexer/tokenizer.h"

namespace tessel::testing_support {

// Collects what the front end reports.
class RecordingReporter final : public Reporter {
   public:
    struct Box {
        std::string caption, text;
        int line;          // the line of the place (0: none)
        SourcePlace at;    // the place
        std::string hint;  // what the terminal adds under it
    };
    std::vector<Box> boxes;
    std::vector<std::string> counts;

    void diagnostic(std::string_view caption, std::string_view text, const DiagnosticPlace& where) override {
        boxes.push_back({std::string(caption), std::string(text), where.at.line, where.at, where.hint});
    }
    void countReport(std::string_view text) override { counts.emplace_back(text); }
};

// A tokenized and checked script.
struct Front {
    TokenStore tokens;
    LexState lex;
    CheckerState checker;
    RecordingReporter rep;
    int lexed = 0;
    int checked = 0;

    explicit Front(std::string_view source) {
        lexed = lexingPhase(std::string(source), tokens, lex, rep);
        if (lexed == 1) checked = runChecker(tokens, checker, rep);
    }

    // The index of the nth token (from 1) written exactly `text`, so tests
    // name tokens by what the script says rather than by position; throws
    // (failing the test) when there is none.
    int32_t token(std::string_view text, int nth = 1) const {
        for (int32_t i = 0; i < tokens.count; ++i)
            if (tokens.textAt(i) == text && --nth == 0) return i;
        throw std::logic_error("no such token: " + std::string(text));
    }
};

}  // namespace tessel::testing_support
