#pragma once
// Perl-compatible regular expressions (PCRE2). A compiled TRegex is immutable, so one
// instance may be shared by threads (function-local statics); every search uses its
// own match data. Matching never throws: odd input or a PCRE2 matching error simply
// ends the search as "no (further) match".
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

enum TRegexOption : unsigned {
    roNone = 0,
    roIgnoreCase = 1u << 0,  // letter case ignored
    roDotAll = 1u << 1,      // "." also matches line breaks
    // Match by UTF-8 characters with Unicode properties; invalid UTF-8 in the subject is
    // never matched but raises no error. Without it the pattern works byte-wise, which is
    // exact for ASCII delimiters and lets ".*" run over any bytes.
    roUtf = 1u << 2,
};

struct TRegexMatch {
    size_t Position = 0;                  // byte offset of the whole match in the subject
    std::vector<std::string_view> Groups; // [0] the whole match; unset groups are empty
    std::vector<bool> GroupSet;           // whether group i took part in the match

    std::string_view Group(size_t i) const { return i < Groups.size() ? Groups[i] : std::string_view(); }
    bool Matched(size_t i) const { return i < GroupSet.size() && GroupSet[i]; }
};

using TMatchEvaluator = std::function<std::string(const TRegexMatch&)>;

class TRegex {
public:
    // A pattern that does not compile is a programming error: throws velkaro::Exception.
    explicit TRegex(std::string_view pattern, unsigned options = roNone);
    ~TRegex();
    TRegex(const TRegex&) = delete;
    TRegex& operator=(const TRegex&) = delete;

    // First match at or after byte offset `start`.
    std::optional<TRegexMatch> Find(std::string_view text, size_t start = 0) const;
    bool IsMatch(std::string_view text) const { return Find(text).has_value(); }
    // All non-overlapping matches from left to right (Perl's rules for empty matches).
    void ForEachMatch(std::string_view text, const std::function<void(const TRegexMatch&)>& visit) const;
    // Unmatched stretches copied unchanged, each match replaced by the evaluator's text.
    std::string Replace(std::string_view text, const TMatchEvaluator& evaluator) const;

private:
    std::optional<TRegexMatch> FindFrom(std::string_view text, size_t start, bool notEmptyAtStart) const;
    struct Code;
    Code* FCode;
};

} // namespace velkaro
