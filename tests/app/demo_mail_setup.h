#pragma once
// The demo company set up for mailing tests: the demo database built once per test
// program, and settings files that point Graph to a local fake service.
#include <string>

namespace velkaro::test {

// Builds the demo database (demo/make-demo-db.sh) once and returns its path; raises
// with the script's output when that fails.
const std::string& DemoDatabase();
// The same demo in Business Central naming (demo/make-bc-demo-db.sh), built once.
const std::string& BcDemoDatabase();

// Writes a settings file: the demo settings with the shared database, the output
// folder `outDir`, and a "[Graph]" section for the fake service at `baseUrl` followed
// by `extraGraphLines` (each "Key=Value" and CR LF or LF terminated; a key given there
// replaces the one set before).
void WriteDemoMailSettings(const std::string& iniFile, const std::string& outDir, const std::string& baseUrl,
                           const std::string& extraGraphLines = "");

} // namespace velkaro::test
