#include "demo_mail_setup.h"

#include <memory>

#include "fake_graph_service.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro::test {

const std::string& DemoDatabase() {
    static const std::unique_ptr<TempFolder> folder = std::make_unique<TempFolder>();
    static const std::string db = [] {
        const std::string file = folder->File("velkaro-demo.db");
        std::string output;
        if (RunCommand("bash '" + SourceDir() + "/demo/make-demo-db.sh' '" + file + "'", output) != 0)
            throw Exception("Demo-Datenbank nicht erstellt: " + output);
        return file;
    }();
    return db;
}

void WriteDemoMailSettings(const std::string& iniFile, const std::string& outDir, const std::string& baseUrl,
                           const std::string& extraGraphLines) {
    std::string ini = ReplaceAll(ReadFileBytes(SourceDir() + "/demo/velkaro.ini"), "Datenbank=velkaro-demo.db",
                                 "Datenbank=" + DemoDatabase());
    ini += "\n[Ausgabe]\nOrdner=" + outDir + "\n";
    ini += "\n[Graph]\n";
    ini += std::string("MandantenID=") + kFakeTenant + "\n";
    ini += std::string("ClientID=") + kFakeClientId + "\n";
    ini += std::string("ClientSecret=") + kFakeSecret + "\n";
    ini += std::string("Absender=") + kFakeSender + "\n";
    ini += "AnmeldeServer=" + baseUrl + "\n";
    ini += "GraphServer=" + baseUrl + "\n";
    ini += extraGraphLines;
    WriteFileBytes(iniFile, ini);
}

} // namespace velkaro::test
