#include "report.h"

#include <algorithm>
#include <cstdio>

#include "utf8.h"

namespace plclink::host {

std::string Cell::plain() const {
    if (kind_ == Kind::Null) return "";
    if (kind_ == Kind::Bool) return text_ == "true" ? "yes" : "no";
    if (kind_ != Kind::List) return text_;
    std::string joined;
    for (const std::string& item : items_) {
        if (!joined.empty()) joined += "; ";
        joined += item;
    }
    return joined;
}

const Cell* Record::find(const std::string& name) const {
    for (const auto& [key, cell] : fields) {
        if (key == name) return &cell;
    }
    return nullptr;
}

// Bytes that are not UTF-8 are escaped as the Latin-1 characters of the same
// code, so the output is always valid JSON.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c >= 0x80) {
                    std::size_t length = Utf8SequenceLength(text, i);
                    if (length != 0) {
                        out.append(text, i, length);
                        i += length - 1;
                        break;
                    }
                }
                if (c < 0x20 || c >= 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

namespace {

std::string JsonValue(const Cell& cell) {
    switch (cell.kind()) {
        case Cell::Kind::Number:
        case Cell::Kind::Bool: return cell.text();
        case Cell::Kind::Null: return "null";
        case Cell::Kind::Text: return JsonString(cell.text());
        case Cell::Kind::List: {
            std::string out = "[";
            for (std::size_t i = 0; i < cell.items().size(); ++i) {
                if (i != 0) out += ", ";
                out += JsonString(cell.items()[i]);
            }
            return out + "]";
        }
    }
    return "null";
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == '_') c = ' ';
    }
    return text;
}

void WriteTable(std::ostream& out, const std::vector<std::string>& columns,
                const std::vector<Record>& records) {
    std::vector<std::vector<std::string>> rows;
    rows.emplace_back();
    for (const std::string& column : columns) rows.back().push_back(Upper(column));
    for (const Record& record : records) {
        rows.emplace_back();
        for (const std::string& column : columns) {
            const Cell* cell = record.find(column);
            rows.back().push_back(cell != nullptr ? cell->plain() : "");
        }
    }
    std::vector<std::size_t> widths(columns.size(), 0);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << '\n';
    }
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string JsonObject(const Record& record) {
    std::string out = "{";
    for (std::size_t i = 0; i < record.fields.size(); ++i) {
        if (i != 0) out += ", ";
        out += JsonString(record.fields[i].first) + ": " + JsonValue(record.fields[i].second);
    }
    return out + "}";
}

void WriteRecords(std::ostream& out, Format format, const std::vector<std::string>& columns,
                  const std::vector<Record>& records) {
    switch (format) {
        case Format::Table: WriteTable(out, columns, records); break;
        case Format::Csv: {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                out << (i != 0 ? "," : "") << CsvField(columns[i]);
            }
            out << '\n';
            for (const Record& record : records) {
                for (std::size_t i = 0; i < columns.size(); ++i) {
                    const Cell* cell = record.find(columns[i]);
                    out << (i != 0 ? "," : "") << CsvField(cell != nullptr ? cell->plain() : "");
                }
                out << '\n';
            }
            break;
        }
        case Format::Json: {
            out << "[";
            for (std::size_t i = 0; i < records.size(); ++i) {
                out << (i != 0 ? ",\n " : "\n ") << JsonObject(records[i]);
            }
            out << (records.empty() ? "]\n" : "\n]\n");
            break;
        }
    }
}

void WriteRecord(std::ostream& out, Format format, const Record& record) {
    switch (format) {
        case Format::Table: {
            std::size_t width = 0;
            for (const auto& field : record.fields) width = std::max(width, field.first.size());
            for (const auto& [name, cell] : record.fields) {
                std::string label = name;
                for (char& c : label) {
                    if (c == '_') c = ' ';
                }
                std::string line = label + std::string(width - name.size() + 2, ' ') + cell.plain();
                while (!line.empty() && line.back() == ' ') line.pop_back();
                out << line << '\n';
            }
            break;
        }
        case Format::Csv: {
            std::vector<std::string> columns;
            for (const auto& field : record.fields) columns.push_back(field.first);
            WriteRecords(out, format, columns, {record});
            break;
        }
        case Format::Json: out << JsonObject(record) << '\n'; break;
    }
}

}  // namespace plclink::host
