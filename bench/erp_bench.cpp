// NAV access on a bulk database of 100,000 posted invoices (five lines each) and 10,000
// credit memos, built by demo/make-bulk-db.sh into the temporary folder on the first run.
// Target: Search with MaxRows 1000 under 50 ms CPU (median) in every variant.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"

namespace velkaro {
namespace {

struct TBulk {
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Nav;
};

TBulk& Bulk() {
    static TBulk bulk = [] {
        const std::string db = TempDir() + "/velkaro-bulk-100000.db";
        const std::string cmd = "bash '" + std::string(VELKARO_SOURCE_DIR) + "/demo/make-bulk-db.sh' 100000 '" + db + "'";
        if (std::system(cmd.c_str()) != 0) throw std::runtime_error("make-bulk-db.sh failed");
        const std::string ini = TempDir() + "/velkaro-erp-bench-" + std::to_string(::getpid()) + ".ini";
        WriteTextFile(ini, "[Datenbank]\nProvider=SQLite\nDatenbank=" + db + "\nMaxZeilen=1000\n");
        TBulk b;
        b.Settings = std::make_unique<TSettings>(ini);
        b.Nav = std::make_unique<TNavData>(*b.Settings);
        std::remove(ini.c_str());
        return b;
    }();
    return bulk;
}

void RunSearch(benchmark::State& state, const char* text, TDateTime from, TDateTime to) {
    auto& nav = *Bulk().Nav;
    size_t rows = 0;
    for (auto _ : state) rows = nav.Search("Muster GmbH", text, from, to).size();
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_SearchOneMonth(benchmark::State& state) {
    RunSearch(state, "", EncodeDate(2023, 3, 1), EncodeDate(2023, 3, 31));
}
void BM_SearchAllTimeWithText(benchmark::State& state) {
    RunSearch(state, "Vogel", EncodeDate(2000, 1, 1), EncodeDate(2030, 12, 31));
}
void BM_SearchAllTime(benchmark::State& state) {
    RunSearch(state, "", EncodeDate(2000, 1, 1), EncodeDate(2030, 12, 31));
}

void BM_LoadInvoice(benchmark::State& state) {
    auto& nav = *Bulk().Nav;
    int k = 0;
    for (auto _ : state) {
        char no[16];
        std::snprintf(no, sizeof no, "B%07d", 1 + (k++ * 7919) % 100000);
        benchmark::DoNotOptimize(nav.LoadInvoice("Muster GmbH", no));
    }
}

BENCHMARK(BM_SearchOneMonth)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchAllTimeWithText)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchAllTime)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadInvoice)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
} // namespace velkaro

BENCHMARK_MAIN();
