#pragma once
// An ordered name=value list whose names compare without regard to letter case
// (Unicode case folding, platform/fold_case.h). Used for the code maps of the settings.
#include <string>
#include <utility>
#include <vector>

namespace velkaro {

class TNameValueList {
public:
    // Index of the entry with this name, or -1.
    int IndexOfName(const std::string& name) const;
    bool Contains(const std::string& name) const { return IndexOfName(name) >= 0; }
    // Value of the entry with this name; empty when there is none.
    std::string Value(const std::string& name) const;
    // Replaces the value of an existing entry, appends a new one; an empty value removes the entry.
    void SetValue(const std::string& name, const std::string& value);
    void Remove(const std::string& name);
    void Clear() {
        FItems.clear();
        FFolded.clear();
    }
    size_t Count() const { return FItems.size(); }
    const std::pair<std::string, std::string>& operator[](size_t i) const { return FItems[i]; }
    const std::vector<std::pair<std::string, std::string>>& Items() const { return FItems; }

private:
    std::vector<std::pair<std::string, std::string>> FItems;
    std::vector<std::string> FFolded;  // FoldCase of each name, so a lookup folds only the key
};

} // namespace velkaro
