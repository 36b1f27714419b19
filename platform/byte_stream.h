// Byte streams to a peer: a TCP connection on loopback or across the network, a serial line,
// or a pseudo-terminal. Every read and write has a deadline, so a dead peer or a cut line never
// blocks a caller for long. The host text of a TCP connection is a numeric address or a name
// resolved by the system; it is never handed to a shell.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace qv::platform {

enum class StreamResult { kOk, kTimeout, kClosed, kError };

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Writes all `size` bytes before the deadline.
    virtual StreamResult WriteAll(const void* data, size_t size, std::chrono::steady_clock::time_point deadline) = 0;
    // Reads exactly `size` bytes before the deadline.
    virtual StreamResult ReadExact(void* data, size_t size, std::chrono::steady_clock::time_point deadline) = 0;
};

// A TCP connection to host:port, made within `timeout`.
std::unique_ptr<ByteStream> ConnectTcp(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);

// A serial line (or pseudo-terminal) at `baud` bits per second, raw, 8 data bits, no parity.
std::unique_ptr<ByteStream> OpenSerial(const std::string& device, int baud);

// A listening TCP socket on 127.0.0.1 (port 0 picks a free one).
class StreamListener {
public:
    static std::unique_ptr<StreamListener> ListenLoopback(uint16_t port);
    virtual ~StreamListener() = default;
    virtual uint16_t port() const = 0;
    // The next connection, or null when none comes before `timeout`.
    virtual std::unique_ptr<ByteStream> Accept(std::chrono::milliseconds timeout) = 0;
};

// The master side of a new pseudo-terminal and the path of its slave side.
std::unique_ptr<ByteStream> OpenPseudoTerminal(std::string* slave_path);

}  // namespace qv::platform
