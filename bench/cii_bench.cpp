// Builds the Cross Industry Invoice of a calculated 50-line invoice (each item with a
// description line). Target: median under 0.2 ms.
// Checks the same invoice against the EN 16931 rules. Target: under 2 % of the time
// per invoice of the batch (bench/batch_bench.sh).
#include <benchmark/benchmark.h>

#include <string>

#include "cii/cii_document.h"
#include "cii/en16931_check.h"

namespace velkaro {
namespace {

TInvoice FiftyLineInvoice(const TTaxRules& rules) {
    TInvoice inv;
    inv.No = "RE-2026-0050";
    inv.CustomerNo = "K10001";
    inv.BillTo = {"Müller & Söhne GmbH", "Einkauf", "Bahnhofstr. 5", "", "50667", "Köln", "", "DE", "DE", "", "Frau S."};
    inv.PostingDate = inv.DocumentDate = inv.DueDate = 46350;
    inv.PayTermsText = "14 Tage netto";
    inv.PmtDiscPct = 2;
    inv.PmtDiscDate = 46357;
    for (int k = 1; k <= 50; ++k) {
        TInvLine item;
        item.LineNo = k * 20;
        item.LineType = 2;
        item.ItemNo = "A" + std::to_string(k);
        item.Description = "Artikel <" + std::to_string(k) + "> & Zubehör";
        item.UnitIso = "H87";
        item.Quantity = k;
        item.VatPct = k % 3 == 0 ? 7 : 19;
        item.Amount = Currency::FromRaw(k * 123457);
        item.AmountInclVat = item.Amount + Currency::FromRaw(k * 123457 / 100 * (k % 3 == 0 ? 7 : 19) / 100 * 100);
        TInvLine text;
        text.LineNo = k * 20 + 10;
        text.Description = "Beschreibung zu Position " + std::to_string(k);
        inv.Lines.push_back(item);
        inv.Lines.push_back(text);
    }
    inv.Calculate(rules);
    return inv;
}

TSeller BenchSeller() {
    TSeller seller;
    seller.Addr = {"Velkaro Muster GmbH", "", "Industriestr. 7", "", "10115", "Berlin", "", "DE", "DE", "", ""};
    seller.VatID = "DE123456789";
    seller.IBAN = "DE02120300000000202051";
    seller.BIC = "BYLADEM1001";
    return seller;
}

void BM_CiiFiftyLines(benchmark::State& state) {
    const TTaxRules rules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"};
    const TSeller seller = BenchSeller();
    const TInvoice inv = FiftyLineInvoice(rules);
    for (auto _ : state) benchmark::DoNotOptimize(BuildCiiXml(inv, seller, rules));
}
BENCHMARK(BM_CiiFiftyLines)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

void BM_En16931CheckFiftyLines(benchmark::State& state) {
    const TTaxRules rules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"};
    const TSeller seller = BenchSeller();
    const TInvoice inv = FiftyLineInvoice(rules);
    if (!CheckInvoice(inv, seller, rules).Empty()) state.SkipWithError("Rechnung hat Befunde");
    for (auto _ : state) benchmark::DoNotOptimize(CheckInvoice(inv, seller, rules));
}
BENCHMARK(BM_En16931CheckFiftyLines)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace velkaro

BENCHMARK_MAIN();
