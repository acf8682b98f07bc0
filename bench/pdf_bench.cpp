// Builds and saves a two-page invoice-like document: text in two weights, lines, a
// logo and an XML attachment. The first document of the process is the cold case (fonts
// are fetched, parsed and compressed); later documents reuse the font cache.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "media/image_test_writers.h"

namespace velkaro {
namespace {

struct TBenchFiles {
    std::string Folder = TempDir() + "/velkaro-pdf-bench-" + std::to_string(::getpid()) + "/";
    std::string Logo = Folder + "logo.png";
    std::string Pdf = Folder + "rechnung.pdf";
    std::string Xml;
    TBenchFiles() {
        ForceDirectories(Folder);
        std::vector<uint8_t> px;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 300; ++x)
                px.insert(px.end(), {static_cast<uint8_t>(x), 80, static_cast<uint8_t>(y * 2),
                                     static_cast<uint8_t>((x / 10 + y / 10) % 2 ? 255 : 0)});
        test::WritePng(Logo, 300, 120, 4, px);
        Xml = ReadFileBytes(std::string(VELKARO_SOURCE_DIR) +
                            "/third_party/validation/examples/cen/CII_example3.xml");
    }
    ~TBenchFiles() { std::filesystem::remove_all(Folder); }
};

TBenchFiles& Files() {
    static TBenchFiles files;
    return files;
}

void BuildAndSave() {
    TPdfDocument doc("/usr/share/color/icc/sRGB.icc");
    doc.Title = "Rechnung 4711";
    doc.FacturX = true;
    TPdfFont& regular = doc.AddFont("Arial", false);
    TPdfFont& bold = doc.AddFont("Arial", true);
    TPdfImage& logo = doc.AddImageFile(Files().Logo);
    for (int page = 0; page < 2; ++page) {
        doc.NewPage();
        doc.DrawImage(logo, 140, 10, 50, 20);
        doc.SetFont(bold, 14);
        doc.TextOut(20, 45, "Rechnung 4711");
        doc.SetFont(regular, 9);
        double y = 60;
        for (int line = 0; line < 30; ++line, y += 6) {
            doc.TextOut(20, y, std::to_string(line + 1));
            for (const auto& part : doc.WrapText("Beratungsleistung für die Einführung der E-Rechnung", 80))
                doc.TextOut(30, y, part);
            doc.TextRight(160, y, "12,5 Std.");
            doc.TextRight(190, y, "1.190,00 €");
            doc.Line(20, y + 1.5, 190, y + 1.5, 0.1);
        }
    }
    doc.AddAttachment("factur-x.xml", "text/xml", "Factur-X", "Alternative", Files().Xml);
    doc.SaveToFile(Files().Pdf);
}

void FileSize(benchmark::State& state) {
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(Files().Pdf));
}

void BM_PdfCold(benchmark::State& state) {
    Files();
    for (auto _ : state) BuildAndSave();
    FileSize(state);
}
BENCHMARK(BM_PdfCold)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PdfWarm(benchmark::State& state) {
    for (auto _ : state) BuildAndSave();
    FileSize(state);
}
BENCHMARK(BM_PdfWarm)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace velkaro

BENCHMARK_MAIN();
