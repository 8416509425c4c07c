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
