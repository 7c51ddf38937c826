#include "clipboard/x11_text_selection.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace x11 {

namespace {

// Room for the request header of ChangeProperty within the server's request limit.
constexpr std::size_t kRequestHeaderBytes = 64;
constexpr std::size_t kMinChunkBytes = 1024;

std::vector<xcb_atom_t> InternAtoms(xcb_connection_t* connection,
                                    std::initializer_list<std::string_view> names)
{
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const std::string_view name : names)
        cookies.push_back(
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()));
    std::vector<xcb_atom_t> atoms;
    atoms.reserve(names.size());
    for (const xcb_intern_atom_cookie_t cookie : cookies) {
        const Owned<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection, cookie, nullptr));
        atoms.push_back(reply ? reply->atom : kNoAtom);
    }
    return atoms;
}

std::size_t ChunkBytesFor(xcb_connection_t* connection)
{
    const std::size_t requestBytes = std::size_t{xcb_get_maximum_request_length(connection)} * 4;
    if (requestBytes < kMinChunkBytes + kRequestHeaderBytes)
        return kMinChunkBytes;
    return std::min(TextSelectionOwner::kMaxChunkBytes, requestBytes - kRequestHeaderBytes);
}

bool IsContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Server timestamps wrap around after about 49 days; compare them as a signed distance.
bool IsBefore(xcb_timestamp_t a, xcb_timestamp_t b)
{
    return static_cast<std::int32_t>(a - b) < 0;
}

} // namespace

xcb_atom_t InternAtom(xcb_connection_t* connection, std::string_view name)
{
    return InternAtoms(connection, {name}).front();
}

xcb_atom_t FindAtom(xcb_connection_t* connection, std::string_view name)
{
    const auto cookie =
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data());
    const Owned<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : kNoAtom;
}

xcb_window_t SelectionOwner(xcb_connection_t* connection, std::string_view name)
{
    const xcb_atom_t selection = FindAtom(connection, name);
    if (selection == kNoAtom)
        return kNoWindow;
    const Owned<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return reply ? reply->owner : kNoWindow;
}

xcb_window_t RootWindow(xcb_connection_t* connection, int screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    const xcb_window_t firstRoot = screens.rem > 0 ? screens.data->root : kNoWindow;
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    return screens.rem > 0 ? screens.data->root : firstRoot;
}

xcb_window_t CreateSelectionWindow(xcb_connection_t* connection, xcb_window_t root)
{
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t eventMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                      &eventMask);
    return window;
}

std::optional<xcb_timestamp_t> ServerTime(xcb_connection_t* connection, xcb_window_t window,
                                          std::vector<Event>& deferred)
{
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, 0, nullptr);
    xcb_flush(connection);
    while (Event event{xcb_wait_for_event(connection)}) {
        if (EventType(*event) == XCB_PROPERTY_NOTIFY) {
            const auto& notify = reinterpret_cast<const xcb_property_notify_event_t&>(*event);
            if (notify.window == window && notify.atom == XCB_ATOM_WM_NAME)
                return notify.time;
        }
        deferred.push_back(std::move(event));
    }
    return std::nullopt;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            latin1.push_back(static_cast<char>(lead));
            continue;
        }
        // U+0080..U+00FF are exactly the two-byte sequences led by 0xC2 and 0xC3.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= utf8.size())
            return std::nullopt;
        const auto trail = static_cast<unsigned char>(utf8[++i]);
        if (!IsContinuationByte(trail))
            return std::nullopt;
        latin1.push_back(static_cast<char>(((lead & 0x03) << 6) | (trail & 0x3F)));
    }
    return latin1;
}

TextSelectionOwner::TextSelectionOwner(xcb_connection_t* connection, xcb_window_t window,
                                       xcb_atom_t selection, std::string utf8Text)
    : connection_(connection)
    , window_(window)
    , selection_(selection)
    , utf8_(std::move(utf8Text))
    , latin1_(Utf8ToLatin1(utf8_))
    , chunkBytes_(ChunkBytesFor(connection))
{
    const std::vector<xcb_atom_t> atoms =
        InternAtoms(connection, {"TARGETS", "TIMESTAMP", "UTF8_STRING", "text/plain;charset=utf-8",
                                 "TEXT", "text/plain", "INCR"});
    targets_ = atoms[0];
    timestamp_ = atoms[1];
    utf8String_ = atoms[2];
    textPlainUtf8_ = atoms[3];
    text_ = atoms[4];
    textPlain_ = atoms[5];
    incr_ = atoms[6];
}

bool TextSelectionOwner::Acquire(xcb_timestamp_t time)
{
    xcb_set_selection_owner(connection_, window_, selection_, time);
    const Owned<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        connection_, xcb_get_selection_owner(connection_, selection_), nullptr));
    owns_ = reply && reply->owner == window_;
    if (owns_)
        acquiredAt_ = time;
    return owns_;
}

std::vector<xcb_atom_t> TextSelectionOwner::Targets() const
{
    std::vector<xcb_atom_t> targets{targets_, timestamp_, utf8String_, textPlainUtf8_, text_};
    if (latin1_) {
        targets.push_back(XCB_ATOM_STRING);
        targets.push_back(textPlain_);
    }
    return targets;
}

bool TextSelectionOwner::HandleEvent(const xcb_generic_event_t& event)
{
    bool handled = false;
    switch (EventType(event)) {
    case XCB_SELECTION_REQUEST:
        handled = OnSelectionRequest(reinterpret_cast<const xcb_selection_request_event_t&>(event));
        break;
    case XCB_SELECTION_CLEAR:
        handled = OnSelectionClear(reinterpret_cast<const xcb_selection_clear_event_t&>(event));
        break;
    case XCB_PROPERTY_NOTIFY:
        handled = OnPropertyNotify(reinterpret_cast<const xcb_property_notify_event_t&>(event));
        break;
    case XCB_DESTROY_NOTIFY:
        handled = OnDestroyNotify(reinterpret_cast<const xcb_destroy_notify_event_t&>(event));
        break;
    default:
        break;
    }
    if (handled)
        xcb_flush(connection_);
    return handled;
}

bool TextSelectionOwner::OnSelectionRequest(const xcb_selection_request_event_t& request)
{
    if (request.owner != window_ || request.selection != selection_)
        return false;
    // Requestors from before the convention of naming a property get the target as property.
    const xcb_atom_t property = request.property != kNoAtom ? request.property : request.target;
    const bool inTime = request.time == XCB_CURRENT_TIME || !IsBefore(request.time, acquiredAt_);
    const bool converted = owns_ && inTime && Convert(request.requestor, request.target, property);
    Notify(request, converted ? property : kNoAtom);
    return true;
}

bool TextSelectionOwner::OnSelectionClear(const xcb_selection_clear_event_t& clear)
{
    if (clear.owner != window_ || clear.selection != selection_)
        return false;
    owns_ = false;
    return true;
}

bool TextSelectionOwner::OnPropertyNotify(const xcb_property_notify_event_t& notify)
{
    const auto transfer = std::find_if(transfers_.begin(), transfers_.end(), [&](const auto& t) {
        return t.requestor == notify.window && t.property == notify.atom;
    });
    if (transfer == transfers_.end())
        return false;
    if (notify.state == XCB_PROPERTY_DELETE)
        SendNextChunk(*transfer);
    return true;
}

bool TextSelectionOwner::OnDestroyNotify(const xcb_destroy_notify_event_t& notify)
{
    const bool concernsTransfer =
        std::any_of(transfers_.begin(), transfers_.end(),
                    [&](const auto& t) { return t.requestor == notify.window; });
    if (!concernsTransfer)
        return false;
    std::erase_if(transfers_, [&](const auto& t) { return t.requestor == notify.window; });
    return true;
}

bool TextSelectionOwner::Convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property)
{
    if (target == targets_) {
        const std::vector<xcb_atom_t> targets = Targets();
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM,
                            32, static_cast<std::uint32_t>(targets.size()), targets.data());
        return true;
    }
    if (target == timestamp_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property,
                            XCB_ATOM_INTEGER, 32, 1, &acquiredAt_);
        return true;
    }
    if (target == utf8String_ || target == textPlainUtf8_)
        return SendText(requestor, property, target, utf8_);
    if (target == XCB_ATOM_STRING || target == textPlain_)
        return latin1_ && SendText(requestor, property, target, *latin1_);
    if (target == text_) {
        // TEXT leaves the encoding to the owner: Latin-1 where it suffices, else UTF-8.
        return latin1_ ? SendText(requestor, property, XCB_ATOM_STRING, *latin1_)
                       : SendText(requestor, property, utf8String_, utf8_);
    }
    return false;
}

bool TextSelectionOwner::SendText(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type,
                                  const std::string& data)
{
    if (data.size() <= chunkBytes_) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, type, 8,
                            static_cast<std::uint32_t>(data.size()), data.data());
        return true;
    }
    // A second request into the same property restarts that transfer.
    std::erase_if(transfers_, [&](const auto& t) {
        return t.requestor == requestor && t.property == property;
    });
    if (requestor != window_) {
        const std::uint32_t eventMask =
            XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &eventMask);
    }
    const auto sizeHint = static_cast<std::uint32_t>(
        std::min<std::size_t>(data.size(), std::numeric_limits<std::uint32_t>::max()));
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, requestor, property, incr_, 32, 1,
                        &sizeHint);
    transfers_.push_back({requestor, property, type, &data, 0});
    return true;
}

void TextSelectionOwner::SendNextChunk(Transfer& transfer)
{
    const std::size_t remaining = transfer.data->size() - transfer.offset;
    const std::size_t length = std::min(remaining, chunkBytes_);
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                        transfer.type, 8, static_cast<std::uint32_t>(length),
                        transfer.data->data() + transfer.offset);
    transfer.offset += length;
    // The zero-length chunk after the last one ends the transfer.
    if (length == 0)
        FinishTransfer(transfer.requestor, transfer.property);
}

void TextSelectionOwner::FinishTransfer(xcb_window_t requestor, xcb_atom_t property)
{
    std::erase_if(transfers_, [&](const auto& t) {
        return t.requestor == requestor && t.property == property;
    });
    const bool moreToRequestor =
        std::any_of(transfers_.begin(), transfers_.end(),
                    [&](const auto& t) { return t.requestor == requestor; });
    if (requestor != window_ && !moreToRequestor) {
        const std::uint32_t noEvents = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(connection_, requestor, XCB_CW_EVENT_MASK, &noEvents);
    }
}

void SendSelectionNotify(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                         xcb_atom_t property)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    // SendEvent takes a full 32-byte event; the struct leaves out the padding.
    std::array<char, 32> wire{};
    static_assert(sizeof(notify) <= wire.size());
    std::memcpy(wire.data(), &notify, sizeof(notify));
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, wire.data());
}

void TextSelectionOwner::Notify(const xcb_selection_request_event_t& request, xcb_atom_t property)
{
    SendSelectionNotify(connection_, request, property);
}

} // namespace x11
