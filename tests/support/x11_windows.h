#pragma once
// What an X display shows, read with libxcb: the titles of the root window's children.

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

namespace test_support {

// The titles (_NET_WM_NAME, else WM_NAME) of the top-level windows on display; nothing when
// it cannot be reached.
inline std::vector<std::string> TopLevelWindowTitles(const std::string& display)
{
    std::vector<std::string> titles;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> closer(connection, &xcb_disconnect);
    if (xcb_connection_has_error(connection) != 0)
        return titles;
    const auto reply = [](auto* raw) { return std::unique_ptr<std::remove_pointer_t<decltype(raw)>, decltype(&std::free)>(raw, &std::free); };
    const char kUtf8Name[] = "_NET_WM_NAME";
    const auto atom = reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(kUtf8Name)), kUtf8Name), nullptr));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (!tree)
        return titles;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int index = 0; index < xcb_query_tree_children_length(tree.get()); ++index) {
        const xcb_atom_t wmName = XCB_ATOM_WM_NAME;
        for (const xcb_atom_t name : {atom ? atom->atom : wmName, wmName}) {
            const auto property = reply(xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, children[index], name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                nullptr));
            if (property && xcb_get_property_value_length(property.get()) > 0) {
                titles.emplace_back(static_cast<const char*>(xcb_get_property_value(property.get())),
                                    static_cast<std::size_t>(xcb_get_property_value_length(property.get())));
                break;
            }
        }
    }
    return titles;
}

} // namespace test_support
