// A minimal X clipboard manager for tests. It owns the CLIPBOARD_MANAGER selection and
// prints "ready" once it does. When a program asks it to SAVE_TARGETS (as Qt does when it
// exits owning the clipboard), it fetches the clipboard's UTF8_STRING from that program,
// takes the CLIPBOARD selection and serves the text itself. It runs until killed, until
// another client takes CLIPBOARD_MANAGER, or until the X server goes away.

#include "clipboard/x11_text_selection.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Atoms
{
    xcb_atom_t clipboardManager;
    xcb_atom_t clipboard;
    xcb_atom_t saveTargets;
    xcb_atom_t targets;
    xcb_atom_t utf8String;
    xcb_atom_t incr;
    xcb_atom_t fetched;
};

Atoms InternAtoms(xcb_connection_t* connection)
{
    return {x11::InternAtom(connection, "CLIPBOARD_MANAGER"),
            x11::InternAtom(connection, "CLIPBOARD"),
            x11::InternAtom(connection, "SAVE_TARGETS"),
            x11::InternAtom(connection, "TARGETS"),
            x11::InternAtom(connection, "UTF8_STRING"),
            x11::InternAtom(connection, "INCR"),
            x11::InternAtom(connection, "_FIXTURE_CLIPBOARD_MANAGER_DATA")};
}

void Notify(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
            xcb_atom_t property)
{
    x11::SendSelectionNotify(connection, request, property);
    xcb_flush(connection);
}

// The fetched text; INCR transfers are beyond this fixture and count as failure.
std::optional<std::string> TakeProperty(xcb_connection_t* connection, xcb_window_t window,
                                        xcb_atom_t property, xcb_atom_t incr)
{
    const x11::Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 1, window, property,
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 64 * 1024 * 1024 / 4),
                               nullptr));
    if (!reply || reply->type == x11::kNoAtom || reply->type == incr || reply->format != 8)
        return std::nullopt;
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(bytes, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

class FixtureManager
{
public:
    FixtureManager(xcb_connection_t* connection, xcb_window_t window)
        : connection_(connection)
        , window_(window)
        , atoms_(InternAtoms(connection))
    {}

    bool Start()
    {
        const std::optional<xcb_timestamp_t> now = x11::ServerTime(connection_, window_, deferred_);
        if (!now)
            return false;
        xcb_set_selection_owner(connection_, window_, atoms_.clipboardManager, *now);
        return x11::SelectionOwner(connection_, "CLIPBOARD_MANAGER") == window_;
    }

    void Run()
    {
        for (;;) {
            x11::Event event = NextEvent();
            if (!event)
                return;
            if (clipboard_ && clipboard_->HandleEvent(*event))
                continue;
            switch (x11::EventType(*event)) {
            case XCB_SELECTION_REQUEST:
                OnRequest(reinterpret_cast<const xcb_selection_request_event_t&>(*event));
                break;
            case XCB_SELECTION_NOTIFY:
                OnFetched(reinterpret_cast<const xcb_selection_notify_event_t&>(*event));
                break;
            case XCB_SELECTION_CLEAR:
                if (reinterpret_cast<const xcb_selection_clear_event_t&>(*event).selection ==
                    atoms_.clipboardManager)
                    return;
                break;
            default:
                break;
            }
        }
    }

private:
    x11::Event NextEvent()
    {
        if (!deferred_.empty()) {
            x11::Event event = std::move(deferred_.front());
            deferred_.erase(deferred_.begin());
            return event;
        }
        return x11::Event(xcb_wait_for_event(connection_));
    }

    void OnRequest(const xcb_selection_request_event_t& request)
    {
        if (request.selection != atoms_.clipboardManager || request.owner != window_) {
            Notify(connection_, request, x11::kNoAtom);
            return;
        }
        if (request.target == atoms_.targets) {
            const std::array<xcb_atom_t, 2> targets{atoms_.targets, atoms_.saveTargets};
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor,
                                request.property, XCB_ATOM_ATOM, 32, targets.size(),
                                targets.data());
            Notify(connection_, request, request.property);
            return;
        }
        if (request.target != atoms_.saveTargets || saving_) {
            Notify(connection_, request, x11::kNoAtom);
            return;
        }
        saving_ = request;
        xcb_convert_selection(connection_, window_, atoms_.clipboard, atoms_.utf8String,
                              atoms_.fetched, request.time);
        xcb_flush(connection_);
    }

    void OnFetched(const xcb_selection_notify_event_t& notify)
    {
        if (!saving_ || notify.requestor != window_ || notify.selection != atoms_.clipboard)
            return;
        const xcb_selection_request_event_t request = *saving_;
        saving_.reset();
        std::optional<std::string> text;
        if (notify.property != x11::kNoAtom)
            text = TakeProperty(connection_, window_, notify.property, atoms_.incr);
        bool saved = false;
        if (text) {
            clipboard_ = std::make_unique<x11::TextSelectionOwner>(
                connection_, window_, atoms_.clipboard, std::move(*text));
            const std::optional<xcb_timestamp_t> now =
                x11::ServerTime(connection_, window_, deferred_);
            saved = now && clipboard_->Acquire(*now);
        }
        const xcb_atom_t property =
            request.property != x11::kNoAtom ? request.property : request.target;
        Notify(connection_, request, saved ? property : x11::kNoAtom);
    }

    xcb_connection_t* connection_;
    xcb_window_t window_;
    Atoms atoms_;
    std::vector<x11::Event> deferred_;
    std::optional<xcb_selection_request_event_t> saving_;
    std::unique_ptr<x11::TextSelectionOwner> clipboard_;
};

} // namespace

int main()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fputs("fixture_clipboard_manager: cannot connect to the X server\n", stderr);
        xcb_disconnect(connection);
        return 1;
    }
    const xcb_window_t window =
        x11::CreateSelectionWindow(connection, x11::RootWindow(connection, screenNumber));
    int status = 1;
    {
        FixtureManager manager(connection, window);
        if (manager.Start()) {
            std::puts("ready");
            std::fflush(stdout);
            manager.Run();
            status = 0;
        } else {
            std::fputs("fixture_clipboard_manager: cannot own CLIPBOARD_MANAGER\n", stderr);
        }
    }
    xcb_disconnect(connection);
    return status;
}
