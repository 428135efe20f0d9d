// What an editor asks of a script, answered in the shapes of the Language
// Server Protocol (0-based lines, UTF-16 columns): the language server and
// the page's editor call the same functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lsp/json.h"
#include "lsp/script_model.h"

namespace tessel {

Json toJson(EditorPosition p);
Json toJson(const EditorRange& r);

// The findings as Diagnostic objects: the checker's error or the lint's
// warnings, each with its hint on a line of its own.
Json diagnosticsOf(const ScriptModel& m);

// CompletionItem objects for what can stand at `p`: statement keywords at a
// statement's start, functions and the script's names in an expression,
// message names after WINMSG, labels after GOTO, nothing where a new name
// is written or inside a literal or a comment.
Json completionAt(const ScriptModel& m, EditorPosition p);

// A Hover for the keyword, message or name at `p`, or null.
Json hoverAt(const ScriptModel& m, EditorPosition p);

// The range of the definition of the name at `p`: nothing when there is none.
std::optional<EditorRange> definitionAt(const ScriptModel& m, EditorPosition p);

// The ranges of every occurrence of the name at `p` (its definitions too,
// with `withDeclarations`).
Json referencesAt(const ScriptModel& m, EditorPosition p, bool withDeclarations);

// DocumentSymbol objects: functions, event blocks, and labels (inside the
// block that holds them).
Json documentSymbols(const ScriptModel& m);

// FoldingRange objects for IF, WHILE, FUNC and WINMSG blocks.
Json foldingRanges(const ScriptModel& m);

// The legend and the data of the semantic tokens.
Json semanticTokensLegend();
Json semanticTokens(const ScriptModel& m);

// TextEdit objects that indent every block one level deeper (with a tab, or
// `tabSize` spaces) and change nothing else.
Json formattingEdits(const ScriptModel& m, int tabSize, bool insertSpaces);

// The range and the name a rename at `p` would change, or null when there
// is no name there that can be renamed.
Json prepareRenameAt(const ScriptModel& m, EditorPosition p);

struct RenameResult {
    std::string refusal;  // why the rename is refused ("" when it is not)
    Json edits;           // TextEdit objects
};
RenameResult renameAt(const ScriptModel& m, EditorPosition p, std::string_view newName);

}  // namespace tessel
