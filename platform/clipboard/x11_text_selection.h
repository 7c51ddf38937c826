#pragma once

// Owning an X selection and serving a text through it, in plain xcb. Used by the
// clipboard keeper and by the test clipboard manager; free of Qt on purpose.

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace x11 {

struct FreeDeleter
{
    void operator()(void* pointer) const { std::free(pointer); }
};

// Replies and events that xcb allocates with malloc.
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;
using Event = Owned<xcb_generic_event_t>;

constexpr xcb_atom_t kNoAtom = XCB_ATOM_NONE;
constexpr xcb_window_t kNoWindow = XCB_WINDOW_NONE;

// The event type without the "sent by SendEvent" bit.
inline std::uint8_t EventType(const xcb_generic_event_t& event)
{
    return event.response_type & 0x7F;
}

// The atom called `name`, created when missing; XCB_ATOM_NONE on failure.
xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name);

// The atom called `name` if the server knows it, else XCB_ATOM_NONE.
xcb_atom_t FindAtom(xcb_connection_t* connection, std::string_view name);

// The current owner of the selection called `name`, XCB_WINDOW_NONE when it has none.
xcb_window_t SelectionOwner(xcb_connection_t* connection, std::string_view name);

// An unmapped input-only window that reports its own property changes: the window
// that owns selections and receives converted data.
xcb_window_t CreateSelectionWindow(xcb_connection_t* connection, xcb_window_t root);

// The root window of screen `screenNumber`, or of the first screen.
xcb_window_t RootWindow(xcb_connection_t* connection, int screenNumber);

// Answers a selection request: `property` holds the converted data, or is kNoAtom for a
// refusal. Not flushed.
void SendSelectionNotify(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                         xcb_atom_t property);

// A current server timestamp, read from the property change that a zero-length append
// to a property of `window` causes. Events that arrive meanwhile go to `deferred`, in
// order. Empty when the connection broke.
std::optional<xcb_timestamp_t> ServerTime(xcb_connection_t* connection, xcb_window_t window,
                                          std::vector<Event>& deferred);

// The text as Latin-1 (ISO 8859-1) bytes, or empty when it is not valid UTF-8 or holds a
// character beyond U+00FF.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// Serves one UTF-8 text as the owner of one selection, for as long as it owns it.
//
// Targets: TARGETS, TIMESTAMP, UTF8_STRING, text/plain;charset=utf-8, TEXT, and STRING and
// text/plain as Latin-1 when every character of the text is representable there (they
// are then listed in TARGETS, otherwise refused). Data larger than one chunk is sent with
// the INCR protocol, one chunk per deletion of the property by the requestor.
class TextSelectionOwner
{
public:
    static constexpr std::size_t kMaxChunkBytes = std::size_t{256} * 1024;

    TextSelectionOwner(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t selection,
                       std::string utf8Text);
    TextSelectionOwner(const TextSelectionOwner&) = delete;
    TextSelectionOwner& operator=(const TextSelectionOwner&) = delete;

    // Becomes the selection's owner as of `time`; false when the server did not agree.
    bool Acquire(xcb_timestamp_t time);

    bool Owns() const { return owns_; }
    bool HasPendingTransfers() const { return !transfers_.empty(); }

    // Handles the event when it concerns this selection or one of its transfers:
    // conversion requests, loss of ownership, the requestors' property deletions during
    // INCR transfers and the destruction of their windows. Returns whether it did.
    bool HandleEvent(const xcb_generic_event_t& event);

    // The targets that requests are answered for, in the order TARGETS lists them.
    std::vector<xcb_atom_t> Targets() const;

private:
    struct Transfer
    {
        xcb_window_t requestor = kNoWindow;
        xcb_atom_t property = kNoAtom;
        xcb_atom_t type = kNoAtom;
        const std::string* data = nullptr;
        std::size_t offset = 0;
    };

    bool OnSelectionRequest(const xcb_selection_request_event_t& request);
    bool OnSelectionClear(const xcb_selection_clear_event_t& clear);
    bool OnPropertyNotify(const xcb_property_notify_event_t& notify);
    bool OnDestroyNotify(const xcb_destroy_notify_event_t& notify);
    bool Convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool SendText(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type,
                  const std::string& data);
    void SendNextChunk(Transfer& transfer);
    void FinishTransfer(xcb_window_t requestor, xcb_atom_t property);
    void Notify(const xcb_selection_request_event_t& request, xcb_atom_t property);

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_atom_t selection_;
    std::string utf8_;
    std::optional<std::string> latin1_;
    std::size_t chunkBytes_;
    xcb_timestamp_t acquiredAt_ = XCB_CURRENT_TIME;
    bool owns_ = false;
    std::vector<Transfer> transfers_;

    xcb_atom_t targets_;
    xcb_atom_t timestamp_;
    xcb_atom_t utf8String_;
    xcb_atom_t textPlainUtf8_;
    xcb_atom_t text_;
    xcb_atom_t textPlain_;
    xcb_atom_t incr_;
};

} // namespace x11
