#include "uimodel/designer_presenter.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "app/generate_invoice.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr double kKeyStepMm = 0.5;
constexpr double kShiftKeyStepMm = 5;

bool IsTable(TElementKind kind) {
    return kind == ekTable || kind == ekFollowTable;
}

std::string PreviewFolder() {
    return IncludeTrailingPathDelimiter(TempDir()) + "VelkaroVorschau";
}

} // namespace

TDesignerPresenter::TDesignerPresenter(TDesignerView& view, TViewServices& services, TSettings& settings,
                                       TNavData& data, std::string company, std::string previewNo)
    : view_(view), services_(services), settings_(settings), data_(data), company_(std::move(company)),
      previewNo_(std::move(previewNo)), pictureFolder_(ExtractFilePath(AbsolutePath(settings.FFileName))),
      layout_(std::make_unique<TLayout>()), pixelsPerMm_(PixelsPerMm(0.75)) {
    if (settings_.Layout)
        layout_->Assign(*settings_.Layout);
    else
        layout_->SetDefaults(settings_.LogoFile);
    TSeller seller = SampleSeller();
    try {
        seller = data_.LoadSeller(company_);
    } catch (const std::exception&) {
        // Without a database the page shows the made-up company.
    }
    sample_ = SampleContext(seller);
    const TLayoutElement* address = layout_->Find(ekAddress);
    for (size_t i = 0; i < layout_->Elements.size(); ++i)
        if (layout_->Elements[i].get() == address) selected_ = static_cast<int>(i);
}

const TLayoutElement* TDesignerPresenter::SelectedElement() const {
    return selected_ >= 0 ? layout_->Elements[selected_].get() : nullptr;
}

TLayoutElement* TDesignerPresenter::Sel() {
    return selected_ >= 0 ? layout_->Elements[selected_].get() : nullptr;
}

std::vector<std::string> TDesignerPresenter::ElementCaptions() const {
    std::vector<std::string> captions;
    for (const auto& e : layout_->Elements) captions.push_back(e->Caption());
    return captions;
}

TDesignerControls TDesignerPresenter::Controls() const {
    TDesignerControls c;
    const TLayoutElement* e = SelectedElement();
    if (!e) return c;
    c.HasSelection = true;
    c.SizeEnabled = e->Kind != ekLogo;
    c.BoldEnabled = e->Kind != ekLogo && !IsTable(e->Kind);
    c.VisibleEnabled = e->CanHide();
    c.ScopeEnabled = e->ScopeEditable();
    c.FileEnabled = e->Kind == ekLogo;
    c.TextEnabled = e->TextEditable();
    c.AlignEnabled = e->AlignEditable();
    c.DeleteEnabled = e->Kind == ekText;
    c.X = FormatMm(e->X);
    c.Y = FormatMm(e->Y);
    c.Width = FormatMm(e->W);
    c.Height = FormatMm(e->H);
    c.FontSize = FormatMm(e->FontSize);
    c.File = e->FileName;
    c.Text = e->Kind == ekLogo ? std::string() : e->Text;
    c.Help = HintText(e->Kind);
    c.Bold = e->Bold;
    c.Visible = e->Visible;
    c.Scope = e->Scope;
    c.Align = e->Align;
    return c;
}

std::vector<std::string> TDesignerPresenter::PlaceholderEntries() {
    std::vector<std::string> entries;
    for (const TPlaceholderInfo& info : PlaceholderList())
        entries.push_back("{" + info.Key + "}  " + info.Description);
    return entries;
}

std::string TDesignerPresenter::PlaceholderToken(const std::string& entry) {
    const size_t close = entry.find('}');
    return close == std::string::npos ? entry : entry.substr(0, close + 1);
}

TDesignerState TDesignerPresenter::State() const {
    return {CopyLayout(*layout_), selected_, showFirst_, revision_};
}

void TDesignerPresenter::Restore(const TDesignerState& state) {
    layout_->Assign(*state.Layout);
    selected_ = state.Selected < static_cast<int>(layout_->Elements.size()) ? state.Selected : -1;
    showFirst_ = state.ShowFirst;
    revision_ = state.Revision;
    view_.ElementListChanged();
    view_.PageChanged();
    view_.BackgroundsChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
    view_.LayoutEdited();
}

template <typename Edit>
bool TDesignerPresenter::Change(const std::string& mergeKey, Edit edit) {
    TDesignerState before = State();
    edit();
    if (SameLayout(*before.Layout, *layout_)) return false;
    history_.Record(std::move(before), mergeKey);
    revision_ = history_.NextRevision();
    view_.LayoutEdited();
    return true;
}

void TDesignerPresenter::SelectElement(int index) {
    if (index < -1 || index >= static_cast<int>(layout_->Elements.size())) index = -1;
    if (index != selected_) history_.Break();
    selected_ = index;
    if (selected_ >= 0 && !layout_->Elements[selected_]->OnPage(showFirst_)) ShowPage(!showFirst_);
    view_.SelectionChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::ShowPage(bool first) {
    if (first == showFirst_) return;
    showFirst_ = first;
    if (selected_ >= 0 && !layout_->Elements[selected_]->OnPage(showFirst_)) {
        selected_ = -1;
        history_.Break();
        view_.SelectionChanged();
    }
    view_.PageChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::SetZoomFactor(double factor) {
    zoomFactor_ = std::find(std::begin(kZoomFactors), std::end(kZoomFactors), factor) != std::end(kZoomFactors)
                      ? factor
                      : kZoomFactors[0];
    pixelsPerMm_ = PixelsPerMm(zoomFactor_);
    view_.ZoomChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::FieldChanged(TDesignerField field, const std::string& text) {
    TLayoutElement* e = Sel();
    if (!e) return;
    const std::string caption = e->Caption();
    const std::string key = "field " + std::to_string(field) + " " + std::to_string(selected_);
    Change(key, [&] {
        if (field == dfText) {
            e->Text = text;
            return;
        }
        if (field == dfFile) {
            e->FileName = Trim(text);
            return;
        }
        const std::optional<double> value = ParseMm(text);
        if (!value) return;
        switch (field) {
        case dfX: e->X = *value; break;
        case dfY: e->Y = *value; break;
        case dfWidth:
            if (*value >= kMinElementMm) e->W = *value;
            break;
        case dfHeight:
            if (*value >= kMinElementMm) e->H = *value;
            break;
        case dfFontSize:
            if (*value >= kMinFontSize && *value <= kMaxFontSize) e->FontSize = *value;
            break;
        default: break;
        }
    });
    if (e->Caption() != caption) view_.ElementListChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::BoldChanged(bool bold) {
    TLayoutElement* e = Sel();
    if (!e) return;
    history_.Break();
    Change("", [&] { e->Bold = bold; });
    view_.CanvasChanged();
}

void TDesignerPresenter::VisibleChanged(bool visible) {
    TLayoutElement* e = Sel();
    if (!e) return;
    if (!visible && IsTable(e->Kind)) return;
    history_.Break();
    if (Change("", [&] { e->Visible = visible; })) view_.ElementListChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::ScopeChosen(int index) {
    TLayoutElement* e = Sel();
    if (!e || index < psFirst || index > psAll) return;
    history_.Break();
    Change("", [&] { e->Scope = static_cast<TPageScope>(index); });
    view_.CanvasChanged();
}

void TDesignerPresenter::AlignChosen(int index) {
    TLayoutElement* e = Sel();
    if (!e || index < baLeft || index > baRight) return;
    history_.Break();
    Change("", [&] { e->Align = static_cast<TBlockAlign>(index); });
    view_.CanvasChanged();
}

void TDesignerPresenter::LogoChosen(const std::string& path) {
    TLayoutElement* e = Sel();
    if (!e || e->Kind != ekLogo) return;
    history_.Break();
    Change("", [&] {
        e->FileName = Trim(path);
        e->Visible = true;
    });
    view_.ElementListChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::BackgroundsChanged(const std::string& first, const std::string& follow,
                                            bool followSameAsFirst) {
    Change("backgrounds", [&] {
        layout_->BackgroundFirst = Trim(first);
        layout_->BackgroundFollow = Trim(follow);
        layout_->FollowSameAsFirst = followSameAsFirst;
    });
    view_.BackgroundsChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::AddText() {
    history_.Break();
    Change("", [&] {
        layout_->AddText(showFirst_);
        selected_ = static_cast<int>(layout_->Elements.size()) - 1;
    });
    view_.ElementListChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::RemoveText() {
    const TLayoutElement* e = Sel();
    if (!e || e->Kind != ekText) return;
    history_.Break();
    Change("", [&] {
        layout_->Elements.erase(layout_->Elements.begin() + selected_);
        selected_ = -1;
    });
    view_.ElementListChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::ResetToDefaults() {
    if (!services_.Messages.Ask("Alle Positionen auf das Standardlayout zurücksetzen? Hintergrundbilder und freie "
                                "Texte gehen verloren."))
        return;
    history_.Break();
    Change("", [&] {
        layout_->SetDefaults(settings_.LogoFile);
        selected_ = -1;
    });
    view_.ElementListChanged();
    view_.BackgroundsChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
}

void TDesignerPresenter::MouseDown(TPixelPoint p) {
    const THit hit = HitTest(*layout_, selected_, showFirst_, pixelsPerMm_, p);
    SelectElement(hit.Index);
    if (hit.Index < 0) return;
    dragBefore_ = State();
    const TLayoutElement& e = *layout_->Elements[hit.Index];
    drag_ = hit.Handle ? dkResize : dkMove;
    dragStart_ = p;
    orig_[0] = e.X;
    orig_[1] = e.Y;
    orig_[2] = e.W;
    orig_[3] = e.H;
}

TCanvasCursor TDesignerPresenter::MouseMove(TPixelPoint p) {
    TLayoutElement* e = Sel();
    if (drag_ == dkNone || !e) {
        const THit hit = HitTest(*layout_, selected_, showFirst_, pixelsPerMm_, p);
        return hit.Handle ? ccResize : ccDefault;
    }
    const double dx = (p.X - dragStart_.X) / pixelsPerMm_;
    const double dy = (p.Y - dragStart_.Y) / pixelsPerMm_;
    if (drag_ == dkMove) {
        e->X = std::clamp(SnapHalfMm(orig_[0] + dx), kKeepOnPageMm - e->W, kPageWidthMm - kKeepOnPageMm);
        e->Y = std::clamp(SnapHalfMm(orig_[1] + dy), kKeepOnPageMm - e->H, kPageHeightMm - kKeepOnPageMm);
    } else {
        e->W = std::max(SnapHalfMm(orig_[2] + dx), kMinElementMm);
        e->H = std::max(SnapHalfMm(orig_[3] + dy), kMinElementMm);
    }
    view_.SelectionChanged();
    view_.CanvasChanged();
    return drag_ == dkResize ? ccResize : ccDefault;
}

void TDesignerPresenter::MouseUp() {
    if (drag_ == dkNone) return;
    drag_ = dkNone;
    if (dragBefore_.Layout && !SameLayout(*dragBefore_.Layout, *layout_)) {
        history_.Break();
        history_.Record(std::move(dragBefore_), "");
        revision_ = history_.NextRevision();
        view_.LayoutEdited();
    }
    dragBefore_ = {};
}

bool TDesignerPresenter::MoveByKey(int stepsX, int stepsY, bool shift) {
    TLayoutElement* e = Sel();
    if (!e) return false;
    const double step = shift ? kShiftKeyStepMm : kKeyStepMm;
    Change("keys " + std::to_string(selected_), [&] {
        e->X += stepsX * step;
        e->Y += stepsY * step;
    });
    view_.SelectionChanged();
    view_.CanvasChanged();
    return true;
}

void TDesignerPresenter::Undo() {
    if (!history_.CanUndo() || drag_ != dkNone) return;
    Restore(history_.Undo(State()));
}

void TDesignerPresenter::Redo() {
    if (!history_.CanRedo() || drag_ != dkNone) return;
    Restore(history_.Redo(State()));
}

bool TDesignerPresenter::ConfirmDiscard() {
    return !HasChanges() || services_.Messages.Ask("Änderungen am Layout verwerfen?");
}

bool TDesignerPresenter::Save() {
    try {
        layout_->SaveToFile(settings_.LayoutFile);
    } catch (const std::exception& e) {
        services_.Messages.Error(std::string("Layout konnte nicht gespeichert werden: ") + e.what());
        return false;
    }
    if (!settings_.Layout) settings_.Layout = std::make_unique<TLayout>();
    settings_.Layout->Assign(*layout_);
    savedRevision_ = revision_;
    return true;
}

std::string TDesignerPresenter::PreviewPdf(const std::string& folder) {
    // The preview's own output: its folder, no XML file; the settings stay as they are.
    return GenerateInvoicePdf(data_, settings_, TRunOptions{folder, false}, *layout_, company_, Trim(previewNo_),
                              [](const std::string&) {});
}

bool TDesignerPresenter::Preview() {
    if (Trim(previewNo_).empty()) {
        services_.Messages.Inform("Bitte eine Rechnungsnummer für die Vorschau eingeben.");
        return false;
    }
    std::string pdf;
    {
        TBusyScope busy(services_.Busy);
        try {
            pdf = PreviewPdf(PreviewFolder());
        } catch (const std::exception& e) {
            pdf.clear();
            services_.Messages.Error(std::string("Vorschau nicht möglich: ") + e.what());
        }
    }
    if (!pdf.empty()) services_.Opener.OpenPath(pdf);
    return true;
}

TLiveViewResult TDesignerPresenter::RenderLiveView() {
    if (Trim(previewNo_).empty())
        return {"", "Keine Ansicht: unten bei „Vorschau mit Rechnung“ eine Rechnungsnummer eingeben."};
    try {
        return {PreviewPdf(IncludeTrailingPathDelimiter(PreviewFolder()) + "Live"), ""};
    } catch (const std::exception& e) {
        return {"", std::string("Keine Ansicht: ") + e.what()};
    }
}

} // namespace velkaro
