#pragma once
// Where the front end's messages go. Every message box is titled "Orvalis". Windows get a sink
// by reference; the application supplies message boxes, tests a recorder.
#include <string>

namespace orvalis {

inline constexpr const char* PROGRAM_TITLE = "Orvalis";

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A message with the exclamation icon and an OK button.
    virtual void warn(const std::string& text) = 0;
    // A question with OK and Cancel and no icon; true when the user chose OK.
    virtual bool confirm(const std::string& text) = 0;
};

}  // namespace orvalis
