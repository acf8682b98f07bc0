#include "demo_mail_setup.h"

#include <memory>
#include <vector>

#include "fake_graph_service.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_edit.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro::test {

namespace {
// Runs a build script of demo/ into a new temporary folder (kept for the test program).
std::string BuildDemo(const std::string& script, const std::string& fileName) {
    static std::vector<std::unique_ptr<TempFolder>> folders;
    folders.push_back(std::make_unique<TempFolder>());
    const std::string file = folders.back()->File(fileName);
    std::string output;
    if (RunCommand("bash '" + SourceDir() + "/demo/" + script + "' '" + file + "'", output) != 0)
        throw Exception(fileName + " nicht erstellt: " + output);
    return file;
}
} // namespace

const std::string& DemoDatabase() {
    static const std::string db = BuildDemo("make-demo-db.sh", "velkaro-demo.db");
    return db;
}

const std::string& BcDemoDatabase() {
    static const std::string db = BuildDemo("make-bc-demo-db.sh", "velkaro-bc-demo.db");
    return db;
}

void WriteDemoMailSettings(const std::string& iniFile, const std::string& outDir, const std::string& baseUrl,
                           const std::string& extraGraphLines) {
    // The demo names every section already: the values go into them (a second section
    // of a name would not be read).
    TIniTextEditor ini(ReplaceAll(ReadFileBytes(SourceDir() + "/demo/velkaro.ini"), "Datenbank=velkaro-demo.db",
                                  "Datenbank=" + DemoDatabase()));
    ini.Set("Ausgabe", "Ordner", outDir);
    ini.Set("Graph", "MandantenID", kFakeTenant);
    ini.Set("Graph", "ClientID", kFakeClientId);
    ini.Set("Graph", "ClientSecret", kFakeSecret);
    ini.Set("Graph", "Absender", kFakeSender);
    ini.Set("Graph", "AnmeldeServer", baseUrl);
    ini.Set("Graph", "GraphServer", baseUrl);
    for (const std::string& line : Split(ReplaceAll(extraGraphLines, "\r", ""), '\n')) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) ini.Set("Graph", line.substr(0, eq), line.substr(eq + 1));
    }
    WriteFileBytes(iniFile, ini.Text());
}

} // namespace velkaro::test
