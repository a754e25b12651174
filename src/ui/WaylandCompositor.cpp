#include "ui/WaylandCompositor.h"

#include <wayland-client.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct TDisplayCloser {
    void operator()(wl_display* display) const { wl_display_disconnect(display); }
};
struct TRegistryDeleter {
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};

void Global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, wl_subcompositor_interface.name) == 0)
        *static_cast<bool*>(data) = true;
}

void GlobalRemoved(void*, wl_registry*, uint32_t) {}

const wl_registry_listener Listener{Global, GlobalRemoved};

} // namespace

bool CompositorOffersSubsurfaces() {
    if (std::getenv("WAYLAND_SOCKET"))
        return true;
    const std::unique_ptr<wl_display, TDisplayCloser> display(wl_display_connect(nullptr));
    if (!display)
        return true; // Qt is connected, so it would fail the same way and say so
    const std::unique_ptr<wl_registry, TRegistryDeleter> registry(
        wl_display_get_registry(display.get()));
    bool offered = false;
    wl_registry_add_listener(registry.get(), &Listener, &offered);
    if (wl_display_roundtrip(display.get()) < 0)
        return true;
    return offered;
}
