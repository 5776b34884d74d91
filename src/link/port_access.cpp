#include "link/port_access.h"

#include <cstdio>
#include <filesystem>
#include <grp.h>
#include <sys/stat.h>

namespace qm {

namespace {

constexpr const char* kUsualSerialGroup = "dialout";
constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;

std::string mode_text(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string join_group_text(const std::string& group) {
    return "To use it, join that group:\n\n    sudo usermod -aG " + group +
           " $USER\n\nthen log out and log in again.";
}

std::string udev_rule_text(const std::string& device) {
    std::error_code ec;
    const std::filesystem::path real = std::filesystem::canonical(device, ec);
    const std::string kernel_name = (ec ? std::filesystem::path(device) : real).filename();
    return std::string("Joining its group would not help. An administrator has to grant access, "
                       "for example with a udev rule (a file in /etc/udev/rules.d) that gives "
                       "the device to the group \"") +
           kUsualSerialGroup + "\":\n\n    SUBSYSTEM==\"tty\", KERNEL==\"" + kernel_name +
           "\", GROUP=\"" + kUsualSerialGroup +
           "\", MODE=\"0660\"\n\nThen join that group (sudo usermod -aG " + kUsualSerialGroup +
           " $USER) and log in again.";
}

} // namespace

std::optional<DeviceOwnership> device_ownership(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        return std::nullopt;
    }
    DeviceOwnership o;
    o.gid = st.st_gid;
    o.mode = st.st_mode & 07777;
    const group* g = ::getgrgid(st.st_gid);
    o.group = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
    return o;
}

std::string permission_hint(const std::string& device,
                            const std::optional<DeviceOwnership>& ownership) {
    std::string text = "The serial port " + device + " could not be opened: permission denied.";
    if (!ownership) {
        return text +
               "\n\nIf the base unit is connected there, ask your administrator for access "
               "to the port, usually by membership of the group \"" +
               kUsualSerialGroup + "\".";
    }
    text += " It belongs to the group \"" + ownership->group + "\" with the mode " +
            mode_text(ownership->mode) + ".\n\n";
    const bool group_may_use = (ownership->mode & kGroupReadWrite) == kGroupReadWrite;
    const bool root_group = ownership->gid == 0 || ownership->group == "root";
    return text + (group_may_use && !root_group ? join_group_text(ownership->group)
                                                : udev_rule_text(device));
}

std::string port_in_use_text(const std::string& device, int pid) {
    std::string text = "The port " + device + " is in use by another program";
    if (pid > 0) {
        text += " (PID " + std::to_string(pid) + ")";
    }
    return text + ".";
}

} // namespace qm
