#pragma once
// Files the tool reads whole (a firmware file): opened without blocking, so that a FIFO or a
// device node never hangs the open, and refused before a byte is read unless they are regular
// files of at most a given size.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "result/Expected.h"

namespace qv {

class InputFile {
  public:
    // Opens `path` for reading. Refused, with the reason and the full path: a file that cannot
    // be opened, a folder, FIFO, socket or device node, a file larger than `maxBytes`.
    static Expected<InputFile> Open(const std::string& path, std::uint64_t maxBytes);

    std::FILE* Stream() const { return stream_.get(); }

  private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> stream_;
};

}  // namespace qv
