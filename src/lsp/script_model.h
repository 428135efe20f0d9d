// One script as the language server and the page read it: the editor's text
// as the engine's bytes with the map of their places, the findings of the
// lint's own run over those bytes (the lexer's or the checker's first error,
// or the warnings), and the program the other features read: the same one
// when it checks, else a copy in which each line the lexer or the checker
// stopped at is read as blank, so a script with an error still has its
// names, blocks and colours everywhere else.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "checker/checker.h"
#include "lint/lint.h"
#include "lsp/positions.h"

namespace tessel {

struct EditorRange {
    EditorPosition start, end;
};

// What a name stands for; names compare ignoring ASCII case.
enum class SymbolKind : uint8_t { Variable, Array, Function, Label, Message };

struct SymbolRef {
    SymbolKind kind = SymbolKind::Variable;
    std::string folded;  // the name in lower case
    bool operator==(const SymbolRef&) const = default;
};

// One name token and what it stands for there.
struct NameOccurrence {
    int32_t token = 0;
    SymbolKind kind = SymbolKind::Variable;
    bool declares = false;  // a declaration, a FUNC's or a LABEL's name
};

// A block matched by nesting: IF..ENDIF, WHILE..WEND, FUNC..ENDFN, WINMSG..ENDWM.
struct Block {
    int32_t open = 0;   // the opening keyword's token
    int32_t close = 0;  // the closing keyword's token
};

class ScriptModel {
   public:
    // `folder`: where a run of the script would look for the files it names
    // (its own folder; "" for the working folder).
    explicit ScriptModel(std::string_view utf8, std::string folder = {});
    ScriptModel(const ScriptModel&) = delete;
    ScriptModel& operator=(const ScriptModel&) = delete;

    const std::string& bytes() const { return text_.bytes; }
    const PositionMap& map() const { return text_.map; }
    // The lint's findings over the script as it is.
    const std::vector<Finding>& findings() const { return real_.findings; }
    // Whether the script lexed and checked as it is.
    bool checks() const { return real_.checked; }

    // The program the features read.
    const TokenStore& tokens() const { return program().tokens; }
    const CheckerState& symbols() const { return program().symbols; }
    int32_t count() const { return tokens().count; }
    int32_t cls(int64_t i) const { return tokens().classAt(i); }
    std::string_view text(int64_t i) const { return tokens().textAt(i); }

    // Where a place or a token stands in the editor (a comment's range ends
    // at its line's end, without the line feed).
    EditorRange rangeOf(const SourcePlace& at) const;
    EditorRange rangeOfToken(int32_t token) const;
    uint32_t offsetOf(EditorPosition p) const { return map().toOffset(p); }

    // The token that covers byte `offset`, or a name that ends right there
    // (the cursor just after a word); 0 for none.
    int32_t tokenAt(uint32_t offset) const;

    // Every name token of the program, in order, with what it stands for
    // (a STR or PTR array's declaring name twice: array and variable).
    const std::vector<NameOccurrence>& names() const { return names_; }
    // What the name token `token` stands for (the first, for a token that
    // stands for two), or nothing.
    const NameOccurrence* nameAt(int32_t token) const;
    // Every meaning of the name token `token` (none, one, or two).
    std::span<const NameOccurrence> namesAt(int32_t token) const;
    SymbolRef symbolOf(const NameOccurrence& n) const;
    // The occurrences of a symbol, in order.
    std::vector<const NameOccurrence*> occurrences(const SymbolRef& s) const;
    // The token that defines a symbol (the first declaration, the FUNC name
    // calls go to, the first LABEL of that name), or 0.
    int32_t definitionOf(const SymbolRef& s) const;

    const std::vector<Block>& blocks() const { return blocks_; }

   private:
    const LintResult& program() const { return repaired_ ? *repaired_ : real_; }
    void repair(const std::string& folder);
    void collectNames();
    void collectBlocks();

    EditorText text_;
    LintResult real_;
    std::unique_ptr<LintResult> repaired_;  // when the script does not check
    std::vector<NameOccurrence> names_;
    std::unordered_map<int32_t, size_t> nameIndex_;     // token -> its first entry in names_
    std::unordered_map<std::string, int32_t> definitions_;  // kind letter + folded name -> token
    std::vector<Block> blocks_;
};

// Whether `token` starts a statement: the first of its line, or after ':' or ELSE.
bool startsStatement(const TokenStore& tokens, int32_t token);

}  // namespace tessel
