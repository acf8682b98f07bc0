#include "uimodel/layout_history.h"

#include <utility>

namespace velkaro {

namespace {

bool SameElement(const TLayoutElement& a, const TLayoutElement& b) {
    return a.Kind == b.Kind && a.X == b.X && a.Y == b.Y && a.W == b.W && a.H == b.H && a.FontSize == b.FontSize &&
           a.Bold == b.Bold && a.Visible == b.Visible && a.Scope == b.Scope && a.Align == b.Align &&
           a.Text == b.Text && a.FileName == b.FileName;
}

} // namespace

bool SameLayout(const TLayout& a, const TLayout& b) {
    if (a.BackgroundFirst != b.BackgroundFirst || a.BackgroundFollow != b.BackgroundFollow ||
        a.FollowSameAsFirst != b.FollowSameAsFirst || a.Elements.size() != b.Elements.size())
        return false;
    for (size_t i = 0; i < a.Elements.size(); ++i)
        if (!SameElement(*a.Elements[i], *b.Elements[i])) return false;
    return true;
}

std::shared_ptr<const TLayout> CopyLayout(const TLayout& layout) {
    auto copy = std::make_shared<TLayout>();
    copy->Assign(layout);
    return copy;
}

void TLayoutHistory::Record(TDesignerState before, const std::string& mergeKey) {
    redo_.clear();
    if (!mergeKey.empty() && mergeKey == lastKey_ && !undo_.empty()) return;
    undo_.push_back(std::move(before));
    lastKey_ = mergeKey;
}

TDesignerState TLayoutHistory::Undo(TDesignerState current) {
    lastKey_.clear();
    TDesignerState previous = std::move(undo_.back());
    undo_.pop_back();
    redo_.push_back(std::move(current));
    return previous;
}

TDesignerState TLayoutHistory::Redo(TDesignerState current) {
    lastKey_.clear();
    TDesignerState next = std::move(redo_.back());
    redo_.pop_back();
    undo_.push_back(std::move(current));
    return next;
}

} // namespace velkaro
