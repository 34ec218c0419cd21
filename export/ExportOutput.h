// Where an export may write and how its files come to be. An export never
// replaces anything by accident: each file is written under a temporary
// name of its own (unique per run) beside its final name, and given that
// name only if no file has it. With `overwrite` an earlier file of the name
// is removed first, but only a regular file, and never one in the
// recording folder or the database's folder: an export does not write
// there at all.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The files of one export: the clip, its report and their checksums.
struct ExportNames {
    std::string clip;      // NAME.mp4 as given
    std::string report;    // NAME.txt
    std::string checksum;  // NAME.mp4.sha256
};
ExportNames NamesFor(const std::string& clip);

// `clip` with the camera's number before its extension: theft-camera2.mp4.
std::string CameraClipName(const std::string& clip, int camera);

enum class OutputVerdict { kFree, kExists, kNotRegular, kGuarded };

struct OutputCheck {
    OutputVerdict verdict = OutputVerdict::kFree;
    std::string path;  // the file the verdict is about
};

// The folders an export never writes into: the recording folder and the
// database's folder, as real paths.
std::vector<std::string> GuardedFolders();

// Whether every file of `names` may be written.
OutputCheck CheckOutput(const ExportNames& names, bool overwrite, const std::vector<std::string>& guarded);
// One line for the user about a verdict other than kFree.
std::string OutputRefusal(const OutputCheck& check);

// A file "FINAL.XXXXXX.part" created exclusively beside its final name,
// removed on destruction unless published.
class TempFile {
public:
    explicit TempFile(std::string finalPath);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // 0, or the errno of the creation.
    int Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    const std::string& FinalPath() const { return m_final; }
    // Gives the file its final name if no file has it, after removing an
    // earlier regular file of the name when `overwrite`; false with `error`.
    bool Publish(bool overwrite, std::string* error);
    // Whether the last Publish found the name taken.
    bool Clashed() const { return m_clashed; }
    // Removes the published file again, if it is still this one.
    void Withdraw();

private:
    std::string m_final;
    std::string m_path;
    int m_error = 0;
    bool m_published = false;
    bool m_clashed = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
