#include "bench/ChildProcess.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace bench {

namespace {

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// This process's environment with `extra` added, a name in `extra` replacing
// the same name's value.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& added : extra)
            replaced = replaced || added.rfind(name, 0) == 0;
        if (!replaced)
            result.push_back(text);
    }
    result.insert(result.end(), extra.begin(), extra.end());
    return result;
}

}  // namespace

ChildResult RunProgram(const std::vector<std::string>& command, const ChildOptions& options) {
    ChildResult result;
    std::vector<std::string> arguments = command;
    std::vector<std::string> environment = EnvironmentWith(options.environment);
    std::vector<char*> argv = Pointers(arguments);
    std::vector<char*> envp = Pointers(environment);
    int pipeFds[2] = {-1, -1};
    if (options.captureOutput && pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(options.captureOutput ? pipeFds[1] : null, STDOUT_FILENO);
        if (options.quiet)
            dup2(null, STDERR_FILENO);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (options.captureOutput) {
        close(pipeFds[1]);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            result.output.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        close(pipeFds[0]);
    }
    if (child < 0)
        return result;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.started = true;
    result.exitCode = ExitCodeOf(status);
    return result;
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (!folder.empty() && access(folder.append("/").append(program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

ForkedResult RunForked(const std::function<int()>& work) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = fork();
    if (child == 0) {
        const int code = work();
        std::fflush(stdout);
        _exit(code);
    }
    ForkedResult result;
    int status = 0;
    rusage usage{};
    if (child < 0)
        return result;
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.exitCode = ExitCodeOf(status);
    result.peakResidentKiB = usage.ru_maxrss;
    return result;
}

}  // namespace bench
