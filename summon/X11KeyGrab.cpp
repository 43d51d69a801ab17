#include "summon/X11KeyGrab.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <memory>

namespace {

// Caps Lock and Num Lock (on Mod2, as X servers set it up) change nothing.
constexpr std::array<uint16_t, 4> IgnoredLocks{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                               XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

struct Free {
    void operator()(void* reply) const { std::free(reply); }
};

uint16_t MaskOf(unsigned modifiers) {
    uint16_t mask = 0;
    if (modifiers & Shortcut::Control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Shortcut::Alt)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Shortcut::Shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Shortcut::Super)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// The keys whose first two levels make the symbol, in either case.
std::vector<uint8_t> KeycodesOf(xcb_connection_t* c, uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, Free> map(
        xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr));
    std::vector<uint8_t> keycodes;
    if (!map)
        return keycodes;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perKey = map->keysyms_per_keycode;
    for (int key = 0; key < count; ++key)
        for (int level = 0; level < std::min(perKey, 2); ++level) {
            const uint32_t sym = syms[key * perKey + level];
            const bool same = sym == keysym || (sym >= 'A' && sym <= 'Z' && sym + 32 == keysym);
            if (same && (keycodes.empty() || keycodes.back() != setup->min_keycode + key))
                keycodes.push_back(uint8_t(setup->min_keycode + key));
        }
    return keycodes;
}

} // namespace

X11KeyGrab::X11KeyGrab(xcb_connection_t* connection, const Shortcut& shortcut)
    : m_connection(connection), m_modifiers(MaskOf(shortcut.Modifiers())) {
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    m_keycodes = KeycodesOf(connection, shortcut.Keysym());
    if (m_keycodes.empty()) {
        m_failed = QStringLiteral("no key of this keyboard makes %1").arg(shortcut.PortableText());
        return;
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (const uint8_t keycode : m_keycodes)
        for (const uint16_t locks : IgnoredLocks)
            cookies.push_back(xcb_grab_key_checked(connection, 1, m_root, m_modifiers | locks,
                                                   keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies)
        if (const std::unique_ptr<xcb_generic_error_t, Free> error{
                xcb_request_check(connection, cookie)})
            refused = true;
    if (refused) {
        Release();
        m_failed = QStringLiteral("%1 is already taken on this X server by another program (the "
                                  "window manager's own keys, or a hotkey tool); choose another "
                                  "shortcut")
                       .arg(shortcut.PortableText());
    }
}

X11KeyGrab::~X11KeyGrab() {
    if (m_failed.isEmpty())
        Release();
}

void X11KeyGrab::Release() {
    for (const uint8_t keycode : m_keycodes)
        for (const uint16_t locks : IgnoredLocks)
            xcb_ungrab_key(m_connection, keycode, m_root, m_modifiers | locks);
    xcb_flush(m_connection);
}

bool X11KeyGrab::Matches(uint8_t keycode, uint16_t state) const {
    const uint16_t held = state & ~uint16_t(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2);
    return m_failed.isEmpty() && held == m_modifiers &&
           std::find(m_keycodes.begin(), m_keycodes.end(), keycode) != m_keycodes.end();
}
