#include "erp/sql_params.h"

namespace velkaro {

namespace {
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

// Index just behind the quoted part that starts at `i` with `open`, ending at `close`
// (a doubled `close` stays inside); the end of the text when it is not closed.
size_t SkipQuoted(const std::string& s, size_t i, char close) {
    for (++i; i < s.size(); ++i) {
        if (s[i] != close) continue;
        if (i + 1 < s.size() && s[i + 1] == close) { ++i; continue; }
        return i + 1;
    }
    return s.size();
}
} // namespace

TPositionalSql ToPositionalSql(const std::string& sql) {
    TPositionalSql out;
    out.Sql.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        size_t end = i;
        if (c == '\'') end = SkipQuoted(sql, i, '\'');
        else if (c == '"') end = SkipQuoted(sql, i, '"');
        else if (c == '[') end = SkipQuoted(sql, i, ']');
        else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            end = sql.find('\n', i);
            if (end == std::string::npos) end = sql.size();
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            end = sql.find("*/", i + 2);
            end = end == std::string::npos ? sql.size() : end + 2;
        } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1]) &&
                   (i == 0 || (sql[i - 1] != ':' && !IsNameChar(sql[i - 1])))) {
            size_t j = i + 1;
            while (j < sql.size() && IsNameChar(sql[j])) ++j;
            out.Names.push_back(sql.substr(i + 1, j - i - 1));
            out.Sql += '?';
            i = j;
            continue;
        } else {
            out.Sql += c;
            ++i;
            continue;
        }
        out.Sql.append(sql, i, end - i);
        i = end;
    }
    return out;
}

} // namespace velkaro
