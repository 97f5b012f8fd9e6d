#include "support/support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#ifdef _WIN32
#include <filesystem>
#include <process.h>

// Windows: the system's temporary folder, a name made of the process id and a
// count, and the file system library for the rest. Running shell commands
// stays with the Linux build: the tests that do are not built here.
TempDir::TempDir()
{
    namespace fs = std::filesystem;
    std::error_code error;
    previous_ = fs::current_path(error).string();
    static int made = 0;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 1000 && path_.empty(); attempt++) {
        const fs::path candidate =
            base / ("veltrix-test-" + std::to_string(_getpid()) + "-" + std::to_string(made++));
        if (fs::create_directory(candidate, error))
            path_ = candidate.string();
    }
    if (path_.empty())
        abort();
    fs::current_path(path_, error);
    if (error)
        abort();
}

TempDir::~TempDir()
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::current_path(previous_, error);
    if (error)
        abort();
    fs::remove_all(path_, error);
    if (error)
        fprintf(stderr, "could not remove %s\n", path_.c_str());
}

void copyBundledData()
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy(VELTRIX_SOURCE_DIR "/data", ".", fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             error);
    if (error)
        abort();
}

#else
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir()
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
        previous_ = cwd;
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/veltrix-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()))
        path_ = buffer.data();
    if (path_.empty() || chdir(path_.c_str()) != 0)
        abort();
}

TempDir::~TempDir()
{
    if (!previous_.empty() && chdir(previous_.c_str()) != 0)
        abort();
    std::string command = "rm -rf '" + path_ + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", path_.c_str());
}
#endif

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileIsThere(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

void makeFolder(const std::string& path)
{
#ifdef _WIN32
    mkdir(path.c_str());
#else
    mkdir(path.c_str(), 0755);
#endif
}

#ifndef _WIN32
void copyBundledData()
{
    const std::string command = "cp -r '" VELTRIX_SOURCE_DIR "/data/.' .";
    if (system(command.c_str()) != 0)
        abort();
}

int runCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        if (output)
            output->append(chunk, n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

Bytes& Bytes::u8(unsigned v)
{
    data.push_back((char)(v & 0xFF));
    return *this;
}

Bytes& Bytes::u16(unsigned v)
{
    return u8(v).u8(v >> 8);
}

Bytes& Bytes::u32(unsigned v)
{
    return u16(v & 0xFFFF).u16(v >> 16);
}

Bytes& Bytes::f32(float v)
{
    unsigned bits;
    memcpy(&bits, &v, 4);
    return u32(bits);
}

Bytes& Bytes::str(const std::string& s, bool terminate)
{
    data += s;
    if (terminate)
        data.push_back('\0');
    return *this;
}

Bytes& Bytes::raw(const std::string& s)
{
    data += s;
    return *this;
}
