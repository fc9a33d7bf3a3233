// The tables of cases kept under tests/data, read by the native and the Wine tests alike: one case a line,
// its fields separated by '|', blanks around a field dropped (a field in double quotes keeps them), and \n,
// \r, \t, \\ and \xhh standing for their bytes. Blank lines, and from '#' at a line's start or " #" on, are comments.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The bytes a text with \n, \r, \t, \\ and \xhh escapes stands for, as the doll's log writes them.
inline std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
        } else if (text[++i] == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += text[i] == 'n' ? '\n' : text[i] == 'r' ? '\r' : text[i] == 't' ? '\t' : text[i];
        }
    }
    return bytes;
}

// The whole file's bytes; empty when it cannot be read.
inline std::string fileText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct DataRow { std::string where; std::vector<std::string> fields; };  // where: "file:line", for SCOPED_TRACE

// Every row of the file, or with `kind` those whose first field is `kind`; none fails the test.
inline std::vector<DataRow> readDataTable(const std::string& path, const char* kind = nullptr) {
    std::ifstream file(path);
    std::vector<DataRow> rows;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        line = line.substr(0, line.find(" #"));
        if (line.find_first_not_of(' ') == std::string::npos || line[0] == '#') continue;
        DataRow row{path.substr(path.find_last_of("/\\") + 1) + ":" + std::to_string(number), {}};
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, '|');) {
            field.erase(0, field.find_first_not_of(' '));
            field.erase(field.find_last_not_of(' ') + 1);
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
                field = field.substr(1, field.size() - 2);
            row.fields.push_back(unescape(field));
        }
        if (kind == nullptr || row.fields[0] == kind) rows.push_back(row);
    }
    if (rows.empty()) ADD_FAILURE() << "no rows in " << path;
    return rows;
}
