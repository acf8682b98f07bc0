#pragma once
// What the layout designer's presenter tells its window: which parts of its state
// changed and must be shown again.
namespace velkaro {

class TDesignerView {
public:
    virtual ~TDesignerView() = default;
    // The rows of the element list (captions, number of rows).
    virtual void ElementListChanged() = 0;
    // The selected row and the property panel (filled with the window's updating guard).
    virtual void SelectionChanged() = 0;
    // "Seite 1" or "Folgeseite".
    virtual void PageChanged() = 0;
    // The paint box's size (zoom).
    virtual void ZoomChanged() = 0;
    // The background fields and whether the following page's field is enabled.
    virtual void BackgroundsChanged() = 0;
    // The page must be painted again.
    virtual void CanvasChanged() = 0;
    // The working copy changed as a finished step (not during a drag): undo state,
    // unsaved mark and the live view follow.
    virtual void LayoutEdited() = 0;
};

} // namespace velkaro
