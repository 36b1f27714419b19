#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/byte_stream.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left);
}

StreamResult WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int left = MillisLeft(deadline);
        const int rc = ::poll(&p, 1, left);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0) return StreamResult::kError;
        if (rc == 0) return StreamResult::kTimeout;
        if (p.revents & (POLLERR | POLLNVAL)) return StreamResult::kError;
        return StreamResult::kOk;  // readable, writable or hung up (the read then tells)
    }
}

class FdStream final : public ByteStream {
public:
    explicit FdStream(int fd) : fd_(fd) {}
    ~FdStream() override { ::close(fd_); }

    StreamResult WriteAll(const void* data, size_t size, Clock::time_point deadline) override {
        const auto* p = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(fd_, p, size);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                const StreamResult r = WaitFor(fd_, POLLOUT, deadline);
                if (r != StreamResult::kOk) return r;
                continue;
            }
            return errno == EPIPE || errno == ECONNRESET || errno == EIO ? StreamResult::kClosed : StreamResult::kError;
        }
        return StreamResult::kOk;
    }

    StreamResult ReadExact(void* data, size_t size, Clock::time_point deadline) override {
        auto* p = static_cast<unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = ::read(fd_, p, size);
            if (n > 0) {
                p += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n == 0) return StreamResult::kClosed;
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                const StreamResult r = WaitFor(fd_, POLLIN, deadline);
                if (r != StreamResult::kOk) return r;
                continue;
            }
            return errno == ECONNRESET || errno == EIO ? StreamResult::kClosed : StreamResult::kError;
        }
        return StreamResult::kOk;
    }

private:
    int fd_;
};

void NonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

speed_t SpeedOf(int baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        default: return 0;
    }
}

bool MakeRaw(int fd, int baud) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (baud > 0) {
        const speed_t speed = SpeedOf(baud);
        if (speed == 0) return false;
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
    }
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

class TcpListener final : public StreamListener {
public:
    TcpListener(int fd, uint16_t port) : fd_(fd), port_(port) {}
    ~TcpListener() override { ::close(fd_); }
    uint16_t port() const override { return port_; }
    std::unique_ptr<ByteStream> Accept(std::chrono::milliseconds timeout) override {
        if (WaitFor(fd_, POLLIN, Clock::now() + timeout) != StreamResult::kOk) return nullptr;
        const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return nullptr;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return std::make_unique<FdStream>(fd);
    }

private:
    int fd_;
    uint16_t port_;
};

}  // namespace

std::unique_ptr<ByteStream> ConnectTcp(const std::string& host, uint16_t port, std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return nullptr;
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS || WaitFor(fd, POLLOUT, Clock::now() + timeout) != StreamResult::kOk) {
            ::close(fd);
            return nullptr;
        }
        int error = 0;
        socklen_t len = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        if (error != 0) {
            ::close(fd);
            return nullptr;
        }
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<FdStream>(fd);
}

std::unique_ptr<ByteStream> OpenSerial(const std::string& device, int baud) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (!MakeRaw(fd, baud)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FdStream>(fd);
}

std::unique_ptr<StreamListener> StreamListener::ListenLoopback(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return nullptr;
    }
    socklen_t len = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len);
    NonBlocking(fd);
    return std::make_unique<TcpListener>(fd, ntohs(address.sin_port));
}

std::unique_ptr<ByteStream> OpenPseudoTerminal(std::string* slave_path) {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || !MakeRaw(fd, 0)) {
        ::close(fd);
        return nullptr;
    }
    char name[128];
    if (::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return nullptr;
    }
    *slave_path = name;
    NonBlocking(fd);
    return std::make_unique<FdStream>(fd);
}

}  // namespace qv::platform
