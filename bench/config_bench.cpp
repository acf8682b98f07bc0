// Reading settings files with large hand-kept sections (code maps, Leitweg-IDs) or
// many sections. Target: the work grows linearly with the number of entries (80,000
// entries well under a second). On a busy machine caches make the time grow a little
// faster than the work; the Complexity lines of the output show the fit.
#include <benchmark/benchmark.h>

#include <string>
#include <unistd.h>

#include "config/name_value_list.h"
#include "config/settings.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace velkaro {
namespace {

// A settings file whose "Leitweg" and "Einheiten" sections hold `entries` lines each,
// a few of them repeated in another letter case.
std::string LargeSettingsText(int64_t entries) {
    std::string text = "[Leitweg]\r\n";
    for (int64_t i = 0; i < entries; ++i)
        text += "K" + std::to_string(i) + "=991-" + std::to_string(i) + "-12\r\n";
    text += "[Einheiten]\r\n";
    for (int64_t i = 0; i < entries; ++i)
        text += (i % 100 == 0 ? "einheit" : "EINHEIT") + std::to_string(i / 2) + "=C62\r\n";
    return text;
}

void BM_IniFromText(benchmark::State& state) {
    const std::string text = LargeSettingsText(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(TIniFile::FromText(text));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniFromText)->RangeMultiplier(4)->Range(1250, 80000)->Unit(benchmark::kMillisecond)->Complexity();

// A file of many small sections, like a layout with many elements.
void BM_IniManySections(benchmark::State& state) {
    std::string text;
    for (int64_t i = 0; i < state.range(0); ++i) text += "[Text." + std::to_string(i) + "]\r\nX=1\r\n";
    for (auto _ : state) benchmark::DoNotOptimize(TIniFile::FromText(text));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_IniManySections)->RangeMultiplier(4)->Range(1250, 80000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_NameValueListFill(benchmark::State& state) {
    const int64_t entries = state.range(0);
    for (auto _ : state) {
        TNameValueList list;
        for (int64_t i = 0; i < entries; ++i) list.SetValue("Kunde" + std::to_string(i), "991-1");
        benchmark::DoNotOptimize(list.Value("kunde0"));
    }
    state.SetComplexityN(entries);
}
BENCHMARK(BM_NameValueListFill)->RangeMultiplier(4)->Range(1250, 80000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_SettingsLoad(benchmark::State& state) {
    const std::string ini = TempDir() + "velkaro-config-bench-" + std::to_string(::getpid()) + ".ini";
    WriteFileBytes(ini, LargeSettingsText(state.range(0)));
    TSettings settings(ini);
    for (auto _ : state) settings.Load();
    std::remove(ini.c_str());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SettingsLoad)->RangeMultiplier(4)->Range(1250, 80000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace
} // namespace velkaro

BENCHMARK_MAIN();
