#include "TempDatabase.h"

#include "HistoryWriter.h"
#include "JetDialect.h"
#include "Schema.h"
#include "TextFormat.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

void TempDatabaseTest::SetUp()
{
    char tmpl[] = "/tmp/lumaro-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    m_oldCwd = std::filesystem::current_path().string();
    std::filesystem::current_path(m_dir);
    std::string error;
    ASSERT_TRUE(CreateDatabaseFile(kDatabaseFile, &error)) << error;
    testing::internal::CaptureStdout();
    const int rc = InitDatabaseConnect();
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(rc, 0);
}

void TempDatabaseTest::TearDown()
{
    HistoryWriter::Instance().Stop();
    std::filesystem::current_path(m_oldCwd);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void TempDatabaseTest::AddRow(int camera, const std::string& path, const std::string& startTime)
{
    ASSERT_NE(ExecuteCommand(StrFormat("insert into video_save_history (capdrive, capdrive_name, "
                                       "video_save_path, start_time) values (%d, '', '%s', '%s')",
                                       camera, SqlText(path).c_str(), startTime.c_str())),
              nullptr);
}

std::vector<std::string> TempDatabaseTest::Column(RecordsetPtr rs, const std::string& column)
{
    std::vector<std::string> values;
    if (!rs) {
        ADD_FAILURE() << "no result set";
        return values;
    }
    for (; !rs->IsEOF(); rs->MoveNext())
        values.push_back(FieldText(*rs, column));
    return values;
}

std::string TempDatabaseTest::ScalarText(const std::string& statement)
{
    RecordsetPtr rs = ExecuteCommand(statement);
    return rs && !rs->IsEOF() ? FieldText(*rs, "n") : std::string("<none>");
}

void TempDatabaseTest::WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

bool TempDatabaseTest::Exists(const std::string& path)
{
    return std::filesystem::exists(path);
}

void TempDatabaseTest::WaitForRows()
{
    EXPECT_TRUE(HistoryWriter::Instance().WaitUntilWritten(std::chrono::seconds(20))) << "history rows still pending";
}
