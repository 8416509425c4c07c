#pragma once

// The operating system's own file calls, for the few places that must go below the C++ library:
// exclusive creation, no-follow opens, locks. windows.h is kept from defining min and max, which
// would break std::min and std::max in every file after it.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

namespace engine {

// The system reads a name only up to a NUL byte: a name that holds one would reach, create or
// remove the file named by what stands before it. No call is made with such a name.
inline bool holdsNulByte(const std::filesystem::path& path) {
    return path.native().find(std::filesystem::path::value_type{}) != std::filesystem::path::string_type::npos;
}

}  // namespace engine
