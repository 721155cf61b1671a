// A minimal clipboard manager for tests: owns CLIPBOARD_MANAGER, and when a
// client asks it to SAVE_TARGETS it fetches the clipboard as UTF8_STRING,
// takes the clipboard over, serves that text and prints it (hex) on stdout.
// Prints "ready" once it owns the selection; ends after --seconds or once it
// has saved --saves texts and been asked for them.
//
// usage: fake_clipboard_manager <seconds>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(r);
  return a;
}

void Notify(xcb_connection_t* c, const xcb_selection_request_event_t* req, xcb_atom_t property) {
  xcb_selection_notify_event_t n{};
  n.response_type = XCB_SELECTION_NOTIFY;
  n.time = req->time;
  n.requestor = req->requestor;
  n.selection = req->selection;
  n.target = req->target;
  n.property = property;
  xcb_send_event(c, 0, req->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
  xcb_flush(c);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) return 2;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t win = xcb_generate_id(c);
  const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, win, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    screen->root_visual, XCB_CW_EVENT_MASK, &mask);
  const xcb_atom_t manager = Atom(c, "CLIPBOARD_MANAGER"), saveTargets = Atom(c, "SAVE_TARGETS"),
                   clipboard = Atom(c, "CLIPBOARD"), utf8 = Atom(c, "UTF8_STRING"), targets = Atom(c, "TARGETS"),
                   mine = Atom(c, "FAKE_MANAGER_DATA");
  xcb_set_selection_owner(c, win, manager, XCB_CURRENT_TIME);
  xcb_flush(c);
  std::printf("ready\n");
  std::fflush(stdout);

  std::string saved;
  bool haveSaved = false;
  const xcb_selection_request_event_t* pendingSave = nullptr;
  xcb_selection_request_event_t saveRequest{};
  const std::time_t end = std::time(nullptr) + seconds;
  pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
  while (std::time(nullptr) < end) {
    xcb_generic_event_t* ev = xcb_poll_for_event(c);
    if (ev == nullptr) {
      if (xcb_connection_has_error(c)) break;
      poll(&fd, 1, 200);
      continue;
    }
    switch (ev->response_type & 0x7f) {
      case XCB_SELECTION_REQUEST: {
        auto* req = reinterpret_cast<xcb_selection_request_event_t*>(ev);
        if (req->selection == manager && req->target == saveTargets) {
          // Fetch the clipboard from its owner, then answer this request.
          saveRequest = *req;
          pendingSave = &saveRequest;
          xcb_convert_selection(c, win, clipboard, utf8, mine, req->time);
          xcb_flush(c);
        } else if (req->selection == clipboard && haveSaved) {
          xcb_atom_t property = req->property == XCB_ATOM_NONE ? req->target : req->property;
          if (req->target == utf8) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, req->requestor, property, utf8, 8, saved.size(),
                                saved.data());
          } else if (req->target == targets) {
            const xcb_atom_t list[] = {targets, utf8};
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, req->requestor, property, XCB_ATOM_ATOM, 32, 2, list);
          } else {
            property = XCB_ATOM_NONE;
          }
          Notify(c, req, property);
        } else {
          Notify(c, req, XCB_ATOM_NONE);
        }
        break;
      }
      case XCB_SELECTION_NOTIFY: {
        auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(ev);
        if (pendingSave != nullptr && n->selection == clipboard) {
          if (n->property != XCB_ATOM_NONE) {
            xcb_get_property_reply_t* p =
                xcb_get_property_reply(c, xcb_get_property(c, 1, win, mine, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
                                       nullptr);
            if (p != nullptr) {
              saved.assign(static_cast<const char*>(xcb_get_property_value(p)), xcb_get_property_value_length(p));
              haveSaved = true;
              std::free(p);
            }
            xcb_set_selection_owner(c, win, clipboard, XCB_CURRENT_TIME);
          }
          // An empty property on the requestor tells it everything was saved.
          xcb_change_property(c, XCB_PROP_MODE_REPLACE, pendingSave->requestor, pendingSave->property,
                              XCB_ATOM_NONE, 32, 0, nullptr);
          Notify(c, pendingSave, haveSaved ? pendingSave->property : xcb_atom_t{XCB_ATOM_NONE});
          pendingSave = nullptr;
          std::printf("saved ");
          for (unsigned char ch : saved) std::printf("%02x", ch);
          std::printf("\n");
          std::fflush(stdout);
        }
        break;
      }
      default:
        break;
    }
    std::free(ev);
  }
  xcb_disconnect(c);
  return 0;
}
