#include "support/overlay_windows.h"

#include <xcb/composite.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

template <typename Reply>
std::unique_ptr<Reply, decltype(&std::free)> own(Reply* reply) {
  return {reply, &std::free};
}

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
  const auto reply = own(xcb_intern_atom_reply(
      x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : XCB_NONE;
}

QByteArray property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t name) {
  const auto reply = own(xcb_get_property_reply(
      x, xcb_get_property(x, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
  if (!reply)
    return {};
  return {static_cast<const char*>(xcb_get_property_value(reply.get())),
          xcb_get_property_value_length(reply.get())};
}

bool viewable(xcb_connection_t* x, xcb_window_t window) {
  const auto reply =
      own(xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, window), nullptr));
  return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

std::vector<xcb_window_t> children(xcb_connection_t* x, xcb_window_t parent) {
  const auto tree = own(xcb_query_tree_reply(x, xcb_query_tree(x, parent), nullptr));
  if (!tree)
    return {};
  const xcb_window_t* first = xcb_query_tree_children(tree.get());
  return {first, first + xcb_query_tree_children_length(tree.get())};
}

}  // namespace

QString overlayWindows(const QStringList& processes, const QString& title) {
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
      xcb_connect(nullptr, nullptr), &xcb_disconnect);
  xcb_connection_t* const x = connection.get();
  if (xcb_connection_has_error(x))
    return {};
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const auto overlay = own(xcb_composite_get_overlay_window_reply(
      x, xcb_composite_get_overlay_window(x, root), nullptr));
  if (!overlay)
    return {};
  const xcb_atom_t pidAtom = atom(x, "_NET_WM_PID");
  const xcb_atom_t nameAtom = atom(x, "_NET_WM_NAME");
  QStringList found;
  // The saver's windows are children of the guard's stage, a child of the
  // overlay window.
  for (const xcb_window_t stage : children(x, overlay->overlay_win)) {
    for (const xcb_window_t window : children(x, stage)) {
      const QByteArray pid = property(x, window, pidAtom);
      if (pid.size() != 4 || !viewable(x, window))
        continue;
      const auto owner = *reinterpret_cast<const std::uint32_t*>(pid.constData());
      if (processes.contains(QString::number(owner)) &&
          QString::fromUtf8(property(x, window, nameAtom)) == title) {
        found << QString::number(window);
      }
    }
  }
  xcb_composite_release_overlay_window(x, root);
  return found.join('\n');
}

QRect rectangleOnScreen(const QString& window) {
  const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
      xcb_connect(nullptr, nullptr), &xcb_disconnect);
  xcb_connection_t* const x = connection.get();
  const auto id = static_cast<xcb_window_t>(window.toULong());
  if (xcb_connection_has_error(x) || id == XCB_NONE)
    return {};
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
  const auto size = own(xcb_get_geometry_reply(x, xcb_get_geometry(x, id), nullptr));
  const auto place = own(
      xcb_translate_coordinates_reply(x, xcb_translate_coordinates(x, id, root, 0, 0), nullptr));
  if (!size || !place)
    return {};
  return {place->dst_x, place->dst_y, size->width, size->height};
}
