#include "config/name_value_list.h"

#include "platform/fold_case.h"

namespace velkaro {

int TNameValueList::IndexOfName(const std::string& name) const {
    auto it = FIndex.find(FoldCase(name));
    return it == FIndex.end() ? -1 : static_cast<int>(it->second);
}

std::string TNameValueList::Value(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : FItems[static_cast<size_t>(i)].second;
}

void TNameValueList::Append(const std::string& name, std::string folded, const std::string& value) {
    FIndex.emplace(folded, FItems.size());
    FItems.emplace_back(name, value);
    FFolded.push_back(std::move(folded));
}

void TNameValueList::SetValue(const std::string& name, const std::string& value) {
    if (value.empty()) {
        Remove(name);
        return;
    }
    std::string folded = FoldCase(name);
    auto it = FIndex.find(folded);
    if (it != FIndex.end())
        FItems[it->second].second = value;
    else
        Append(name, std::move(folded), value);
}

void TNameValueList::SetValues(const Entries& pairs) {
    // Removed entries stay in place, out of the index, until the end: a name set again
    // after its removal is appended as a new entry, as SetValue would do.
    std::vector<bool> removed(FItems.size(), false);
    bool anyRemoved = false;
    for (const auto& [name, value] : pairs) {
        std::string folded = FoldCase(name);
        auto it = FIndex.find(folded);
        if (it != FIndex.end()) {
            if (value.empty()) {
                removed[it->second] = true;
                anyRemoved = true;
                FIndex.erase(it);
            } else {
                FItems[it->second].second = value;
            }
        } else if (!value.empty()) {
            Append(name, std::move(folded), value);
            removed.push_back(false);
        }
    }
    if (anyRemoved) Compact(removed);
}

void TNameValueList::Remove(const std::string& name) {
    int i = IndexOfName(name);
    if (i < 0) return;
    std::vector<bool> removed(FItems.size(), false);
    removed[static_cast<size_t>(i)] = true;
    Compact(removed);
}

void TNameValueList::Compact(const std::vector<bool>& removed) {
    size_t kept = 0;
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (removed[i]) continue;
        if (kept != i) {
            FItems[kept] = std::move(FItems[i]);
            FFolded[kept] = std::move(FFolded[i]);
        }
        ++kept;
    }
    FItems.resize(kept);
    FFolded.resize(kept);
    FIndex.clear();
    for (size_t i = 0; i < FFolded.size(); ++i) FIndex.emplace(FFolded[i], i);
}

} // namespace velkaro
