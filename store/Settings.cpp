#include "Settings.h"

#include "Database.h"
#include "JetDialect.h"
#include "TextFormat.h"

namespace {
std::string SelectKey(const std::string& key)
{
    return StrFormat("select * from soft_set where key='%s'", SqlText(key).c_str());
}
}  // namespace

std::string ReadSetting(const std::string& key)
{
    RecordsetPtr rs = ExecuteCommand(SelectKey(key));
    if (!rs)
        return {};
    std::string value;
    if (!rs->IsEOF())
        value = FieldText(*rs, "value");
    rs->Close();
    return value;
}

void WriteSetting(const std::string& key, const std::string& value)
{
    RecordsetPtr rs = OpenRecordset(SelectKey(key));
    if (!rs)
        return;
    if (rs->IsEOF())
        rs->AddNew();
    rs->SetField("key", key);
    rs->SetField("value", value);
    rs->Update();
    rs->Close();
}
