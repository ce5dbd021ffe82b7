#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace qv::test {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const ChildOptions& options) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) std::abort();
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        if (options.stdoutFile.empty()) {
            dup2(out[1], 1);
        } else {
            const int file = open(options.stdoutFile.c_str(), O_WRONLY);
            dup2(file, 1);
        }
        dup2(err[1], 2);
        for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        for (const int fd : options.closed) close(fd);
        // The stop signals as a terminal's program gets them, whatever the test runner ignores.
        for (const int number : {SIGINT, SIGTERM, SIGHUP}) signal(number, SIG_DFL);
        for (const int number : options.ignored) signal(number, SIG_IGN);
        if (options.fileSize) {
            const rlimit limit{*options.fileSize, *options.fileSize};
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
        }
        execv(argv[0], argv.data());
        std::_Exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    outPipe_ = out[0];
    errPipe_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (!waited_) {
        kill(pid_, SIGKILL);
        Wait();
    }
    for (const int fd : {in_, outPipe_, errPipe_}) {
        if (fd >= 0) close(fd);
    }
}

void ChildProcess::Pump(std::chrono::milliseconds wait) {
    pollfd fds[2] = {{outPipe_, POLLIN, 0}, {errPipe_, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(wait.count())) <= 0) return;
    int* pipes[2] = {&outPipe_, &errPipe_};
    std::string* texts[2] = {&out_, &err_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].revents == 0 || *pipes[i] < 0) continue;
        char buffer[4096];
        const ssize_t got = read(*pipes[i], buffer, sizeof buffer);
        if (got > 0) {
            texts[i]->append(buffer, static_cast<std::size_t>(got));
        } else {
            close(*pipes[i]);
            *pipes[i] = -1;
        }
    }
}

bool ChildProcess::WaitFor(Stream stream, const std::string& text,
                           std::chrono::milliseconds limit) {
    const std::string& seen = stream == Stream::kOut ? out_ : err_;
    const int& pipe = stream == Stream::kOut ? outPipe_ : errPipe_;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (seen.find(text) == std::string::npos) {
        if (pipe < 0 || std::chrono::steady_clock::now() > deadline) return false;
        Pump(std::chrono::milliseconds(50));
    }
    return true;
}

void ChildProcess::Signal(int number) {
    kill(pid_, number);
}

void ChildProcess::WriteInput(const std::string& text) {
    [[maybe_unused]] const ssize_t written = write(in_, text.data(), text.size());
}

void ChildProcess::CloseOutput() {
    close(outPipe_);
    outPipe_ = -1;
}

void ChildProcess::Wait() {
    while (outPipe_ >= 0 || errPipe_ >= 0) Pump(std::chrono::milliseconds(100));
    int status = 0;
    waitpid(pid_, &status, 0);
    Ended(status);
}

bool ChildProcess::WaitWithin(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        Pump(std::chrono::milliseconds(20));
    }
    while (outPipe_ >= 0 || errPipe_ >= 0) Pump(std::chrono::milliseconds(100));
    Ended(status);
    return true;
}

void ChildProcess::Ended(int status) {
    waited_ = true;
    exited_ = WIFEXITED(status);
    exitStatus_ = exited_ ? WEXITSTATUS(status) : -1;
    termSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

}  // namespace qv::test
