#pragma once
// A query on an open backend: SQL text with named parameters ":name", a command
// time-out (120 seconds unless set otherwise) and typed access to the current row by
// column name (letter case ignored) or index. NULL reads as empty text, 0 and date 0.
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "erp/db_backend.h"

namespace velkaro {

class TDbQuery {
public:
    static constexpr std::chrono::seconds kCommandTimeout{120};

    TDbQuery(std::shared_ptr<TDbBackend> backend, std::string sql);
    TDbQuery(const TDbQuery&) = delete;
    TDbQuery& operator=(const TDbQuery&) = delete;

    // Parameters by name without the colon. A name the SQL does not use is an error.
    void SetText(const std::string& name, const std::string& value);
    void SetInteger(const std::string& name, int64_t value);
    void SetDateTime(const std::string& name, TDateTime value);
    // Shorter limits serve tests; the program keeps the default.
    void SetCommandTimeout(std::chrono::milliseconds timeout) { FTimeout = timeout; }

    // Executes and moves to the first row. Every parameter of the SQL must be set.
    void Open();
    bool Eof() const { return FEof; }
    void Next();

    int FieldCount() const { return static_cast<int>(FNames.size()); }
    const std::string& FieldName(int index) const;
    // Index of the column; -1 when there is none. A column "<name>$<app id>" (an
    // extension's field in a shared companion table) answers to "<name>" too.
    int FindField(std::string_view name) const;

    bool IsNull(int index) const { return Value(index).IsNull(); }
    bool IsNull(std::string_view name) const { return Value(name).IsNull(); }
    // As delivered, except bytes that are not UTF-8: each becomes U+FFFD, and the
    // column is noted in InvalidTextColumns.
    std::string Text(int index) const { return CheckedText(Value(index), FieldName(index)); }
    std::string Text(std::string_view name) const { return CheckedText(Value(name), name); }
    // Trimmed of the characters up to U+0020 at both ends.
    std::string TrimmedText(int index) const;
    std::string TrimmedText(std::string_view name) const;
    TDateTime Date(int index) const { return DbValueDate(Value(index), FieldName(index)); }
    TDateTime Date(std::string_view name) const { return DbValueDate(Value(name), name); }
    int32_t Integer(int index) const { return DbValueInt32(Value(index), FieldName(index)); }
    int32_t Integer(std::string_view name) const { return DbValueInt32(Value(name), name); }
    double Float(int index) const { return DbValueDouble(Value(index), FieldName(index)); }
    double Float(std::string_view name) const { return DbValueDouble(Value(name), name); }
    Currency Money(int index) const { return DbValueCurrency(Value(index), FieldName(index)); }
    Currency Money(std::string_view name) const { return DbValueCurrency(Value(name), name); }

    const TDbValue& Value(int index) const;
    const TDbValue& Value(std::string_view name) const;

    // The columns of the current row whose text had bytes that are not UTF-8, as read
    // (in the order first met, each once); emptied by Next.
    const std::vector<std::string>& InvalidTextColumns() const { return FInvalid; }

private:
    std::string CheckedText(const TDbValue& value, std::string_view column) const;

    void SetParam(const std::string& name, TDbParam param);

    std::shared_ptr<TDbBackend> FBackend;
    std::string FSql;
    std::vector<std::string> FParamNames;  // one per "?"
    std::string FPositionalSql;
    std::vector<std::pair<std::string, TDbParam>> FParams;  // by name, as set
    std::chrono::milliseconds FTimeout = kCommandTimeout;
    std::unique_ptr<TDbCursor> FCursor;
    std::vector<std::string> FNames;
    std::vector<TDbValue> FRow;
    mutable std::vector<std::string> FInvalid;
    bool FOpen = false;
    bool FEof = true;
};

} // namespace velkaro
