#include "servertestsupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <ostream>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace servertest;

namespace {

// A TCP connection from 127.0.0.2, another loopback address than the good client's.
int connectFromOtherAddress(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.2", &local.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr *>(&server), sizeof server) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True once the service has closed the connection (or reset it); an answer it sent
// first (a 400 for a header cut short) is read and dropped.
bool closedByPeer(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0)
            continue;
        return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

struct SlowRow
{
    const char *name;
    std::string head; // sent at once
    std::string drip; // then one byte every 200 ms, over and over
};

void PrintTo(const SlowRow &row, std::ostream *os)
{
    *os << row.name;
}

class SlowClients : public testing::TestWithParam<SlowRow>
{
};

// Forty connections (more than the service has workers) send their request a byte at
// a time. Other clients must still be served, and every slow connection must be cut
// within its request time-out rather than hold a worker for as long as it likes.
TEST_P(SlowClients, NeitherBlockTheServiceNorKeepTheirConnection)
{
    TempDir data;
    ServerProcess server;
    ASSERT_TRUE(server.start(data.path(), {"--request-timeout", "2"}));
    constexpr int kSlow = 40;
    std::vector<int> sockets;
    for (int i = 0; i < kSlow; ++i) {
        const int fd = connectFromOtherAddress(server.port());
        ASSERT_GE(fd, 0) << "cannot connect from 127.0.0.2";
        sockets.push_back(fd);
    }
    std::atomic<bool> stop = false;
    std::thread dripper([&] {
        for (int fd : sockets)
            ::send(fd, GetParam().head.data(), GetParam().head.size(), MSG_NOSIGNAL);
        for (std::size_t at = 0; !stop; ++at) {
            const char byte = GetParam().drip[at % GetParam().drip.size()];
            for (int fd : sockets)
                ::send(fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    // A bound, not a speed: without the time-out these calls would wait for ever.
    ClientOptions options;
    options.timeoutSeconds = 20;
    SoapClient good(server.port(), options);
    EXPECT_EQ(good.logon("alice"), "alice");
    EXPECT_EQ(good.call("GetFolderList", {{"UserID", "alice"}, {"ParentPath", ""}}).status, 200);

    int closed = 0;
    for (int waited = 0; waited < 200 && closed < kSlow; ++waited) {
        closed = 0;
        for (int fd : sockets)
            closed += closedByPeer(fd) ? 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    stop = true;
    dripper.join();
    EXPECT_EQ(closed, kSlow);
    for (int fd : sockets)
        ::close(fd);
    good.disconnect();
    EXPECT_EQ(server.stop(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Connections, SlowClients,
    testing::Values(SlowRow{"SlowHeader", "POST /Service.asmx HTTP/1.1\r\n", "X-Pad: a\r\n"},
                    SlowRow{"SlowBody",
                            "POST /Service.asmx HTTP/1.1\r\nHost: x\r\nContent-Length: 100000\r\n"
                            "Content-Type: text/xml\r\n\r\n",
                            "<"}),
    [](const auto &rowInfo) { return std::string(rowInfo.param.name); });

} // namespace
