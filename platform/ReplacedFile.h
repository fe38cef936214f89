#pragma once

#include <string_view>

// A file of this user's replaced whole: the bytes go to a new 0600 file
// beside it, are flushed to disk, and take the name in one rename, so that
// a reader finds the old content or the new, never a part of either.
class ReplacedFile {
  public:
    // 0, or the errno value of the step that failed; the old file is then
    // untouched.
    static int write(int directoryFd, const char* name, std::string_view bytes);
};
