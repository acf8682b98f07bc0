#include "platform/bidi.h"

#include <fribidi.h>

namespace velkaro {

namespace {

// The types that can make the algorithm change the order of a line: right-to-left
// letters, Arabic digits, and the explicit right-to-left controls.
bool IsRtlType(FriBidiCharType t) {
    return t == FRIBIDI_TYPE_RTL || t == FRIBIDI_TYPE_AL || t == FRIBIDI_TYPE_AN || t == FRIBIDI_TYPE_RLE ||
           t == FRIBIDI_TYPE_RLO || t == FRIBIDI_TYPE_RLI;
}

std::vector<FriBidiChar> Chars(std::u32string_view line) {
    return std::vector<FriBidiChar>(line.begin(), line.end());
}

} // namespace

bool HasRightToLeft(std::u32string_view line) {
    for (char32_t c : line)
        if (IsRtlType(fribidi_get_bidi_type(c))) return true;
    return false;
}

bool IsRightToLeftLine(std::u32string_view line) {
    if (line.empty()) return false;
    std::vector<FriBidiChar> chars = Chars(line);
    std::vector<FriBidiCharType> types(chars.size());
    fribidi_get_bidi_types(chars.data(), static_cast<FriBidiStrIndex>(chars.size()), types.data());
    return fribidi_get_par_direction(types.data(), static_cast<FriBidiStrIndex>(chars.size())) == FRIBIDI_PAR_RTL;
}

std::vector<TBidiRun> VisualRuns(std::u32string_view line) {
    std::vector<TBidiRun> runs;
    if (line.empty()) return runs;
    if (!HasRightToLeft(line)) {
        runs.push_back({0, line.size(), false});
        return runs;
    }
    const auto n = static_cast<FriBidiStrIndex>(line.size());
    std::vector<FriBidiChar> chars = Chars(line);
    std::vector<FriBidiCharType> types(line.size());
    std::vector<FriBidiBracketType> brackets(line.size());
    std::vector<FriBidiLevel> levels(line.size());
    std::vector<FriBidiStrIndex> map(line.size());
    fribidi_get_bidi_types(chars.data(), n, types.data());
    fribidi_get_bracket_types(chars.data(), n, types.data(), brackets.data());
    FriBidiParType base = FRIBIDI_PAR_ON;
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &base, levels.data()) == 0) {
        runs.push_back({0, line.size(), false}); // out of memory in FriBidi: keep the logical order
        return runs;
    }
    for (FriBidiStrIndex i = 0; i < n; ++i) map[i] = i;
    // No flags: marks stay behind their base characters in logical order, so every
    // right-to-left run is one descending stretch that the shaping takes as a whole.
    if (fribidi_reorder_line(0, types.data(), n, 0, base, levels.data(), nullptr, map.data()) == 0) {
        runs.assign(1, {0, line.size(), false});
        return runs;
    }

    // map[v] is the character shown at visual position v; levels stay in logical order.
    auto level = [&](FriBidiStrIndex v) { return levels[map[v]]; };
    for (FriBidiStrIndex v = 0; v < n;) {
        const bool rtl = (level(v) & 1) != 0;
        FriBidiStrIndex end = v + 1;
        while (end < n && level(end) == level(v) && map[end] == map[end - 1] + (rtl ? -1 : 1)) ++end;
        const auto first = static_cast<size_t>(rtl ? map[end - 1] : map[v]);
        runs.push_back({first, static_cast<size_t>(end - v), rtl});
        v = end;
    }
    return runs;
}

} // namespace velkaro
