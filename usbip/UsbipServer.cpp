#include "usbip/UsbipServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "usbip/UsbipCodec.h"

namespace qv::usbip {
namespace {

// A client that takes more than this to read what it was sent loses its connection, so it
// cannot hold the server (and every other device's client) up.
constexpr int kSendTimeoutSeconds = 5;
// Connections at once; more are closed as soon as they are accepted.
constexpr std::size_t kMaxConnections = 16;
// How often a stop request is looked at while nothing happens.
constexpr int kIdlePollMs = 200;
constexpr std::size_t kReadChunk = 64 * 1024;

Problem SystemError(const std::string& doing) {
    return {FailureKind::kOther, doing + ": " + std::strerror(errno)};
}

}  // namespace

struct UsbipServer::Connection {
    int fd = -1;
    std::string peer;
    Phase phase = Phase::kOperation;
    DeviceExport* device = nullptr;  // the device it imported
    Bytes received;
};

Expected<ListenAddress> ParseListenAddress(const std::string& text) {
    ListenAddress address;
    const auto colon = text.rfind(':');
    const std::string host = text.substr(0, colon);
    if (!host.empty()) address.host = host;
    if (colon != std::string::npos) {
        const std::string port = text.substr(colon + 1);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (port.empty() || ec != std::errc() || end != port.data() + port.size() ||
            value > 65535) {
            return Problem{FailureKind::kOther,
                           "--listen '" + text + "': the port must be a number from 0 to 65535"};
        }
        address.port = static_cast<std::uint16_t>(value);
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, address.host.c_str(), &parsed) != 1) {
        return Problem{FailureKind::kOther,
                       "--listen '" + text + "': '" + address.host + "' is no IPv4 address"};
    }
    return address;
}

Expected<std::unique_ptr<UsbipServer>> UsbipServer::Listen(const ListenAddress& address,
                                                           std::vector<DeviceExport*> exports,
                                                           std::ostream& log) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return SystemError("creating the listening socket");
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(address.port);
    inet_pton(AF_INET, address.host.c_str(), &where.sin_addr);
    socklen_t size = sizeof where;
    if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
        const Problem refused =
            SystemError("listening on " + address.host + ":" + std::to_string(address.port));
        close(fd);
        return refused;
    }
    return std::unique_ptr<UsbipServer>(
        new UsbipServer(fd, ntohs(where.sin_port), std::move(exports), log));
}

UsbipServer::UsbipServer(int listener, std::uint16_t port, std::vector<DeviceExport*> exports,
                         std::ostream& log)
    : listener_(listener), port_(port), exports_(std::move(exports)), log_(log) {}

UsbipServer::~UsbipServer() {
    for (auto& connection : connections_) Close(*connection, "the server stops");
    close(listener_);
}

Expected<void> UsbipServer::Run(const std::function<bool()>& stop) {
    while (!stop()) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}};
        for (const auto& connection : connections_) fds.push_back({connection->fd, POLLIN, 0});
        const int ready = poll(fds.data(), fds.size(), PollTimeoutMs());
        if (ready < 0 && errno != EINTR) return SystemError("waiting for clients");
        SendDue();
        for (std::size_t i = 1; ready > 0 && i < fds.size(); ++i) {
            Connection& connection = *connections_[i - 1];
            if (fds[i].revents != 0 && connection.fd >= 0) Receive(connection);
        }
        // Closed while served (by the client, a refusal, a device gone): dropped here.
        std::erase_if(connections_, [](const auto& c) { return c->fd < 0; });
        if (ready > 0 && (fds[0].revents & POLLIN) != 0) Accept();
    }
    for (auto& connection : connections_) Close(*connection, "the server stops");
    connections_.clear();
    return {};
}

int UsbipServer::PollTimeoutMs() const {
    int timeout = kIdlePollMs;
    const TimePoint now = std::chrono::steady_clock::now();
    for (const DeviceExport* device : exports_) {
        if (const auto due = device->NextDue()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
            timeout = std::clamp(static_cast<int>(wait), 0, timeout);
        }
    }
    return timeout;
}

void UsbipServer::Accept() {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = accept4(listener_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    if (fd < 0) return;  // the client gave up before it was accepted
    char host[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &peer.sin_addr, host, sizeof host);
    const std::string name = std::string(host) + ":" + std::to_string(ntohs(peer.sin_port));
    if (connections_.size() >= kMaxConnections) {
        log_ << "qvdevice: " << name << ": refused, " << kMaxConnections
             << " connections are open already" << std::endl;
        close(fd);
        return;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const timeval timeout{kSendTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    auto connection = std::make_unique<Connection>();
    connection->fd = fd;
    connection->peer = name;
    connections_.push_back(std::move(connection));
}

bool UsbipServer::Receive(Connection& connection) {
    const std::size_t had = connection.received.size();
    connection.received.resize(had + kReadChunk);
    const ssize_t got = recv(connection.fd, connection.received.data() + had, kReadChunk, 0);
    connection.received.resize(had + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got <= 0) {
        Close(connection, got == 0 ? "the client closed the connection"
                                   : SystemError("reading from the client").text);
        return false;
    }
    std::size_t used = 0;
    while (connection.fd >= 0) {
        const std::span<const std::uint8_t> rest(connection.received.data() + used,
                                                 connection.received.size() - used);
        Decoded decoded = DecodeClientMessage(rest, connection.phase);
        if (decoded.state == Decoded::State::kNeedMore) break;
        if (decoded.state == Decoded::State::kMalformed) {
            Close(connection, "not USB/IP: " + decoded.error);
            return false;
        }
        used += decoded.consumed;
        if (!Serve(connection, *decoded.message)) return false;
    }
    if (connection.fd >= 0)
        connection.received.erase(connection.received.begin(),
                                  connection.received.begin() + static_cast<std::ptrdiff_t>(used));
    return connection.fd >= 0;
}

bool UsbipServer::Serve(Connection& connection, const ClientMessage& message) {
    if (std::holds_alternative<DevlistRequest>(message)) {
        std::vector<ExportedDevice> devices;
        for (const DeviceExport* device : exports_)
            if (device->Available()) devices.push_back(device->Description());
        Send(connection, EncodeDevlistReply(devices));
        Close(connection, {});  // a listing ends its connection
        return false;
    }
    if (const auto* import = std::get_if<ImportRequest>(&message)) {
        const auto it = std::find_if(exports_.begin(), exports_.end(),
                                     [&](DeviceExport* d) { return d->BusId() == import->busId; });
        if (it == exports_.end() || !(*it)->Import()) {
            Send(connection, EncodeImportReply(nullptr));
            Close(connection, "import of '" + import->busId + "' refused: " +
                                  (it == exports_.end() ? "no such device"
                                                        : "imported already, or off the bus"));
            return false;
        }
        const ExportedDevice description = (*it)->Description();
        connection.device = *it;
        connection.phase = Phase::kImported;
        log_ << "qvdevice: " << (*it)->BusId() << " (" << (*it)->Name() << ") imported by "
             << connection.peer << std::endl;
        return Send(connection, EncodeImportReply(&description));
    }
    DeviceExport& device = *connection.device;
    const DeviceExport::Outcome outcome =
        std::holds_alternative<SubmitCommand>(message)
            ? device.Handle(std::get<SubmitCommand>(message), std::chrono::steady_clock::now())
            : device.Handle(std::get<UnlinkCommand>(message));
    for (const Bytes& reply : outcome.replies)
        if (!Send(connection, reply)) return false;
    if (!outcome.refused.empty()) {
        Close(connection, "not USB/IP: " + outcome.refused);
        return false;
    }
    if (outcome.gone) {
        Close(connection, "the device left the bus");
        return false;
    }
    return true;
}

bool UsbipServer::Send(Connection& connection, const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            send(connection.fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Close(connection,
                  errno == EAGAIN || errno == EWOULDBLOCK
                      ? "the client read nothing for " + std::to_string(kSendTimeoutSeconds) + " s"
                      : SystemError("writing to the client").text);
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void UsbipServer::SendDue() {
    const TimePoint now = std::chrono::steady_clock::now();
    for (auto& connection : connections_) {
        if (connection->device == nullptr || connection->fd < 0) continue;
        for (const Bytes& reply : connection->device->TakeDue(now))
            if (!Send(*connection, reply)) break;
    }
}

void UsbipServer::Close(Connection& connection, const std::string& why) {
    if (connection.fd < 0) return;
    close(connection.fd);
    connection.fd = -1;
    if (connection.device != nullptr) {
        connection.device->Release();
        log_ << "qvdevice: " << connection.device->BusId() << " released (" << why << ")"
             << std::endl;
        connection.device = nullptr;
    } else if (!why.empty()) {
        log_ << "qvdevice: " << connection.peer << ": " << why << std::endl;
    }
}

}  // namespace qv::usbip
