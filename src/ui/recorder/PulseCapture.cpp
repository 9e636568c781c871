#include "ui/recorder/PulseCapture.h"

#include <pulse/pulseaudio.h>

#include <QMutexLocker>

namespace tonvela {

namespace {

// The server hands over data about every 50 ms: the level meter moves and little waits in memory.
constexpr int kFragmentMs = 50;

}  // namespace

bool CPulseCapture::Start(const QByteArray& source, int sampleRate, int channels) {
    Stop();
    {
        QMutexLocker lock(&mutex_);
        pending_.clear();
        notified_ = false;
    }
    lostReported_ = false;
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) return false;
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    bool ok = false;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tonvela");
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, OnContextState, this);
        ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 && WaitReady();
    }
    if (ok) {
        pa_sample_spec sampleFormat{};
        sampleFormat.format = PA_SAMPLE_S16LE;
        sampleFormat.rate = static_cast<std::uint32_t>(sampleRate);
        sampleFormat.channels = static_cast<std::uint8_t>(channels);
        ok = pa_sample_spec_valid(&sampleFormat) != 0;
        if (ok) stream_ = pa_stream_new(context_, "Recording", &sampleFormat, nullptr);
        ok = ok && stream_ != nullptr;
        if (ok) {
            pa_stream_set_state_callback(stream_, OnStreamState, this);
            pa_stream_set_read_callback(stream_, OnRead, this);
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<std::uint32_t>(-1);
            attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
            attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMs * PA_USEC_PER_MSEC, &sampleFormat));
            ok = pa_stream_connect_record(stream_, source.isEmpty() ? nullptr : source.constData(), &attr,
                                          PA_STREAM_ADJUST_LATENCY) >= 0 &&
                 WaitReady();
        }
    }
    running_ = ok;
    pa_threaded_mainloop_unlock(loop_);
    if (!ok) Stop();
    return ok;
}

// With the loop locked: waits until the context (and the stream, when there is one) is ready or
// has failed. The state callbacks wake this thread.
bool CPulseCapture::WaitReady() {
    for (;;) {
        const pa_context_state_t c = pa_context_get_state(context_);
        if (!PA_CONTEXT_IS_GOOD(c)) return false;
        if (c == PA_CONTEXT_READY) {
            if (stream_ == nullptr) return true;
            const pa_stream_state_t s = pa_stream_get_state(stream_);
            if (!PA_STREAM_IS_GOOD(s)) return false;
            if (s == PA_STREAM_READY) return true;
        }
        pa_threaded_mainloop_wait(loop_);
    }
}

void CPulseCapture::Stop() {
    if (loop_ == nullptr) return;
    pa_threaded_mainloop_lock(loop_);
    running_ = false;
    if (stream_ != nullptr) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_ != nullptr) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

QByteArray CPulseCapture::Take() {
    QMutexLocker lock(&mutex_);
    notified_ = false;
    QByteArray out;
    out.swap(pending_);
    return out;
}

// On the client thread, with the loop locked.
void CPulseCapture::ReportLost() {
    if (!running_ || lostReported_) return;
    lostReported_ = true;
    // Queued to the owner's thread; dropped when this object is gone by then.
    QMetaObject::invokeMethod(this, [this] { emit lost(); }, Qt::QueuedConnection);
}

void CPulseCapture::OnContextState(pa_context* context, void* user) {
    auto* self = static_cast<CPulseCapture*>(user);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) self->ReportLost();
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void CPulseCapture::OnStreamState(pa_stream* stream, void* user) {
    auto* self = static_cast<CPulseCapture*>(user);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self->ReportLost();
    pa_threaded_mainloop_signal(self->loop_, 0);
}

void CPulseCapture::OnRead(pa_stream* stream, std::size_t, void* user) {
    auto* self = static_cast<CPulseCapture*>(user);
    bool notify = false;
    for (;;) {
        const void* data = nullptr;
        std::size_t n = 0;
        if (pa_stream_peek(stream, &data, &n) < 0 || n == 0) break;
        {
            QMutexLocker lock(&self->mutex_);
            // A hole in the stream (data lost by the server) becomes silence, so time stays right.
            if (data != nullptr)
                self->pending_.append(static_cast<const char*>(data), static_cast<qsizetype>(n));
            else
                self->pending_.append(static_cast<qsizetype>(n), '\0');
            if (!self->notified_) notify = self->notified_ = true;
        }
        pa_stream_drop(stream);
    }
    if (notify) QMetaObject::invokeMethod(self, [self] { emit self->dataReady(); }, Qt::QueuedConnection);
}

}  // namespace tonvela
