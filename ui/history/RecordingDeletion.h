// What the history dialog asks before recordings are deleted: it names each
// one (camera, start, file), so the owner knows what goes for good.
#pragma once

#include <QString>

#include <vector>

struct ListedRecording {
    QString camera;
    QString start;
    QString path;
};

// 是否要删除录像文件？ and the recording, or how many and which.
QString DeleteQuestion(const std::vector<ListedRecording>& recordings);
