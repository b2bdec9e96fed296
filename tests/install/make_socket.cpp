// Creates a Unix socket file at the given path and leaves it behind, standing in for
// udev's control socket in the maintainer-script checks.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_socket PATH\n");
    return 2;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (std::strlen(argv[1]) >= sizeof address.sun_path) {
    std::fprintf(stderr, "make_socket: path too long\n");
    return 2;
  }
  std::strcpy(address.sun_path, argv[1]);
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("make_socket");
    return 1;
  }
  close(fd);
  return 0;
}
