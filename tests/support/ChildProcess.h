#pragma once
// Runs a program as a separate process (POSIX), with pipes to its standard streams, so a test
// can read what it prints while it runs, signal it at a chosen point and see how it ended.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

struct ChildOptions {
    std::string stdoutFile{};                 // write stdout there instead of to a pipe
    std::optional<unsigned long> fileSize{};  // RLIMIT_FSIZE: writes past it fail (EFBIG)
    std::vector<int> closed{};                // standard streams the child starts without
    std::vector<int> ignored{};               // signals it starts with ignored (nohup)
};

class ChildProcess {
  public:
    ChildProcess(const std::vector<std::string>& arguments, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    enum class Stream { kOut, kErr };
    // Reads until `text` has appeared on `stream`; false when the stream ended or `limit` passed.
    bool WaitFor(Stream stream, const std::string& text,
                 std::chrono::milliseconds limit = std::chrono::seconds(60));
    void Signal(int number);
    void WriteInput(const std::string& text);
    void CloseOutput();  // the reader of stdout goes away

    // Waits for the end, reading both streams meanwhile.
    void Wait();
    // As Wait, for at most `limit`; false when the child still runs (a hang).
    bool WaitWithin(std::chrono::milliseconds limit);
    bool Exited() const { return exited_; }
    int ExitStatus() const { return exitStatus_; }  // when Exited()
    int TermSignal() const { return termSignal_; }  // when not Exited()
    const std::string& Out() const { return out_; }
    const std::string& Err() const { return err_; }
    pid_t Pid() const { return pid_; }

  private:
    // Reads what is there on the open pipes, waiting up to `wait` for something.
    void Pump(std::chrono::milliseconds wait);
    // Keeps how the child ended, from waitpid's `status`.
    void Ended(int status);

    pid_t pid_ = -1;
    int in_ = -1, outPipe_ = -1, errPipe_ = -1;
    std::string out_, err_;
    bool waited_ = false;
    bool exited_ = false;
    int exitStatus_ = -1;
    int termSignal_ = 0;
};

}  // namespace qv::test
