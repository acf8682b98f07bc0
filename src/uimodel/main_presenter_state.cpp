// What the main window allows while a run works or the session ends, and the check of
// the marked documents before the question of a mailing.
#include "uimodel/main_presenter.h"

namespace velkaro {

namespace {

// What only shows or reads and so stays usable while a run works.
bool Reading(TMainCommand command) { return command == mcOpenOutputFolder || command == mcHelp; }

} // namespace

bool TMainPresenter::Enabled(TMainCommand command) const {
    if (Reading(command)) return true;
    if (FEnding) return false;
    if (FRunKind != rkNone) return command == mcCancel;
    return command != mcCancel;
}

void TMainPresenter::EndSession() noexcept {
    FEnding = true;
    try {
        if (FRunKind != rkNone) {
            FCancelRequested = true;
            Log("Programmende angefordert: der Lauf hält nach dem aktuellen Beleg an.");
        }
    } catch (...) {
        // Ending never fails; the values below must be saved.
    }
    StoreUserValues();
}

void TMainPresenter::CheckFindings(const std::vector<size_t>& rows) {
    std::vector<TRunDocument> unknown;
    for (size_t row : rows)
        if (const TInvoiceRow& r = FInvoices.Row(row); !r.FindingsKnown) unknown.push_back({r.Item.Kind, r.No()});
    if (unknown.empty()) return;
    TBusyScope busy(FServices.Busy);
    for (const TRunDocument& doc : unknown) {
        try {
            FInvoices.SetFindings(doc.No, FindingsText(FSession.CheckDocument(Company(), doc.No, doc.Kind)));
        } catch (const std::exception&) {
            // A document that cannot be loaded is not counted here; its mailing says why.
        }
    }
}

} // namespace velkaro
