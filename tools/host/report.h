// Results as records of named fields, written as an aligned table, JSON or
// CSV. Commands build records; the format is the user's choice.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace plclink::host {

enum class Format { Table, Json, Csv };

class Cell {
public:
    enum class Kind { Text, Number, Bool, Null, List };
    static Cell Text(std::string text) { return Cell(Kind::Text, std::move(text), {}); }
    // `literal` must already be a valid JSON number.
    static Cell Number(std::string literal) { return Cell(Kind::Number, std::move(literal), {}); }
    static Cell Number(long long value) { return Number(std::to_string(value)); }
    // JSON true/false; yes/no in a table.
    static Cell Bool(bool value) { return Cell(Kind::Bool, value ? "true" : "false", {}); }
    static Cell Null() { return Cell(Kind::Null, {}, {}); }
    static Cell List(std::vector<std::string> items) { return Cell(Kind::List, {}, std::move(items)); }

    Kind kind() const { return kind_; }
    const std::string& text() const { return text_; }
    const std::vector<std::string>& items() const { return items_; }
    // As a table or CSV shows it: lists joined with "; ", null as empty.
    std::string plain() const;

private:
    Cell(Kind kind, std::string text, std::vector<std::string> items)
        : kind_(kind), text_(std::move(text)), items_(std::move(items)) {}
    Kind kind_;
    std::string text_;
    std::vector<std::string> items_;
};

struct Record {
    std::vector<std::pair<std::string, Cell>> fields;
    Record& add(std::string name, Cell cell) {
        fields.emplace_back(std::move(name), std::move(cell));
        return *this;
    }
    const Cell* find(const std::string& name) const;
};

// A list of records: table and CSV show `columns` (a column missing from a
// record is empty); JSON writes an array with every field of every record.
void WriteRecords(std::ostream& out, Format format, const std::vector<std::string>& columns,
                  const std::vector<Record>& records);

// One record: "name  value" lines, a JSON object, or a two-line CSV.
void WriteRecord(std::ostream& out, Format format, const Record& record);

// One record as a single JSON object on one line.
std::string JsonObject(const Record& record);
std::string JsonString(const std::string& text);
std::string CsvField(const std::string& text);

}  // namespace plclink::host
