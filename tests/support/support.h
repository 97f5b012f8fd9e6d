// Helpers shared by the test suites.
#pragma once

#include <string>
#include <vector>

// A fresh temporary folder that the test works in: the constructor makes it the
// current directory, the destructor goes back and removes it with its files.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileIsThere(const std::string& path);
void makeFolder(const std::string& path);
// Copies the bundled data set (data/ of the source tree) into the current folder.
void copyBundledData();

// Runs a shell command, returns its exit status and collects its stdout.
int runCommand(const std::string& command, std::string* output);

// Little-endian byte writers for building binary files field by field.
struct Bytes {
    std::string data;
    Bytes& u8(unsigned v);
    Bytes& u16(unsigned v);
    Bytes& u32(unsigned v);
    Bytes& f32(float v);
    Bytes& str(const std::string& s, bool terminate = true);
    Bytes& raw(const std::string& s);
};
