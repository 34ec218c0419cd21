// A fresh history database in a temporary folder that is also the current
// directory, connected for the test.
#pragma once

#include "Database.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class TempDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A history row with a chosen start time ("%Y-%m-%d %H:%M:%S").
    void AddRow(int camera, const std::string& path, const std::string& startTime);
    // The values of one column over the rows of a result set (null: no set).
    static std::vector<std::string> Column(RecordsetPtr rs, const std::string& column);
    static std::string ScalarText(const std::string& statement);
    // Until the history writer has written every row handed to it.
    static void WaitForRows();
    void WriteFile(const std::string& path, const std::string& bytes = "x");
    static bool Exists(const std::string& path);

    std::string m_dir;
    std::string m_oldCwd;
};
