#include "ui/recorder/InputDevices.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>

namespace tonvela {

namespace {

constexpr auto kAnswerTime = std::chrono::seconds(3);

struct Query {
    InputDeviceList list;
    int pending = 0;  // operations still running
};

void OnServer(pa_context*, const pa_server_info* info, void* user) {
    auto* q = static_cast<Query*>(user);
    if (info != nullptr && info->default_source_name != nullptr) q->list.defaultId = info->default_source_name;
    --q->pending;
}

void OnSource(pa_context*, const pa_source_info* info, int eol, void* user) {
    auto* q = static_cast<Query*>(user);
    if (eol != 0 || info == nullptr) {
        --q->pending;
        return;
    }
    InputDevice d;
    d.id = info->name;
    d.description = QString::fromUtf8(info->description != nullptr && *info->description ? info->description : info->name);
    d.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    q->list.devices.push_back(std::move(d));
}

struct MainloopFree {
    void operator()(pa_mainloop* m) const { pa_mainloop_free(m); }
};
struct ContextFree {
    void operator()(pa_context* c) const {
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};

}  // namespace

InputDeviceList ListInputDevices() {
    Query q;
    std::unique_ptr<pa_mainloop, MainloopFree> loop(pa_mainloop_new());
    if (!loop) return q.list;
    std::unique_ptr<pa_context, ContextFree> context(pa_context_new(pa_mainloop_get_api(loop.get()), "Tonvela"));
    if (!context || pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return q.list;

    // A hung server must not hang the window: the loop runs until the answers are in or time is up.
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    bool asked = false;
    while (std::chrono::steady_clock::now() < deadline) {
        const pa_context_state_t state = pa_context_get_state(context.get());
        if (!PA_CONTEXT_IS_GOOD(state)) return InputDeviceList{};
        if (state == PA_CONTEXT_READY && !asked) {
            asked = true;
            q.pending = 2;
            for (pa_operation* op : {pa_context_get_server_info(context.get(), OnServer, &q),
                                     pa_context_get_source_info_list(context.get(), OnSource, &q)}) {
                if (op == nullptr) return InputDeviceList{};
                pa_operation_unref(op);
            }
        }
        if (asked && q.pending == 0) {
            q.list.reached = true;
            return q.list;
        }
        if (pa_mainloop_prepare(loop.get(), 100 * 1000) < 0 || pa_mainloop_poll(loop.get()) < 0 ||
            pa_mainloop_dispatch(loop.get()) < 0)
            break;
    }
    return InputDeviceList{};
}

}  // namespace tonvela
