#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace qm {

// Who may use a device: its owning group and its permission bits.
struct DeviceOwnership {
    std::string group; // group name, or the number when the group has no name
    gid_t gid = 0;
    mode_t mode = 0; // permission bits only (0660, 0600, ...)
};

// The ownership of the device a path names, or nothing when it cannot be looked at.
std::optional<DeviceOwnership> device_ownership(const std::string& device);

// What a user refused by a serial device can do about it. Joining the device's group is
// suggested only when that group may read and write the device and is not root; otherwise an
// administrator has to give the device to a group, for example with a udev rule.
std::string permission_hint(const std::string& device,
                            const std::optional<DeviceOwnership>& ownership);

// "The port /dev/ttyUSB0 is in use by another program (PID n)."; without the PID when the
// holder is unknown.
std::string port_in_use_text(const std::string& device, int pid);

} // namespace qm
