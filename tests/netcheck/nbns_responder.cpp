// nbns_responder [SERVER [WORKGROUP]]: a NetBIOS name service stand-in on 127.0.0.1:137 for the
// tests, so that the network's root can be walked on a loopback-only machine. Every name query
// is answered with 127.0.0.1, every node status query with the names of one server and its
// workgroup (the workgroup's master browser among them). Prints "ready" once it listens.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
int main(int argc, char** argv) {
    const std::string server = argc > 1 ? argv[1] : "LOOPSRV", group = argc > 2 ? argv[2] : "TESTGROUP";
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{}; a.sin_family = AF_INET; a.sin_port = htons(137); a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, (sockaddr*)&a, sizeof a) != 0) { perror("bind"); return 1; }
    printf("ready\n"); fflush(stdout);
    for (;;) {
        unsigned char q[576]; sockaddr_in from{}; socklen_t fl = sizeof from;
        ssize_t n = recvfrom(fd, q, sizeof q, 0, (sockaddr*)&from, &fl);
        if (n < 12 + 34 + 4 || (q[2] & 0x80)) continue;
        const bool status = q[12 + 34] == 0 && q[12 + 35] == 0x21;
        unsigned char r[1024]; size_t k = 0;
        r[k++] = q[0]; r[k++] = q[1];
        r[k++] = 0x84;  // a response, authoritative
        r[k++] = 0x00;
        r[k++] = 0; r[k++] = 0; r[k++] = 0; r[k++] = 1; r[k++] = 0; r[k++] = 0; r[k++] = 0; r[k++] = 0;
        std::memcpy(r + k, q + 12, 34); k += 34;
        if (!status) {
            r[k++] = 0x00; r[k++] = 0x20; r[k++] = 0x00; r[k++] = 0x01;
            r[k++] = 0; r[k++] = 0; r[k++] = 0x0E; r[k++] = 0x10;
            r[k++] = 0; r[k++] = 6; r[k++] = 0; r[k++] = 0;
            r[k++] = 127; r[k++] = 0; r[k++] = 0; r[k++] = 1;
        } else {
            struct { std::string name; unsigned char type; unsigned short flags; } names[] = {
                {server, 0x00, 0x0400}, {server, 0x20, 0x0400}, {group, 0x00, 0x8400},
                {group, 0x1D, 0x0400},  {group, 0x1E, 0x8400}, {"\x01\x02__MSBROWSE__\x02", 0x01, 0x8400}};
            r[k++] = 0x00; r[k++] = 0x21; r[k++] = 0x00; r[k++] = 0x01;
            r[k++] = 0; r[k++] = 0; r[k++] = 0; r[k++] = 0;
            const size_t len_at = k; k += 2;
            const size_t start = k;
            r[k++] = 6;
            for (auto& e : names) {
                char field[16]; std::memset(field, ' ', 15);
                std::memcpy(field, e.name.data(), std::min<size_t>(15, e.name.size()));
                std::memcpy(r + k, field, 15); k += 15;
                r[k++] = e.type; r[k++] = static_cast<unsigned char>(e.flags >> 8); r[k++] = static_cast<unsigned char>(e.flags);
            }
            std::memset(r + k, 0, 46); k += 46;
            const size_t len = k - start;
            r[len_at] = static_cast<unsigned char>(len >> 8); r[len_at + 1] = static_cast<unsigned char>(len);
        }
        sendto(fd, r, k, 0, (sockaddr*)&from, fl);
    }
}
