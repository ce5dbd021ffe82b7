#pragma once
// The USB/IP server: listens on one TCP address, answers device lists, lets one client import
// each exported device and carries that client's URBs to it. A device that leaves the bus
// (unplugged, or restarting) ends its client's connection, which the client's kernel sees as a
// disconnect. USB/IP has no authentication: whoever reaches the address may import a device.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "result/Expected.h"
#include "usbip/DeviceExport.h"

namespace qv::usbip {

inline constexpr std::uint16_t kDefaultPort = 3240;

struct ListenAddress {
    std::string host = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
};

// "ADDR:PORT", "ADDR" (the default port) or ":PORT" (the default address); IPv4 addresses.
Expected<ListenAddress> ParseListenAddress(const std::string& text);

class UsbipServer {
  public:
    // Listening, or the system's reason why not.
    static Expected<std::unique_ptr<UsbipServer>> Listen(const ListenAddress& address,
                                                         std::vector<DeviceExport*> exports,
                                                         std::ostream& log);
    ~UsbipServer();
    UsbipServer(const UsbipServer&) = delete;
    UsbipServer& operator=(const UsbipServer&) = delete;

    // Serves until `stop` says so; every connection is closed on return. Fails with the reason
    // when the listening socket itself fails.
    Expected<void> Run(const std::function<bool()>& stop);
    // The port listened on (the one the system chose, for port 0).
    std::uint16_t Port() const { return port_; }

  private:
    struct Connection;
    UsbipServer(int listener, std::uint16_t port, std::vector<DeviceExport*> exports,
                std::ostream& log);
    void Accept();
    // Reads what arrived and serves every whole message; false once the connection is closed.
    bool Receive(Connection& connection);
    bool Serve(Connection& connection, const ClientMessage& message);
    bool Send(Connection& connection, const Bytes& bytes);
    void Close(Connection& connection, const std::string& why);
    void SendDue();
    int PollTimeoutMs() const;

    int listener_;
    std::uint16_t port_;
    std::vector<DeviceExport*> exports_;
    std::ostream& log_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace qv::usbip
