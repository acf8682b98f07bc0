#include "config/name_value_list.h"

#include "platform/fold_case.h"

namespace velkaro {

int TNameValueList::IndexOfName(const std::string& name) const {
    std::string key = FoldCase(name);
    for (size_t i = 0; i < FFolded.size(); ++i)
        if (FFolded[i] == key) return static_cast<int>(i);
    return -1;
}

std::string TNameValueList::Value(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : FItems[static_cast<size_t>(i)].second;
}

void TNameValueList::SetValue(const std::string& name, const std::string& value) {
    if (value.empty()) {
        Remove(name);
        return;
    }
    int i = IndexOfName(name);
    if (i >= 0) {
        FItems[static_cast<size_t>(i)].second = value;
        return;
    }
    FItems.emplace_back(name, value);
    FFolded.push_back(FoldCase(name));
}

void TNameValueList::Remove(const std::string& name) {
    int i = IndexOfName(name);
    if (i < 0) return;
    FItems.erase(FItems.begin() + i);
    FFolded.erase(FFolded.begin() + i);
}

} // namespace velkaro
