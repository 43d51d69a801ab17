// Asks the Wayland compositor for an activation token, as a launcher does
// before it starts a program, and prints it on one line.
//
// The token names neither a surface nor the serial of an input event: a
// launcher bound to a key has no window of its own with the keyboard.
// Compositors built on wlroots issue such a token and honour it; others may
// issue one that they then decline, which is theirs to decide.

#include "xdg-activation-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct State {
    xdg_activation_v1* activation = nullptr;
    std::string token;
    bool done = false;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        static_cast<State*>(data)->activation = static_cast<xdg_activation_v1*>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void GlobalRemove(void*, wl_registry*, uint32_t) {}

void Done(void* data, xdg_activation_token_v1*, const char* token) {
    auto* state = static_cast<State*>(data);
    state->token = token;
    state->done = true;
}

const wl_registry_listener RegistryListener{Global, GlobalRemove};
const xdg_activation_token_v1_listener TokenListener{Done};

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("trinode_activation_token: no Wayland display\n", stderr);
        return 1;
    }
    State state;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &state);
    wl_display_roundtrip(display);
    if (!state.activation) {
        std::fputs("trinode_activation_token: the compositor has no xdg_activation_v1\n", stderr);
        return 1;
    }
    xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(state.activation);
    xdg_activation_token_v1_add_listener(token, &TokenListener, &state);
    xdg_activation_token_v1_commit(token);
    while (!state.done && wl_display_dispatch(display) >= 0) {
    }
    if (!state.done) {
        std::fputs("trinode_activation_token: the compositor issued no token\n", stderr);
        return 1;
    }
    std::printf("%s\n", state.token.c_str());
    // The token outlives this connection: the compositor keeps it until it
    // is used or expires.
    xdg_activation_token_v1_destroy(token);
    xdg_activation_v1_destroy(state.activation);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
