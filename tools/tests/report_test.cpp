// Results in the three output forms.
#include <gtest/gtest.h>

#include <sstream>

#include "printable_text.h"
#include "report.h"

using namespace plclink::host;

TEST(Report, JsonStringsAreAlwaysValid) {
    EXPECT_EQ(JsonString("a\"b\\c\n\r\t"), "\"a\\\"b\\\\c\\n\\r\\t\"");
    EXPECT_EQ(JsonString(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
    EXPECT_EQ(JsonString("\xE2\x94\x80"), "\"\xE2\x94\x80\"");  // well-formed UTF-8 kept
    // Bytes that are not UTF-8 (e.g. from a tag typed in another code page).
    EXPECT_EQ(JsonString("\xC4x"), "\"\\u00c4x\"");
    EXPECT_EQ(JsonString("\xE2\x94"), "\"\\u00e2\\u0094\"");
    EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");  // a surrogate
}

TEST(Report, CsvQuotesOnlyWhereNeeded) {
    EXPECT_EQ(CsvField("plain"), "plain");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

TEST(Report, RecordsInEachForm) {
    std::vector<Record> records(2);
    records[0].add("tag", Cell::Text("02VW0100")).add("value", Cell::Number(4660))
        .add("log", Cell::List({"one", "two"}));
    records[1].add("tag", Cell::Text("02VB0000")).add("value", Cell::Null()).add("ok", Cell::Bool(false));
    std::ostringstream table, csv, json;
    WriteRecords(table, Format::Table, {"tag", "value"}, records);
    WriteRecords(csv, Format::Csv, {"tag", "value", "log", "ok"}, records);
    WriteRecords(json, Format::Json, {"tag"}, records);
    EXPECT_EQ(table.str(), "TAG       VALUE\n02VW0100  4660\n02VB0000\n");
    EXPECT_EQ(csv.str(), "tag,value,log,ok\n02VW0100,4660,one; two,\n02VB0000,,,no\n");
    EXPECT_EQ(json.str(),
              "[\n {\"tag\": \"02VW0100\", \"value\": 4660, \"log\": [\"one\", \"two\"]},\n"
              " {\"tag\": \"02VB0000\", \"value\": null, \"ok\": false}\n]\n");
    std::ostringstream empty;
    WriteRecords(empty, Format::Json, {"tag"}, {});
    EXPECT_EQ(empty.str(), "[]\n");
}

TEST(PrintableText, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(PrintableText("plain text, C:\\plc\\v.txt"), "plain text, C:\\plc\\v.txt");
    EXPECT_EQ(PrintableText("\x1b]0;owned\x07\x1b[2Jx\r\n\t"), "\\x1B]0;owned\\x07\\x1B[2Jx\\x0D\\x0A\\x09");
    EXPECT_EQ(PrintableText("\x7f"), "\\x7F");
    EXPECT_EQ(PrintableText("\xE2\x94\x80 \xC3\xA4"), "\xE2\x94\x80 \xC3\xA4");  // UTF-8 kept
    EXPECT_EQ(PrintableText("\xC2\x9B" "2J"), "\\xC2\\x9B2J");                   // a C1 CSI
    EXPECT_EQ(PrintableText("\x9B" "2J \xC4"), "\\x9B2J \\xC4");                  // not UTF-8
    EXPECT_EQ(PrintableText("\xF5\x80\x80"), "\\xF5\\x80\\x80");
}
