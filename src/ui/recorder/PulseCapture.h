// Captures 16-bit PCM from one input of the sound server on the server client's own thread and
// hands it to the owner's thread. A server that goes away while capturing is reported once.
#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace tonvela {

class CPulseCapture : public QObject {
    Q_OBJECT
public:
    explicit CPulseCapture(QObject* parent = nullptr) : QObject(parent) {}
    ~CPulseCapture() override { Stop(); }
    CPulseCapture(const CPulseCapture&) = delete;
    CPulseCapture& operator=(const CPulseCapture&) = delete;

    // Starts capturing from source (empty: the server's default input). False when no server
    // answers or the source cannot deliver; nothing is left running then.
    bool Start(const QByteArray& source, int sampleRate, int channels);
    // Ends the capture; bytes not yet taken stay available to Take.
    void Stop();
    // The bytes captured since the last call, interleaved little-endian 16-bit frames.
    QByteArray Take();
    bool IsRunning() const { return loop_ != nullptr; }

signals:
    void dataReady();
    // The server or the source went away; call Take and Stop.
    void lost();

private:
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
    bool WaitReady();
    void ReportLost();

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool running_ = false;  // set once started; read on the client thread under its lock
    bool lostReported_ = false;

    QMutex mutex_;  // guards the two below, shared with the client thread
    QByteArray pending_;
    bool notified_ = false;
};

}  // namespace tonvela
