// The event source of the portable window model: the modal loops ask it
// directly. The default closes everything.
#include "platform/event_source.h"

namespace platform {
namespace {

// Closes every dialog at once and presses each box's default button.
class DefaultEventSource : public EventSource {
public:
    std::optional<Action> NextAction(WindowHandle, const std::string&) override { return std::nullopt; }
    int AnswerMessageBox(const MessageBoxInfo& box) override { return box.DefaultButton(); }
};

EventSource* g_source = nullptr;

}  // namespace

void SetEventSource(EventSource* source) { g_source = source; }

EventSource* CurrentEventSource() {
    static DefaultEventSource defaultSource;
    return g_source != nullptr ? g_source : &defaultSource;
}

}  // namespace platform
