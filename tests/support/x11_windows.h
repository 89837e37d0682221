#pragma once
// What an X display shows, read with libxcb: the titles of the root window's children; and
// the window manager's request to close one of them.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string>
#include <utility>
#include <vector>

namespace test_support {
namespace x11_detail {

using Connection = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> Owned(Reply* raw)
{
    return std::unique_ptr<Reply, decltype(&std::free)>(raw, &std::free);
}

inline xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto atom = Owned(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return atom ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The top-level windows that have a title (_NET_WM_NAME, else WM_NAME), with it.
inline std::vector<std::pair<xcb_window_t, std::string>> TitledTopLevelWindows(xcb_connection_t* connection)
{
    std::vector<std::pair<xcb_window_t, std::string>> windows;
    const xcb_atom_t utf8Name = Atom(connection, "_NET_WM_NAME");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto tree = Owned(xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (!tree)
        return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int index = 0; index < xcb_query_tree_children_length(tree.get()); ++index) {
        const xcb_atom_t wmName = XCB_ATOM_WM_NAME;
        for (const xcb_atom_t name : {utf8Name != XCB_ATOM_NONE ? utf8Name : wmName, wmName}) {
            const auto property = Owned(xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, children[index], name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                nullptr));
            if (property && xcb_get_property_value_length(property.get()) > 0) {
                windows.emplace_back(children[index],
                                     std::string(static_cast<const char*>(xcb_get_property_value(property.get())),
                                                 static_cast<std::size_t>(xcb_get_property_value_length(property.get()))));
                break;
            }
        }
    }
    return windows;
}

} // namespace x11_detail

// The titles of the top-level windows on display; nothing when it cannot be reached.
inline std::vector<std::string> TopLevelWindowTitles(const std::string& display)
{
    std::vector<std::string> titles;
    const x11_detail::Connection connection(xcb_connect(display.c_str(), nullptr), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()) != 0)
        return titles;
    for (const auto& [window, title] : x11_detail::TitledTopLevelWindows(connection.get()))
        titles.push_back(title);
    return titles;
}

// Asks every top-level window on display whose title holds titlePart to close, as a window
// manager's close button does (WM_DELETE_WINDOW); how many were asked.
inline int AskTopLevelWindowsToClose(const std::string& display, const std::string& titlePart)
{
    const x11_detail::Connection connection(xcb_connect(display.c_str(), nullptr), &xcb_disconnect);
    if (xcb_connection_has_error(connection.get()) != 0)
        return 0;
    const xcb_atom_t protocols = x11_detail::Atom(connection.get(), "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = x11_detail::Atom(connection.get(), "WM_DELETE_WINDOW");
    int asked = 0;
    for (const auto& [window, title] : x11_detail::TitledTopLevelWindows(connection.get())) {
        if (title.find(titlePart) == std::string::npos)
            continue;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection.get(), 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        ++asked;
    }
    xcb_flush(connection.get());
    return asked;
}

} // namespace test_support
