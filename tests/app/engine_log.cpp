#include "engine_log.h"

#include "support/support.h"

const std::vector<std::string> completeLog = {
    "__________Veltrix - Log__________",
    "Loading world ..",
    "    OK",
    "Loading textures ...",
    "    OK",
    "Init life (from file 'Life.ini') ...",
    "    OK",
    "Init engine ...",
    "    OK",
    "DDraw is running..",
    "Locking some memory ...",
    "    OK",
    "Rendering !",
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string lastLogLine()
{
    const std::vector<std::string> all = lines(readFile("Engine.log"));
    return all.empty() ? "" : all.back();
}
