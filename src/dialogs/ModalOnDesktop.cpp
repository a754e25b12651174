#include "dialogs/ModalOnDesktop.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <cstring>

namespace {

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void* NativeResource(const char* name, QWindow* window = nullptr) {
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (!native)
        return nullptr;
    return window ? native->nativeResourceForWindow(name, window)
                  : native->nativeResourceForIntegration(name);
}

// GNOME's shell protocol, version 1: only what marking a surface modal
// needs, and the events the compositor may send on those objects (they are
// dropped).
extern const wl_interface GtkSurface1;
const wl_interface* NoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
extern const wl_interface* GetGtkSurfaceTypes[2];
const wl_message GtkShellRequests[] = {
    {"get_gtk_surface", "no", GetGtkSurfaceTypes},
    {"set_startup_id", "?s", NoTypes},
};
const wl_message GtkShellEvents[] = {{"capabilities", "u", NoTypes}};
const wl_interface GtkShell1 = {"gtk_shell1", 1, 2, GtkShellRequests, 1, GtkShellEvents};
const wl_message GtkSurfaceRequests[] = {
    {"set_dbus_properties", "?s?s?s?s?s?s", NoTypes},
    {"set_modal", "", NoTypes},
    {"unset_modal", "", NoTypes},
    {"present", "u", NoTypes},
};
const wl_message GtkSurfaceEvents[] = {{"configure", "a", NoTypes}};
const wl_interface GtkSurface1 = {"gtk_surface1", 1, 4, GtkSurfaceRequests, 1, GtkSurfaceEvents};
const wl_interface* GetGtkSurfaceTypes[2] = {&GtkSurface1, nullptr};
constexpr uint32_t GetGtkSurface = 0, SetModal = 1;

// The display's gtk_shell1, or null where the compositor has none; looked
// up once, on a queue of its own so that none of Qt's events is dispatched
// here, then handed to Qt's queue, which drops its events.
wl_proxy* GtkShell(wl_display* display) {
    static wl_proxy* const shell = [display]() -> wl_proxy* {
        wl_event_queue* queue = wl_display_create_queue(display);
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
        wl_registry* registry = wl_display_get_registry(wrapper);
        struct TFound {
            wl_registry* Registry;
            wl_proxy* Shell = nullptr;
        } found{registry};
        static const wl_registry_listener listener = {
            [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t) {
                auto* f = static_cast<TFound*>(data);
                if (!f->Shell && std::strcmp(interface, GtkShell1.name) == 0)
                    f->Shell =
                        static_cast<wl_proxy*>(wl_registry_bind(f->Registry, name, &GtkShell1, 1));
            },
            [](void*, wl_registry*, uint32_t) {},
        };
        wl_registry_add_listener(registry, &listener, &found);
        wl_display_roundtrip_queue(display, queue);
        if (found.Shell)
            wl_proxy_set_queue(found.Shell, nullptr);
        wl_registry_destroy(registry);
        wl_proxy_wrapper_destroy(wrapper);
        wl_event_queue_destroy(queue);
        return found.Shell;
    }();
    return shell;
}

// The compositor's gtk_shell1, on Wayland where it has one.
wl_proxy* CompositorGtkShell() {
    if (!OnWayland())
        return nullptr;
    auto* display = static_cast<wl_display*>(NativeResource("wl_display"));
    return display ? GtkShell(display) : nullptr;
}

// Tells mutter the dialog is modal to its parent. The gtk_surface1 lives as
// long as the connection: mutter keeps the type it gave the window.
void MarkModal(wl_proxy* shell, QWindow* window) {
    auto* surface = static_cast<wl_proxy*>(NativeResource("surface", window));
    if (!surface)
        return;
    wl_proxy* gtkSurface = wl_proxy_marshal_flags(shell, GetGtkSurface, &GtkSurface1,
                                                  wl_proxy_get_version(shell), 0, nullptr, surface);
    if (gtkSurface)
        wl_proxy_marshal_flags(gtkSurface, SetModal, nullptr, wl_proxy_get_version(gtkSurface), 0);
}

} // namespace

void ShowModalOverOwner(QDialog& dialog) {
    // Shown before the modal loop starts, so the compositor hears it is a
    // dialog before it places it; elsewhere shown by the loop, as always.
    if (wl_proxy* shell = CompositorGtkShell()) {
        dialog.setAttribute(Qt::WA_ShowModal, true);
        dialog.show();
        if (dialog.windowHandle())
            MarkModal(shell, dialog.windowHandle());
    }
    dialog.exec();
}

void AwaitKeyboardBack(QWidget* window) {
    QWindow* handle = window->windowHandle();
    if (!handle || QGuiApplication::focusWindow() == handle)
        return;
    QEventLoop loop;
    const auto back =
        QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &loop, [&](QWindow* focus) {
            if (focus == handle)
                loop.quit();
        });
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    // Keys and clicks wait: the game does not move on meanwhile.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    QObject::disconnect(back);
    if (!OnWayland())
        return;
    if (auto* display = static_cast<wl_display*>(NativeResource("wl_display"))) {
        wl_event_queue* queue = wl_display_create_queue(display);
        wl_display_roundtrip_queue(display, queue);
        wl_event_queue_destroy(queue);
    }
}

namespace {
void ActivateWhenSafe(const QPointer<QWidget>& window, int attempts) {
    if (!window)
        return;
    const QWindow* focus = QGuiApplication::focusWindow();
    if (!OnWayland() || !focus || focus->handle()) {
        window->activateWindow();
        return;
    }
    if (attempts > 0)
        QTimer::singleShot(20, window,
                           [window, attempts] { ActivateWhenSafe(window, attempts - 1); });
}
} // namespace

void ActivateAgain(QWidget* window) {
    ActivateWhenSafe(window, 25);
}
