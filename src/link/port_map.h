// Port numbers 1-256 of the board link on Linux. The port list is, in this order: the
// device paths named in MIRA8_SERIAL_PORTS (separated by ':'), then the USB serial
// devices /dev/ttyACM* and /dev/ttyUSB* that exist, each group in numeric order, then
// /dev/ttyS*. Port n is the n-th entry, so with one board plugged in, port 1 finds it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace mira::link {

inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 256;
inline constexpr char kExtraPortsVariable[] = "MIRA8_SERIAL_PORTS";

// Every device the port numbers can name, in port order.
std::vector<std::string> serialPortList();

// The device of port n; nullopt when n is out of range or no device has that number.
std::optional<std::string> devicePathForPort(int n);

// Builds the list from the parts, for tests: `extra` is the variable's value, `devices`
// the names found in /dev (e.g. "ttyACM0").
std::vector<std::string> buildPortList(const std::string& extra, const std::vector<std::string>& devices);

}  // namespace mira::link
