#pragma once

#include <fcntl.h>

#include <cstdio>
#include <functional>

#include <unistd.h>

namespace kovali {

/// The system calls that change the session's folder or put it on disk, in the shapes of
/// `link(2)`, `rename(2)`, `renameat2(2)` with `RENAME_EXCHANGE`, and `fsync(2)`, so that a test
/// can refuse any of them or see the folder between any two.
struct FolderCalls {
  using Link = std::function<int(const char* existing, const char* created)>;
  using Rename = std::function<int(const char* from, const char* to)>;
  using Sync = std::function<int(int file)>;

  Link link = ::link;
  Sync sync = ::fsync;
  Rename rename = ::rename;
  Rename exchange = [](const char* one, const char* other) {
    return ::renameat2(AT_FDCWD, one, AT_FDCWD, other, RENAME_EXCHANGE);
  };
};

}  // namespace kovali
