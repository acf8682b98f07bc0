#pragma once
// Named parameters written ":name" in SQL text, turned into the positional "?" that
// the backends bind. Quoted text ('…'), quoted names ("…", […]) and comments are
// left alone, so a time literal '12:30' or a column [a:b] is no parameter.
#include <string>
#include <vector>

namespace velkaro {

struct TPositionalSql {
    std::string Sql;                 // every ":name" replaced by "?"
    std::vector<std::string> Names;  // one entry per "?", in order; a name may repeat
};

TPositionalSql ToPositionalSql(const std::string& sql);

} // namespace velkaro
