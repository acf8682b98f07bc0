#pragma once
// An ordered name=value list whose names compare without regard to letter case
// (Unicode case folding, platform/fold_case.h). Used for the code maps of the settings.
// Lookups go through a hash index, so filling a list is linear in its size.
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velkaro {

class TNameValueList {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;

    // Index of the entry with this name, or -1.
    int IndexOfName(const std::string& name) const;
    bool Contains(const std::string& name) const { return IndexOfName(name) >= 0; }
    // Value of the entry with this name; empty when there is none.
    std::string Value(const std::string& name) const;
    // Replaces the value of an existing entry, appends a new one; an empty value removes the entry.
    void SetValue(const std::string& name, const std::string& value);
    // SetValue for each pair in order, with the removals done in one pass at the end:
    // linear in the number of pairs however many of them remove entries.
    void SetValues(const Entries& pairs);
    void Remove(const std::string& name);
    void Clear() {
        FItems.clear();
        FFolded.clear();
        FIndex.clear();
    }
    size_t Count() const { return FItems.size(); }
    const std::pair<std::string, std::string>& operator[](size_t i) const { return FItems[i]; }
    const Entries& Items() const { return FItems; }

private:
    // Appends an entry whose folded name is not in the index yet.
    void Append(const std::string& name, std::string folded, const std::string& value);
    // Removes the entries marked, keeping the order of the others, and renumbers the index.
    void Compact(const std::vector<bool>& removed);

    Entries FItems;
    std::vector<std::string> FFolded;                // FoldCase of each name
    std::unordered_map<std::string, size_t> FIndex;  // folded name -> position in FItems
};

} // namespace velkaro
