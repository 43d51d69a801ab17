// A listener that squats on a socket path, run by the tests as another user:
// "silent" accepts and never says anything, "raised" answers every
// connection with "raised", "never" never accepts. It prints "listening" once
// the socket is bound. "knock" connects to the path instead and prints the
// first line it is told, or "closed".

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const char* style = argv[1];
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[2], sizeof(address.sun_path) - 1);
    if (std::strcmp(style, "knock") == 0) {
        char line[256] = {};
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
            return 1;
        std::puts(::recv(fd, line, sizeof(line) - 1, 0) > 0 ? line : "closed");
        return 0;
    }
    ::unlink(argv[2]);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 64) != 0) {
        std::perror("squatter");
        return 1;
    }
    std::puts("listening");
    std::fflush(stdout);
    std::vector<int> kept;
    for (;;) {
        if (std::strcmp(style, "never") == 0) {
            ::pause();
            continue;
        }
        const int client = ::accept(fd, nullptr, nullptr);
        if (client < 0)
            continue;
        if (std::strcmp(style, "raised") == 0) {
            char request[256];
            (void)::recv(client, request, sizeof(request), MSG_DONTWAIT);
            (void)::send(client, "raised\n", 7, MSG_NOSIGNAL);
        }
        kept.push_back(client);
    }
}
