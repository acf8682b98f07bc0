#include "erp/db_query.h"

#include <algorithm>

#include "erp/nav_tables.h"
#include "erp/sql_params.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

TDbQuery::TDbQuery(std::shared_ptr<TDbBackend> backend, std::string sql)
    : FBackend(std::move(backend)), FSql(std::move(sql)) {
    TPositionalSql positional = ToPositionalSql(FSql);
    FPositionalSql = std::move(positional.Sql);
    FParamNames = std::move(positional.Names);
}

void TDbQuery::SetParam(const std::string& name, TDbParam param) {
    // Parameter names compare without regard to letter case, as in ADO.
    auto used = std::find_if(FParamNames.begin(), FParamNames.end(), [&](const auto& n) { return SameText(n, name); });
    if (used == FParamNames.end())
        throw Exception("Parameter „:" + name + "“ kommt in der Abfrage nicht vor: " + FSql);
    for (auto& [n, p] : FParams)
        if (SameText(n, name)) { p = std::move(param); return; }
    FParams.emplace_back(name, std::move(param));
}

void TDbQuery::SetText(const std::string& name, const std::string& value) {
    TDbParam p;
    p.Type = dpText;
    p.Text = value;
    SetParam(name, std::move(p));
}

void TDbQuery::SetInteger(const std::string& name, int64_t value) {
    TDbParam p;
    p.Type = dpInteger;
    p.Integer = value;
    SetParam(name, std::move(p));
}

void TDbQuery::SetDateTime(const std::string& name, TDateTime value) {
    TDbParam p;
    p.Type = dpDateTime;
    p.Date = value;
    SetParam(name, std::move(p));
}

void TDbQuery::Open() {
    std::vector<TDbParam> ordered;
    ordered.reserve(FParamNames.size());
    for (const auto& name : FParamNames) {
        auto it = std::find_if(FParams.begin(), FParams.end(), [&](const auto& p) { return SameText(p.first, name); });
        if (it == FParams.end()) throw Exception("Parameter „:" + name + "“ hat keinen Wert: " + FSql);
        ordered.push_back(it->second);
    }
    FCursor.reset();
    FOpen = false;
    FEof = true;
    FCursor = FBackend->Execute(FPositionalSql, ordered, FTimeout);
    FNames = FCursor->ColumnNames();
    FOpen = true;
    Next();
}

void TDbQuery::Next() {
    if (!FOpen || !FCursor) throw Exception("Die Abfrage ist nicht geöffnet.");
    FEof = !FCursor->Fetch(FRow);
    if (FEof) FRow.clear();
    FInvalid.clear();
}

std::string TDbQuery::CheckedText(const TDbValue& value, std::string_view column) const {
    std::string text = DbValueText(value);
    if (IsValidUtf8(text)) return text;
    if (std::find_if(FInvalid.begin(), FInvalid.end(), [&](const std::string& c) { return SameText(c, column); }) ==
        FInvalid.end())
        FInvalid.emplace_back(column);
    return SanitizeUtf8(text);
}

const std::string& TDbQuery::FieldName(int index) const {
    if (index < 0 || index >= FieldCount())
        throw Exception("Spalte Nr. " + std::to_string(index) + " gibt es in der Abfrage nicht.");
    return FNames[static_cast<size_t>(index)];
}

int TDbQuery::FindField(std::string_view name) const {
    for (size_t i = 0; i < FNames.size(); ++i)
        if (SameText(FNames[i], name)) return static_cast<int>(i);
    // Business Central 23 and later keep the fields of every extension of a table in one
    // companion table, each column named "<field>$<app id of the extension>".
    for (size_t i = 0; i < FNames.size(); ++i) {
        const std::string_view column = FNames[i];
        if (column.size() == name.size() + 37 && column[name.size()] == '$' && SameText(column.substr(0, name.size()), name) &&
            IsAppId(column.substr(name.size() + 1)))
            return static_cast<int>(i);
    }
    return -1;
}

const TDbValue& TDbQuery::Value(int index) const {
    FieldName(index);  // range check
    if (FEof) throw Exception("Kein aktueller Datensatz (Ende der Abfrage).");
    return FRow[static_cast<size_t>(index)];
}

const TDbValue& TDbQuery::Value(std::string_view name) const {
    int index = FindField(name);
    if (index < 0) throw Exception("Spalte „" + std::string(name) + "“ nicht gefunden.");
    return Value(index);
}

std::string TDbQuery::TrimmedText(int index) const { return Trim(Text(index)); }
std::string TDbQuery::TrimmedText(std::string_view name) const { return Trim(Text(name)); }

} // namespace velkaro
