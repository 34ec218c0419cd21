// FFmpeg's and Qt's own messages go to standard error with the same time
// stamp as the program's lines.
#pragma once

void StampLibraryMessages();
