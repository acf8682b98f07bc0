#pragma once
// Runs the NAV test suites on both backends: the embedded SQLite library and ODBC
// through SQLite's ODBC driver (binding, wide text, timestamps, decimals and NULLs
// then pass through a real ODBC driver).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "nav_test_db.h"

namespace velkaro::test {

enum class TBackendKind { Embedded, Odbc };

std::string BackendName(const ::testing::TestParamInfo<TBackendKind>& info);

class NavBackendTest : public ::testing::TestWithParam<TBackendKind> {
protected:
    void SetUp() override;
    // Settings and database object on `dbFile` (copied into the test folder for the
    // embedded backend and named relative to the settings file, as in the demo).
    // `ini` is the settings text; its [Datenbank] provider and database are replaced.
    void Open(const std::string& dbFile, const std::string& ini);
    // The demo settings file on the demo database (NAV naming), or on the one in
    // Business Central naming.
    void OpenDemo();
    void OpenBcDemo();

    TempFolder FFolder;
    std::string FDriver;
    std::unique_ptr<TSettings> FSettings;
    std::unique_ptr<TNavData> FNav;
};

} // namespace velkaro::test
