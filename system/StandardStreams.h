#pragma once
// The three standard streams as the program was given them. A program started with one of them
// closed would hand that descriptor to the first file it opens, and its progress lines would
// land inside that file (a traffic log, a lock file).

namespace qv {

// Makes sure descriptors 0, 1 and 2 are open; call it before anything opens a file. A closed
// one is opened onto the null device for reading only, so reading standard input gives its end
// and a write to a closed output still fails (EBADF) instead of vanishing.
void KeepStandardStreamsApart();

// The reason a write to a standard stream failed, for messages: "it is closed" for EBADF,
// otherwise the system's text.
const char* StandardStreamWriteError(int error);

}  // namespace qv
