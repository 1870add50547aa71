// Helpers shared by the tests: a temporary folder, and running a program of ours as a child
// process with its output captured.
#pragma once

#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out, err;
};

// Runs argv[0] with the given arguments (and extra KEY=VALUE environment entries), waits.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv = {});

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
