// A pointer for a headless Wayland compositor, which has no input devices of
// its own: made through the compositor's virtual pointer protocol and driven
// from standard input, one command a line, each answered with "ok" once the
// compositor has handled it:
//   move X Y     puts the pointer at X, Y of the output layout
//   click X Y    moves there and presses and releases the left button
// Start it before the program under test, so that the seat already has a
// pointer when that program binds it.
//
// Usage: trinode_virtual_pointer WIDTH HEIGHT (the output layout's extent)

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>

namespace {

constexpr uint32_t LeftButton = 0x110; // BTN_LEFT

struct Globals {
    wl_seat* seat = nullptr;
    zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals->seat)
        globals->seat =
            static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void GlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener RegistryListener = {Global, GlobalRemove};

uint32_t Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: trinode_virtual_pointer WIDTH HEIGHT\n";
        return 2;
    }
    const uint32_t width = uint32_t(std::stoul(argv[1]));
    const uint32_t height = uint32_t(std::stoul(argv[2]));

    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::cerr << "trinode_virtual_pointer: no Wayland display\n";
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &RegistryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager) {
        std::cerr << "trinode_virtual_pointer: the compositor has no virtual pointers\n";
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
    wl_display_roundtrip(display);
    std::cout << "ready" << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        uint32_t x = 0;
        uint32_t y = 0;
        if (!(words >> command >> x >> y) || (command != "move" && command != "click")) {
            std::cout << "error: " << line << std::endl;
            continue;
        }
        zwlr_virtual_pointer_v1_motion_absolute(pointer, Now(), x, y, width, height);
        zwlr_virtual_pointer_v1_frame(pointer);
        if (command == "click") {
            zwlr_virtual_pointer_v1_button(pointer, Now(), LeftButton,
                                           WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, Now(), LeftButton,
                                           WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        }
        wl_display_roundtrip(display);
        std::cout << "ok" << std::endl;
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.manager);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
