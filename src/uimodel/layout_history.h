#pragma once
// Undo and redo of the layout designer: whole copies of the small layout, one per step,
// and a revision number that tells whether the working copy differs from the saved one.
#include <memory>
#include <string>
#include <vector>

#include "layoutmodel/layout_model.h"

namespace velkaro {

// Element lists, backgrounds and options equal field by field.
bool SameLayout(const TLayout& a, const TLayout& b);

struct TDesignerState {
    std::shared_ptr<const TLayout> Layout;
    int Selected = -1;
    bool ShowFirst = true;
    long Revision = 0;
};

class TLayoutHistory {
public:
    // Records `before` as the state to return to; `mergeKey` non-empty lets successive
    // edits with the same key (typing into one field) form a single step.
    void Record(TDesignerState before, const std::string& mergeKey);
    // Ends merging, so the next edit starts a step of its own.
    void Break() { lastKey_.clear(); }
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    // Swap `current` with the state one step back or forward.
    TDesignerState Undo(TDesignerState current);
    TDesignerState Redo(TDesignerState current);

    // Revisions: every recorded change gets a new one; the saved one is remembered.
    long NextRevision() { return ++lastRevision_; }

private:
    std::vector<TDesignerState> undo_, redo_;
    std::string lastKey_;
    long lastRevision_ = 0;
};

// A deep copy for the history.
std::shared_ptr<const TLayout> CopyLayout(const TLayout& layout);

} // namespace velkaro
