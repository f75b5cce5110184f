#include "platform/startupfeedback.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

namespace {

constexpr int kChunk = 20; // bytes of a client message in format 8

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

} // namespace

QByteArray startupRemoveMessage(const QByteArray &startupId)
{
    QByteArray quoted = startupId;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return "remove: ID=\"" + quoted + '"';
}

bool endStartupFeedback(const QByteArray &startupId)
{
    if (startupId.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t begin = atom(c, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(c, "_NET_STARTUP_INFO");
    bool sent = begin != XCB_ATOM_NONE && more != XCB_ATOM_NONE;
    if (sent) {
        // The protocol wants the messages to come from a window of the
        // sender's own.
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, -100, -100, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        // The text and its NUL, in pieces of 20 bytes.
        const QByteArray message = startupRemoveMessage(startupId) + '\0';
        for (int at = 0; at < message.size(); at += kChunk) {
            xcb_client_message_event_t event;
            std::memset(&event, 0, sizeof event);
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 8;
            event.window = window;
            event.type = at == 0 ? begin : more;
            std::memcpy(event.data.data8, message.constData() + at, size_t(qMin(kChunk, int(message.size()) - at)));
            xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char *>(&event));
        }
        xcb_destroy_window(c, window);
        // Everything reaches the server before the connection closes.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    xcb_disconnect(c);
    return sent;
}

} // namespace platform
