// A shell command's standard output and error, for tests that read files
// with tools nobody here wrote (ffprobe, ffmpeg, sha256sum).
#pragma once

#include <string>

// `status`, when given, receives the exit status (-1 when it did not exit).
std::string ShellOutput(const std::string& command, int* status = nullptr);
