// The language server's pieces: positions between the script's bytes and
// the editor's UTF-16 columns, the JSON reader and writer, the keyword
// documentation generated from the reference, and the script model's
// reading of a script with errors.
#include <gtest/gtest.h>

#include "checker/keywords.h"
#include "lsp/features.h"
#include "lsp/json.h"
#include "lsp/keyword_docs.h"
#include "lsp/positions.h"
#include "lsp/script_model.h"

namespace tessel {
namespace {

EditorPosition pos(int line, int character) {
    return {line, character};
}

TEST(LspPositions, AsciiLinesAndLineEnds) {
    EditorText t;
    readEditorText("ab\r\ncd\nlast", t);
    EXPECT_EQ(t.bytes, "ab\r\ncd\nlast");
    EXPECT_EQ(t.map.toEditor(0), pos(0, 0));
    EXPECT_EQ(t.map.toEditor(4), pos(1, 0));
    EXPECT_EQ(t.map.toEditor(11), pos(2, 4));
    EXPECT_EQ(t.map.toOffset(pos(1, 1)), 5u);
    // Past a line's end: its end, before "\r\n".
    EXPECT_EQ(t.map.toOffset(pos(0, 99)), 2u);
    EXPECT_EQ(t.map.toOffset(pos(99, 0)), 11u);
    EXPECT_EQ(t.map.lineCount(), 3);
}

TEST(LspPositions, CharactersBeyondOneByteOrOneUnit) {
    // é: one byte of Windows-1252, one UTF-16 unit. 😀: no Windows-1252
    // character ('?', one byte), two UTF-16 units. €: byte 0x80, one unit.
    EditorText t;
    readEditorText("\"\xC3\xA9\xF0\x9F\x98\x80\xE2\x82\xAC\" x\ny", t);
    EXPECT_EQ(t.bytes, "\"\xE9?\x80\" x\ny");
    EXPECT_EQ(t.map.toEditor(2), pos(0, 2));  // the '?' after é
    EXPECT_EQ(t.map.toEditor(3), pos(0, 4));  // € after the two units
    EXPECT_EQ(t.map.toEditor(6), pos(0, 7));  // x
    EXPECT_EQ(t.map.toEditor(8), pos(1, 0));  // the next line counts afresh
    for (uint32_t offset : {0u, 1u, 2u, 3u, 4u, 6u, 8u}) EXPECT_EQ(t.map.toOffset(t.map.toEditor(offset)), offset);
    // Inside the surrogate pair: the character's own byte.
    EXPECT_EQ(t.map.toOffset(pos(0, 3)), 2u);
}

TEST(LspPositions, ByteOrderMarkIsDroppedButCounted) {
    EditorText t;
    readEditorText("\xEF\xBB\xBFVAR a\nVAR b", t);
    EXPECT_EQ(t.bytes, "VAR a\nVAR b");
    EXPECT_EQ(t.map.toEditor(4), pos(0, 5));
    EXPECT_EQ(t.map.toOffset(pos(0, 5)), 4u);
    EXPECT_EQ(t.map.toEditor(10), pos(1, 4));
}

TEST(LspJson, ReadsAndWritesWhatTheProtocolSends) {
    JsonParse p = parseJson(R"( {"a": [1, -2.5e1, true, null], "s": "q\"\\\/\n\u00e9\ud83d\ude00", "e": {}} )");
    ASSERT_TRUE(p.value) << p.error;
    const Json& v = *p.value;
    EXPECT_EQ(v["a"].items()[1].asNumber(), -25);
    EXPECT_EQ(v["s"].asString(), "q\"\\/\n\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_TRUE(v["missing"].isNull());
    EXPECT_EQ(v.dump(), R"({"a":[1,-25,true,null],"s":"q\"\\/\u000a)" "\xC3\xA9\xF0\x9F\x98\x80" R"(","e":{}})");
    EXPECT_EQ(Json(0.5).dump(), "0.5");
    EXPECT_EQ(Json(1e300 * 1e300).dump(), "null");
    // A lone surrogate becomes the replacement character.
    EXPECT_EQ(parseJson(R"("\ud800x")").value->asString(), "\xEF\xBF\xBDx");
}

TEST(LspJson, RefusesWhatIsNotJson) {
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "01", "1.", "-", "tru", "\"\x01\"", "\"\\x\"", "[1] 2",
                            "{\"a\":1,}", "\"\\u12\""}) {
        JsonParse p = parseJson(bad);
        EXPECT_FALSE(p.value) << bad;
        EXPECT_FALSE(p.error.empty()) << bad;
    }
    EXPECT_TRUE(parseJson(std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']')).value);
    EXPECT_FALSE(parseJson(std::string(kJsonMaxDepth + 1, '[') + std::string(kJsonMaxDepth + 1, ']')).value);
    std::string many = "[";
    for (size_t k = 0; k <= kJsonMaxValues; ++k) many += "0,";
    many += "0]";
    EXPECT_NE(parseJson(many).error.find("too many values"), std::string::npos);
}

TEST(LspKeywordDocs, EveryKeywordAndMessageIsDocumentedWithItsForm) {
    for (const KeywordInfo& k : kKeywords) {
        const KeywordDoc* d = keywordDoc(k.spelling);
        ASSERT_NE(d, nullptr) << k.spelling << " has no row in the reference's tables";
        EXPECT_NE(d->form.find(k.spelling), std::string_view::npos) << k.spelling;
        EXPECT_FALSE(d->description.empty()) << k.spelling;
    }
    for (const char* message : {"WMMOUSEMOVE", "WMLBUTTONDOWN", "WMRBUTTONDOWN", "WMKEYDOWN", "WMKEYUP", "WMTIMER",
                                "WMCOMMAND"})
        EXPECT_NE(keywordDoc(message), nullptr) << message;
    EXPECT_EQ(keywordDoc("pset")->form, "PSET x, y");
    EXPECT_EQ(keywordDoc("nothing"), nullptr);
}

TEST(LspModel, ReadsTheRestOfAScriptAroundItsErrors) {
    // An unclosed literal, an unknown name and a block left open: the
    // findings are the engine's first error; names, blocks and outlines
    // come from the rest.
    ScriptModel m("VAR a\nPRINT 0, 0, \"open\nb = 1\nFUNC f()\nENDFN\nWHILE a < 3\na = a + 1\nf()\n");
    ASSERT_EQ(m.findings().size(), 1u);
    EXPECT_EQ(m.findings()[0].caption, "T:Error");
    EXPECT_FALSE(m.checks());
    EXPECT_TRUE(definitionAt(m, pos(6, 0)).has_value());  // a, declared on line 0
    EXPECT_TRUE(definitionAt(m, pos(7, 0)).has_value());  // f()
    EXPECT_EQ(documentSymbols(m).items().size(), 1u);
}

TEST(LspModel, ScriptWithoutALineEndStillHasItsNames) {
    ScriptModel m("VAR total");
    ASSERT_EQ(m.findings().size(), 1u);
    EXPECT_EQ(m.findings()[0].text, "EXIT from TOKENIZER");
    EXPECT_TRUE(definitionAt(m, pos(0, 5)).has_value());
}

// The text with a formatter's edits applied (they only touch line starts).
std::string applied(const std::string& text, const Json& edits) {
    std::vector<std::string> lines;
    size_t from = 0;
    while (true) {
        size_t eol = text.find('\n', from);
        lines.push_back(text.substr(from, eol == std::string::npos ? std::string::npos : eol - from));
        if (eol == std::string::npos) break;
        from = eol + 1;
    }
    for (const Json& e : edits.items()) {
        std::string& line = lines[static_cast<size_t>(e["range"]["start"]["line"].asInt())];
        line.replace(0, static_cast<size_t>(e["range"]["end"]["character"].asInt()), e["newText"].asString());
    }
    std::string out;
    for (size_t k = 0; k < lines.size(); ++k) out += (k ? "\n" : "") + lines[k];
    return out;
}

TEST(LspFormatting, IndentsBlocksAndChangesNothingElse) {
    const std::string script =
        "VAR x\n"
        "   WHILE x < 3\n"
        "IF x = 1 : PRINT 0, 0, x : ENDIF\n"
        "IF x = 2\n"
        "x = x + 1   ' keep   this\n"
        "     ELSE\n"
        "\n"
        "x = x + 2\n"
        "ENDIF\n"
        "\t\tWEND\n"
        "FUNC f()\r\n"
        "' a comment\r\n"
        "ENDFN\n";
    ScriptModel m(script);
    EXPECT_EQ(applied(script, formattingEdits(m, 2, true)),
              "VAR x\n"
              "WHILE x < 3\n"
              "  IF x = 1 : PRINT 0, 0, x : ENDIF\n"
              "  IF x = 2\n"
              "    x = x + 1   ' keep   this\n"
              "  ELSE\n"
              "\n"
              "    x = x + 2\n"
              "  ENDIF\n"
              "WEND\n"
              "FUNC f()\r\n"
              "  ' a comment\r\n"
              "ENDFN\n");
    ScriptModel formatted(applied(script, formattingEdits(m, 4, false)));
    EXPECT_TRUE(formattingEdits(formatted, 4, false).items().empty());
}

}  // namespace
}  // namespace tessel
