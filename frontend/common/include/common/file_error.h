#pragma once
// A file of the front end that cannot be read or written. The message names the file (and the
// line where one applies), ready to be shown to the user.
#include <stdexcept>
#include <string>

namespace orvalis {

class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace orvalis
