#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("pellora-cli 2.2");
    return 0;
  }
  std::fputs("usage: pellora-cli --version\n", stderr);
  return 2;
}
