#include "uimodel/designer_presenter.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/files.h"
#include "platform/private_temp.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr double kKeyStepMm = 0.5;
constexpr double kShiftKeyStepMm = 5;

bool IsTable(TElementKind kind) {
    return kind == ekTable || kind == ekFollowTable;
}

namespace fs = std::filesystem;

// Whether `file` was written after `than` (a missing `than` counts as older).
bool NewerThan(const std::string& file, const std::string& than) {
    std::error_code e1, e2;
    const auto written = fs::last_write_time(file, e1);
    const auto other = fs::last_write_time(than, e2);
    return !e1 && (e2 || written > other);
}

// Files of the preview folder are for this account alone (the folder itself is 0700).
void KeepPrivate(const std::string& folder) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec)) fs::permissions(entry.path(), fs::perms::owner_read | fs::perms::owner_write, ec);
}

TDocumentKind OtherKind(TDocumentKind kind) { return kind == bkInvoice ? bkCreditMemo : bkInvoice; }

} // namespace

TDesignerPresenter::TDesignerPresenter(TDesignerView& view, TViewServices& services, TDesignerDocuments& documents,
                                       TDesignerInputs inputs)
    : view_(view), services_(services), documents_(documents), inputs_(std::move(inputs)), preview_(inputs_.Preview),
      layout_(std::make_unique<TLayout>()), pixelsPerMm_(PixelsPerMm(0.75)) {
    if (inputs_.Layout)
        layout_->Assign(*inputs_.Layout);
    else
        layout_->SetDefaults(inputs_.LogoFile);
    inputs_.Layout = nullptr;  // the program's layout may change later; the copy is what counts
    TSeller seller = SampleSeller();
    try {
        seller = documents_.LoadSeller();
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
    ShowEverything();
    view_.LayoutEdited();
}

void TDesignerPresenter::ShowEverything() {
    view_.ElementListChanged();
    view_.PageChanged();
    view_.BackgroundsChanged();
    view_.SelectionChanged();
    view_.CanvasChanged();
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
        layout_->SetDefaults(inputs_.LogoFile);
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
        layout_->SaveToFile(inputs_.LayoutFile, inputs_.PictureFolder);
    } catch (const std::exception& e) {
        services_.Messages.Error(std::string("Layout konnte nicht gespeichert werden: ") + e.what());
        return false;
    }
    savedRevision_ = revision_;
    std::error_code ignored;
    fs::remove(RecoveryFile(), ignored);  // the saved layout holds everything now
    return true;
}

std::string TDesignerPresenter::SaveRecoveryCopy() {
    if (!HasChanges()) return "";
    try {
        layout_->SaveToFile(RecoveryFile(), inputs_.PictureFolder);
    } catch (const std::exception& e) {
        return std::string("Wiederherstellungskopie des Layouts nicht geschrieben: ") + e.what();
    }
    return "";
}

void TDesignerPresenter::OfferRecovery() {
    const std::string recovery = RecoveryFile();
    if (!FileExists(recovery)) return;
    std::error_code ignored;
    if (!NewerThan(recovery, inputs_.LayoutFile)) {
        fs::remove(recovery, ignored);
        return;
    }
    if (services_.Messages.Ask("Beim letzten Beenden hatte das Layout nicht gespeicherte Änderungen; sie wurden in \"" +
                               ExtractFileName(recovery) +
                               "\" gesichert. Wiederherstellen?\n\nJa: die Änderungen werden geladen (noch nicht "
                               "gespeichert).\nNein: die Sicherung wird verworfen.")) {
        history_.Break();
        Change("", [&] {
            layout_->LoadFromFile(recovery, inputs_.LogoFile);
            if (selected_ >= static_cast<int>(layout_->Elements.size())) selected_ = -1;
        });
        ShowEverything();
    }
    fs::remove(recovery, ignored);
}

std::string TDesignerPresenter::PreviewPdf(const std::string& subfolder) {
    const std::string folder = CombinePath(PrivateTempFolder(), subfolder);
    const TPreviewDocument asShown{Trim(preview_.No), preview_.Kind};
    std::string pdf;
    try {
        pdf = documents_.PrintPreview(*layout_, asShown, folder);
    } catch (const std::exception&) {
        // A typed number may be of the other kind; the first reason counts when it is not.
        const std::exception_ptr first = std::current_exception();
        try {
            pdf = documents_.PrintPreview(*layout_, {asShown.No, OtherKind(asShown.Kind)}, folder);
            preview_.Kind = OtherKind(asShown.Kind);
        } catch (const std::exception&) {
            std::rethrow_exception(first);
        }
    }
    KeepPrivate(folder);
    return pdf;
}

bool TDesignerPresenter::Preview() {
    if (Trim(preview_.No).empty()) {
        services_.Messages.Inform("Bitte eine Rechnungsnummer für die Vorschau eingeben.");
        return false;
    }
    std::string pdf;
    {
        TBusyScope busy(services_.Busy);
        try {
            pdf = PreviewPdf("Vorschau");
        } catch (const std::exception& e) {
            pdf.clear();
            services_.Messages.Error(std::string("Vorschau nicht möglich: ") + e.what());
        }
    }
    if (!pdf.empty()) services_.Opener.OpenPath(pdf);
    return true;
}

TLiveViewResult TDesignerPresenter::RenderLiveView() {
    if (Trim(preview_.No).empty())
        return {"", "Keine Ansicht: unten bei „Vorschau mit Rechnung“ eine Rechnungsnummer eingeben."};
    try {
        return {PreviewPdf("Live"), ""};
    } catch (const std::exception& e) {
        return {"", std::string("Keine Ansicht: ") + e.what()};
    }
}

} // namespace velkaro
