#include "support/x11_window_tools.h"

#include <QSysInfo>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FreeReply
{
    void operator()(void* reply) const { std::free(reply); }
};

template <typename Reply>
using Owned = std::unique_ptr<Reply, FreeReply>;

struct Disconnect
{
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;

Connection Connect(const std::string& display)
{
    Connection connection(xcb_connect(display.c_str(), nullptr));
    if (xcb_connection_has_error(connection.get()) != 0)
        return nullptr;
    return connection;
}

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    const Owned<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a window's property; empty when it has none.
std::vector<std::uint32_t> PropertyValues(xcb_connection_t* connection, std::uint32_t window,
                                          const char* name, xcb_atom_t type)
{
    const xcb_atom_t property = InternAtom(connection, name);
    const Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 64), nullptr));
    if (!reply || reply->format != 32)
        return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {values, values + xcb_get_property_value_length(reply.get()) / 4};
}

} // namespace

bool RequestWindowClose(const std::string& display, std::uint32_t window)
{
    const Connection connection = Connect(display);
    if (!connection)
        return false;
    const xcb_atom_t protocols = InternAtom(connection.get(), "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = InternAtom(connection.get(), "WM_DELETE_WINDOW");
    if (protocols == XCB_ATOM_NONE || deleteWindow == XCB_ATOM_NONE)
        return false;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = deleteWindow;
    message.data.data32[1] = XCB_CURRENT_TIME;
    // send_event takes the 32 bytes of a wire event.
    char wire[32] = {};
    std::memcpy(wire, &message, sizeof message);
    const Owned<xcb_generic_error_t> error(
        xcb_request_check(connection.get(), xcb_send_event_checked(connection.get(), 0, window,
                                                                   XCB_EVENT_MASK_NO_EVENT, wire)));
    return !error;
}

QImage GrabWindow(const std::string& display, std::uint32_t window)
{
    const Connection connection = Connect(display);
    if (!connection)
        return {};
    const bool serverLsbFirst =
        xcb_get_setup(connection.get())->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (serverLsbFirst != (QSysInfo::ByteOrder == QSysInfo::LittleEndian))
        return {};
    const Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
        connection.get(), xcb_get_geometry(connection.get(), window), nullptr));
    if (!geometry || geometry->depth != 24 || geometry->width == 0 || geometry->height == 0)
        return {};
    const Owned<xcb_get_image_reply_t> image(
        xcb_get_image_reply(connection.get(),
                            xcb_get_image(connection.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                          geometry->width, geometry->height, ~0U),
                            nullptr));
    if (!image)
        return {};
    // Depth 24 comes as 32 bits a pixel in the host's order, rows without padding.
    const int width = geometry->width;
    const int height = geometry->height;
    const auto length = static_cast<std::size_t>(xcb_get_image_data_length(image.get()));
    if (length != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return {};
    const auto bytesPerLine = static_cast<qsizetype>(width) * 4;
    return QImage(xcb_get_image_data(image.get()), width, height, bytesPerLine,
                  QImage::Format_RGB32)
        .copy();
}

std::optional<QRect> ClientRect(const std::string& display, std::uint32_t window)
{
    const Connection connection = Connect(display);
    if (!connection)
        return std::nullopt;
    const Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(
        connection.get(), xcb_get_geometry(connection.get(), window), nullptr));
    if (!geometry)
        return std::nullopt;
    const Owned<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection.get(), xcb_translate_coordinates(connection.get(), window, geometry->root, 0, 0),
        nullptr));
    if (!origin)
        return std::nullopt;
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

QMargins FrameExtents(const std::string& display, std::uint32_t window)
{
    const Connection connection = Connect(display);
    if (!connection)
        return {};
    // Left, right, top, bottom.
    const std::vector<std::uint32_t> extents =
        PropertyValues(connection.get(), window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    if (extents.size() != 4)
        return {};
    return {int(extents[0]), int(extents[2]), int(extents[1]), int(extents[3])};
}

std::optional<QRect> OuterRect(const std::string& display, std::uint32_t window)
{
    const std::optional<QRect> client = ClientRect(display, window);
    if (!client)
        return std::nullopt;
    return client->marginsAdded(FrameExtents(display, window));
}

bool IsMaximized(const std::string& display, std::uint32_t window)
{
    const Connection connection = Connect(display);
    if (!connection)
        return false;
    const std::vector<std::uint32_t> states =
        PropertyValues(connection.get(), window, "_NET_WM_STATE", XCB_ATOM_ATOM);
    const auto has = [&](const char* name) {
        return std::find(states.begin(), states.end(), InternAtom(connection.get(), name)) !=
               states.end();
    };
    return has("_NET_WM_STATE_MAXIMIZED_VERT") && has("_NET_WM_STATE_MAXIMIZED_HORZ");
}
