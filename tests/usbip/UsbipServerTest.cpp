// The server over real sockets with clients that misbehave: nonsense, a connection dropped in
// the middle of a request. Each must cost only its own connection.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "usbip/UsbipCodec.h"
#include "usbip/UsbipServer.h"

namespace qv::usbip {
namespace {

class UsbipServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SimulationOptions options;
        options.realTime = false;
        auto simulation = sim::Simulation::Create(options);
        ASSERT_TRUE(simulation.ok()) << simulation.text();
        simulation_ = std::move(*simulation);
        device_ = std::make_unique<DeviceExport>(*simulation_, "1-1", 1);
        auto server = UsbipServer::Listen({"127.0.0.1", 0}, {device_.get()}, log_);
        ASSERT_TRUE(server.ok()) << server.text();
        server_ = std::move(*server);
        thread_ =
            std::thread([this] { served_ = server_->Run([this] { return stop_.load(); }).ok(); });
    }
    void TearDown() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        EXPECT_TRUE(served_);
    }

    int Connect() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(server_->Port());
        inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        const timeval timeout{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        return fd;
    }
    static void SendHex(int fd, const Bytes& bytes) {
        ASSERT_EQ(send(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    }
    // Everything until the server closes the connection.
    static Bytes ReadToEnd(int fd) {
        Bytes all;
        std::uint8_t chunk[4096];
        ssize_t got;
        while ((got = recv(fd, chunk, sizeof chunk, 0)) > 0)
            all.insert(all.end(), chunk, chunk + got);
        EXPECT_EQ(got, 0) << "the server did not close the connection";
        close(fd);
        return all;
    }
    std::size_t ListedDevices() {
        const int fd = Connect();
        SendHex(fd, {0x01, 0x11, 0x80, 0x05, 0, 0, 0, 0});
        const Bytes reply = ReadToEnd(fd);
        return reply.size() >= 12 ? reply[11] : 0;
    }
    Bytes Import(int fd) {
        Bytes request = {0x01, 0x11, 0x80, 0x03, 0, 0, 0, 0, '1', '-', '1'};
        request.resize(8 + 32, 0);
        SendHex(fd, request);
        Bytes reply(8 + 312);
        EXPECT_EQ(recv(fd, reply.data(), reply.size(), MSG_WAITALL),
                  static_cast<ssize_t>(reply.size()));
        return reply;
    }

    std::ostringstream log_;
    std::unique_ptr<sim::Simulation> simulation_;
    std::unique_ptr<DeviceExport> device_;
    std::unique_ptr<UsbipServer> server_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool served_ = false;
};

TEST_F(UsbipServerTest, NonsenseCostsOnlyItsConnection) {
    const int fd = Connect();
    SendHex(fd, {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'});
    EXPECT_TRUE(ReadToEnd(fd).empty());
    EXPECT_EQ(ListedDevices(), 1u);
}

TEST_F(UsbipServerTest, AClientGoneMidRequestFreesTheDevice) {
    const int fd = Connect();
    const Bytes reply = Import(fd);
    EXPECT_EQ(reply[7], 0);  // status 0: imported
    EXPECT_EQ(ListedDevices(), 0u);
    // Half of a submit that announces 64 bytes of OUT data, then the client is gone.
    SendHex(fd, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0,
                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40});
    close(fd);
    for (int i = 0; i < 100 && ListedDevices() == 0; ++i) usleep(10'000);
    EXPECT_EQ(ListedDevices(), 1u);
    const int again = Connect();
    EXPECT_EQ(Import(again)[7], 0);
    close(again);
}

TEST_F(UsbipServerTest, ASecondImportIsRefused) {
    const int first = Connect();
    EXPECT_EQ(Import(first)[7], 0);
    const int second = Connect();
    Bytes request = {0x01, 0x11, 0x80, 0x03, 0, 0, 0, 0, '1', '-', '1'};
    request.resize(40, 0);
    SendHex(second, request);
    EXPECT_EQ(ReadToEnd(second), (Bytes{0x01, 0x11, 0x00, 0x03, 0, 0, 0, 1}));
    close(first);
}

}  // namespace
}  // namespace qv::usbip
