#include "app/screen_profile.h"

#include "pixmill/image_metadata.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>

namespace pixmill {

std::vector<uint8_t> ReadScreenProfile() {
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>()
                                : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return {};
    }
    const char name[] = "_ICC_PROFILE";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (atom == nullptr || atom->atom == XCB_ATOM_NONE || screen == nullptr) {
        std::free(atom);
        return {};
    }
    // Profiles are a few kilobytes to a few megabytes; the length is in
    // 32-bit units.
    constexpr uint32_t kMaxUnits = 16u << 20;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, screen->root, atom->atom, XCB_ATOM_CARDINAL, 0, kMaxUnits),
        nullptr);
    std::free(atom);
    std::vector<uint8_t> profile;
    if (reply != nullptr && reply->format == 8) {
        const auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(reply));
        profile.assign(bytes, bytes + xcb_get_property_value_length(reply));
    }
    std::free(reply);
    if (!IsSoundIccProfile(profile.data(), profile.size())) {
        profile.clear();
    }
    return profile;
}

} // namespace pixmill
