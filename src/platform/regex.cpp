#define PCRE2_CODE_UNIT_WIDTH 8
#include "platform/regex.h"

#include <pcre2.h>

#include <memory>

#include "platform/error.h"

namespace velkaro {

struct TRegex::Code {
    pcre2_code* Compiled = nullptr;
};

namespace {
struct MatchDataDeleter {
    void operator()(pcre2_match_data* md) const { pcre2_match_data_free(md); }
};
} // namespace

TRegex::TRegex(std::string_view pattern, unsigned options) : FCode(new Code) {
    uint32_t flags = 0;
    if (options & roIgnoreCase) flags |= PCRE2_CASELESS;
    if (options & roDotAll) flags |= PCRE2_DOTALL;
    if (options & roUtf) flags |= PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    FCode->Compiled = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags, &error,
                                    &errorOffset, nullptr);
    if (!FCode->Compiled) {
        PCRE2_UCHAR message[256];
        pcre2_get_error_message(error, message, sizeof message);
        delete FCode;
        throw Exception("Regulärer Ausdruck ungültig an Position " + std::to_string(errorOffset) + ": " +
                        reinterpret_cast<const char*>(message));
    }
}

TRegex::~TRegex() {
    pcre2_code_free(FCode->Compiled);
    delete FCode;
}

std::optional<TRegexMatch> TRegex::FindFrom(std::string_view text, size_t start, bool notEmptyAtStart) const {
    if (start > text.size()) return std::nullopt;
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> md(
        pcre2_match_data_create_from_pattern(FCode->Compiled, nullptr));
    if (!md) return std::nullopt;
    // A null subject pointer is only allowed with length 0 in newer PCRE2; pass "" instead.
    const char* subject = text.data() ? text.data() : "";
    int rc = pcre2_match(FCode->Compiled, reinterpret_cast<PCRE2_SPTR>(subject), text.size(), start,
                         notEmptyAtStart ? PCRE2_NOTEMPTY_ATSTART : 0, md.get(), nullptr);
    if (rc <= 0) return std::nullopt;  // no match, or a matching error: treated alike
    uint32_t pairs = pcre2_get_ovector_count(md.get());
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md.get());
    TRegexMatch m;
    m.Groups.resize(pairs);
    m.GroupSet.resize(pairs, false);
    for (uint32_t i = 0; i < pairs; ++i) {
        if (ov[2 * i] == PCRE2_UNSET || ov[2 * i + 1] < ov[2 * i]) continue;
        m.Groups[i] = text.substr(ov[2 * i], ov[2 * i + 1] - ov[2 * i]);
        m.GroupSet[i] = true;
    }
    m.Position = ov[0];
    return m;
}

std::optional<TRegexMatch> TRegex::Find(std::string_view text, size_t start) const {
    return FindFrom(text, start, false);
}

void TRegex::ForEachMatch(std::string_view text, const std::function<void(const TRegexMatch&)>& visit) const {
    size_t pos = 0;
    bool lastEmpty = false;
    while (auto m = FindFrom(text, pos, lastEmpty)) {
        size_t end = m->Position + m->Groups[0].size();
        // \K or look-arounds can in theory report an end before the start offset.
        if (end < pos) break;
        visit(*m);
        lastEmpty = m->Groups[0].empty();
        pos = end;
    }
}

std::string TRegex::Replace(std::string_view text, const TMatchEvaluator& evaluator) const {
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    ForEachMatch(text, [&](const TRegexMatch& m) {
        if (m.Position < copied) return;  // overlapping report (\K): keep the text as it is
        out.append(text.substr(copied, m.Position - copied));
        out += evaluator(m);
        copied = m.Position + m.Groups[0].size();
    });
    out.append(text.substr(copied));
    return out;
}

} // namespace velkaro
