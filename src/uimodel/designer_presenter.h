#pragma once
// The layout designer without its widgets: the working copy of the layout, the
// selection and the shown page, the property panel's rules, moving and resizing with
// the mouse and the keyboard, free texts, the default layout, undo and redo, saving,
// the PDF preview and the live view of the real PDF, the recovery copy of unsaved changes.
#include <memory>
#include <string>
#include <vector>

#include "invoice/placeholders.h"
#include "layoutmodel/layout_model.h"
#include "platform/files.h"
#include "uimodel/designer_geometry.h"
#include "uimodel/designer_inputs.h"
#include "uimodel/designer_view.h"
#include "uimodel/layout_history.h"
#include "uimodel/view_services.h"

namespace velkaro {

enum TDragKind { dkNone, dkMove, dkResize };

// The zoom list's factors, in its order (1 = 100 %).
inline constexpr double kZoomFactors[] = {0.5, 0.75, 1, 1.25, 1.5};
enum TCanvasCursor { ccDefault, ccResize };

// The property fields that take typed text.
enum TDesignerField { dfX, dfY, dfWidth, dfHeight, dfFontSize, dfFile, dfText };

// What the property panel shows for the selection.
struct TDesignerControls {
    bool HasSelection = false;  // X, Y, width and height
    bool SizeEnabled = false;
    bool BoldEnabled = false;
    bool VisibleEnabled = false;
    bool ScopeEnabled = false;
    bool FileEnabled = false;
    bool TextEnabled = false;   // the text and the placeholder list
    bool AlignEnabled = false;
    bool DeleteEnabled = false; // "Text entfernen"
    std::string X, Y, Width, Height, FontSize, File, Text, Help;
    bool Bold = false;
    bool Visible = false;
    int Scope = -1;  // index into the scope list, -1 for none
    int Align = -1;
};

// What the live view shows: a PDF, or why there is none.
struct TLiveViewResult {
    std::string PdfFile;
    std::string Message;
};

class TDesignerPresenter {
public:
    // The working copy starts as the layout of `inputs` (or the default layout); the page
    // shows the seller of `documents` (or the made-up company when that fails).
    TDesignerPresenter(TDesignerView& view, TViewServices& services, TDesignerDocuments& documents,
                       TDesignerInputs inputs);

    const TLayout& Layout() const { return *layout_; }
    int Selected() const { return selected_; }
    const TLayoutElement* SelectedElement() const;
    bool ShowFirst() const { return showFirst_; }
    double PixelsPerMmNow() const { return pixelsPerMm_; }
    double ZoomFactor() const { return zoomFactor_; }
    TDragKind Drag() const { return drag_; }
    const TPlaceholderContext& SampleValues() const { return sample_; }
    const std::string& PreviewNumber() const { return preview_.No; }
    TDocumentKind PreviewKind() const { return preview_.Kind; }
    // A picture the layout names, found as the PDF finds it (relative: beside the settings).
    std::string PicturePath(const std::string& name) const { return PathBeside(inputs_.PictureFolder, name); }
    // A number typed into the preview field: tried as the kind shown last, then as the other.
    void SetPreviewNumber(const std::string& number) { preview_.No = number; }

    std::vector<std::string> ElementCaptions() const;
    TDesignerControls Controls() const;
    // "{Nr}  Rechnungsnummer" … in the order of the placeholder list.
    static std::vector<std::string> PlaceholderEntries();
    // The text an entry inserts: up to and including its first "}".
    static std::string PlaceholderToken(const std::string& entry);

    void SelectElement(int index);
    void ShowPage(bool first);
    // Zoom factors 0.5 … 1.5; anything else counts as 0.5.
    void SetZoomFactor(double factor);

    // A property field was edited; values the field does not take are ignored.
    void FieldChanged(TDesignerField field, const std::string& text);
    void BoldChanged(bool bold);
    void VisibleChanged(bool visible);
    void ScopeChosen(int index);
    void AlignChosen(int index);
    // A logo picked with the file dialog: its path, and the logo becomes visible.
    void LogoChosen(const std::string& path);
    void BackgroundsChanged(const std::string& first, const std::string& follow, bool followSameAsFirst);

    // Appends a free text on the shown page and selects it.
    void AddText();
    // Removes the selected free text.
    void RemoveText();
    // Asks, then resets positions, backgrounds and free texts.
    void ResetToDefaults();

    // Mouse on the paint box, in its pixels.
    void MouseDown(TPixelPoint p);
    TCanvasCursor MouseMove(TPixelPoint p);
    void MouseUp();
    // An arrow key while the focus is on neither a text nor a list field: steps of
    // 0.5 mm, with Shift 5 mm; not limited to the page. False when nothing is selected.
    bool MoveByKey(int stepsX, int stepsY, bool shift);

    bool CanUndo() const { return history_.CanUndo(); }
    bool CanRedo() const { return history_.CanRedo(); }
    void Undo();
    void Redo();
    // The working copy differs from the layout the designer started with or last saved.
    bool HasChanges() const { return revision_ != savedRevision_; }
    // Closing without saving: asks when there are changes; true when the window may close.
    bool ConfirmDiscard();
    // Saves into the layout file (its comments stay; pictures in or below the settings'
    // folder are named relative to it) and removes a recovery copy; on failure the message
    // and false (the window stays open). The caller hands the saved copy to the program.
    bool Save();

    // The file that keeps unsaved changes when the desktop ends without asking: beside the
    // layout file, named after it.
    std::string RecoveryFile() const { return inputs_.LayoutFile + ".wiederherstellung"; }
    // The desktop ends (logout, shutdown): unsaved changes go into the recovery copy; no
    // question, no message box. Returns the German reason when it could not be written,
    // else an empty text.
    std::string SaveRecoveryCopy();
    // At the opening: a recovery copy newer than the layout file is offered ("Ja" takes it
    // as an unsaved change, "Nein" discards it); an older one is superseded by the layout
    // file and removed. Either way the copy is gone afterwards.
    void OfferRecovery();
    // "PDF-Vorschau": the real invoice with the working copy, opened in the viewer.
    // False when the preview number is missing (the window then focuses its field).
    bool Preview();
    // The same for the live view beside the page: never shows a message box.
    TLiveViewResult RenderLiveView();

private:
    TDesignerState State() const;
    void Restore(const TDesignerState& state);
    // Every part of the window shows the state anew (after undo, redo, a recovery).
    void ShowEverything();
    // Runs an edit of the working copy and records it as one step when it changed anything.
    template <typename Edit>
    bool Change(const std::string& mergeKey, Edit edit);
    // Prints the preview document into `subfolder` of this process's private folder (0600
    // files): as the kind shown last, else as the other kind, which is then remembered.
    std::string PreviewPdf(const std::string& subfolder);
    TLayoutElement* Sel();

    TDesignerView& view_;
    TViewServices& services_;
    TDesignerDocuments& documents_;
    TDesignerInputs inputs_;
    TPreviewDocument preview_;
    std::unique_ptr<TLayout> layout_;
    TPlaceholderContext sample_;
    int selected_ = -1;
    bool showFirst_ = true;
    double zoomFactor_ = 0.75;
    double pixelsPerMm_;
    TDragKind drag_ = dkNone;
    TPixelPoint dragStart_;
    double orig_[4] = {0, 0, 0, 0};
    TDesignerState dragBefore_;
    TLayoutHistory history_;
    long revision_ = 0;
    long savedRevision_ = 0;
};

} // namespace velkaro
