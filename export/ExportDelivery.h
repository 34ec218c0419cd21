// The last step of an export: the report and the checksum file are written
// beside the finished clip under temporary names, then all three get their
// names together, or none does.
#pragma once

#include "ExportOutput.h"
#include "ExportReport.h"

#include <string>

// `clip` holds the finished clip. False with `error` when a file could not
// be written or named (`clashed`: another file took a name meanwhile);
// nothing of the export is left then.
bool DeliverExport(TempFile& clip, const ExportNames& names, bool overwrite, const ExportFacts& facts,
                   std::string* error, bool* clashed);
