// The sound server's inputs: microphones and line inputs, and the monitors that carry what an
// output plays ("record what you hear"), which Qt Multimedia leaves out of its own list.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace tonvela {

struct InputDevice {
    QByteArray id;        // the server's name of the source, given back to CPulseCapture
    QString description;  // what the user sees
    bool monitor = false;
};

struct InputDeviceList {
    bool reached = false;  // false: no sound server answered
    QByteArray defaultId;  // the server's default input
    std::vector<InputDevice> devices;
};

// Asks the sound server (a few seconds at most); an empty list when there is none.
InputDeviceList ListInputDevices();

}  // namespace tonvela
