#include "fuzz/target.h"

#include <fstream>
#include <iterator>

namespace fuzz {

Verdict refusalVerdict(const std::string& message, std::initializer_list<std::string> names) {
    for (const std::string& name : names)
        if (message.find(name) != std::string::npos) return {};
    return {Finding::UnnamedError, message};
}

std::string readBytes(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return {};  // a folder reads as nothing
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace fuzz
