#pragma once
// Message boxes titled "Orvalis", modal over the active window.
#include "common/message_sink.h"

namespace orvalis {

class QtMessageSink : public MessageSink {
public:
    void warn(const std::string& text) override;
    bool confirm(const std::string& text) override;
};

}  // namespace orvalis
