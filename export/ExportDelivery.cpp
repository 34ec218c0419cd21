#include "ExportDelivery.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

bool WriteText(const TempFile& file, const std::string& text, std::string* error)
{
    std::ofstream out(file.Path(), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        *error = "cannot write " + file.FinalPath() + ": " + std::strerror(errno ? errno : EIO);
    return static_cast<bool>(out);
}

std::string Checksums(const TempFile& clip, const TempFile& report, std::string* error)
{
    std::string lines;
    for (const TempFile* file : {&clip, &report}) {
        FileDigest digest;
        if (!DigestFile(file->Path(), &digest)) {
            *error = "cannot read " + file->Path() + " for its checksum";
            return std::string();
        }
        lines += ChecksumLine(digest, file->FinalPath());
    }
    return lines;
}

}  // namespace

bool DeliverExport(TempFile& clip, const ExportNames& names, bool overwrite, const ExportFacts& facts,
                   std::string* error, bool* clashed)
{
    TempFile report(names.report);
    TempFile checksum(names.checksum);
    for (const TempFile* file : {&report, &checksum}) {
        if (file->Error() != 0) {
            *error = "cannot write " + file->FinalPath() + ": " + std::strerror(file->Error());
            return false;
        }
    }
    if (!WriteText(report, ReportText(facts), error))
        return false;
    const std::string lines = Checksums(clip, report, error);
    if (lines.empty() || !WriteText(checksum, lines, error))
        return false;
    TempFile* published[3] = {};
    int count = 0;
    for (TempFile* file : {&clip, &report, &checksum}) {
        if (!file->Publish(overwrite, error)) {
            *clashed = file->Clashed();
            while (count > 0)
                published[--count]->Withdraw();
            return false;
        }
        published[count++] = file;
    }
    return true;
}
